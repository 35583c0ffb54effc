#include "ServiceHost.h"

#include "Reconcile.h"
#include "Registrar.h"
#include "ServiceEvents.h"
#include "ServiceState.h"
#include "ServiceTimings.h"
#include "StatusRecord.h"

namespace vyx::service {

namespace {

constexpr DWORD kStartPendingHint = 240000;
constexpr DWORD kFirstPassHint = 180000;
constexpr DWORD kStopPendingHint = 40000;

StatusSender g_statusSender = ::SetServiceStatus;

// Fills and sends the record; the caller holds statusLock. The result is the send's error,
// ERROR_SUCCESS also for a report the stop rule refused (StatusRecord.h): the handler sets
// stopRequested before it takes the lock, so no start-up report can follow its stop pending.
DWORD SendStatusLocked(ServiceState& state, DWORD currentState, DWORD win32ExitCode, DWORD waitHint)
{
    if (!FillStatusRecord(state.status, currentState, win32ExitCode, waitHint, state.stopRequested.load() != 0)) {
        return ERROR_SUCCESS;
    }
    return g_statusSender(state.statusHandle, &state.status) ? ERROR_SUCCESS : ::GetLastError();
}

void ReportSendFailure(DWORD error)
{
    if (error != ERROR_SUCCESS) {
        LogApiFailure(L"SetServiceStatus", error, kEventApiFailure);
    }
}

// A failure of startup: log it, undo what exists and end with the error as exit code.
void FailStartup(const wchar_t* operation, DWORD error)
{
    LogApiFailure(operation, error, kEventApiFailure);
    StopReconcileWorker();
    ReportServiceStatus(SERVICE_STOPPED, error, 0);
}

bool StopSignalled()
{
    return ::WaitForSingleObject(GetServiceState().stopEvent.Get(), 0) == WAIT_OBJECT_0;
}

}  // namespace

void SetStatusSenderForTesting(StatusSender sender) { g_statusSender = sender != nullptr ? sender : ::SetServiceStatus; }

bool ReportServiceStatus(DWORD currentState, DWORD win32ExitCode, DWORD waitHint)
{
    ServiceState& state = GetServiceState();
    if (state.statusHandle == nullptr) {
        return false;
    }
    ::AcquireSRWLockExclusive(&state.statusLock);
    const DWORD error = SendStatusLocked(state, currentState, win32ExitCode, waitHint);
    ::ReleaseSRWLockExclusive(&state.statusLock);
    ReportSendFailure(error);
    return error == ERROR_SUCCESS;
}

DWORD WINAPI ServiceControlHandler(DWORD control, DWORD eventType, void* eventData, void*)
{
    switch (control) {
    case SERVICE_CONTROL_STOP:
    case SERVICE_CONTROL_SHUTDOWN: {
        ServiceState& state = GetServiceState();
        LONG expected = 0;
        // Only the request that changes the flag acts, so a stop and a shutdown act once.
        if (!state.stopRequested.compare_exchange_strong(expected, 1)) {
            return NO_ERROR;
        }
        if (state.statusHandle != nullptr) {
            ::AcquireSRWLockExclusive(&state.statusLock);
            const DWORD error = SendStatusLocked(state, SERVICE_STOP_PENDING, NO_ERROR, kStopPendingHint);
            ::ReleaseSRWLockExclusive(&state.statusLock);
            ReportSendFailure(error);
        }
        ::SetEvent(state.stopEvent.Get());
        ::SetEvent(state.changeEvent.Get());
        return NO_ERROR;
    }
    case SERVICE_CONTROL_INTERROGATE:
        return NO_ERROR;
    case SERVICE_CONTROL_DEVICEEVENT:
        return HandleDeviceEvent(eventType, eventData);
    default:
        return ERROR_CALL_NOT_IMPLEMENTED;
    }
}

void WINAPI ServiceMain(DWORD, wchar_t**)
{
    ServiceState& state = GetServiceState();
    state.stopRequested.store(0);
    state.generation.store(0);
    state.lastDeviceEvent.store(0);
    state.status = SERVICE_STATUS{};

    // The events exist before the handler can be called, so a stop at once is never lost.
    state.stopEvent.Reset(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    const DWORD stopEventError = state.stopEvent ? ERROR_SUCCESS : ::GetLastError();
    state.changeEvent.Reset(::CreateEventW(nullptr, FALSE, FALSE, nullptr));
    const DWORD changeEventError = state.changeEvent ? ERROR_SUCCESS : ::GetLastError();

    state.statusHandle = ::RegisterServiceCtrlHandlerExW(kServiceName, ServiceControlHandler, nullptr);
    if (state.statusHandle == nullptr) {
        LogApiFailure(L"RegisterServiceCtrlHandlerExW", ::GetLastError(), kEventApiFailure);
        StopReconcileWorker();
        return;
    }
    if (stopEventError != ERROR_SUCCESS || changeEventError != ERROR_SUCCESS) {
        FailStartup(L"CreateEventW", stopEventError != ERROR_SUCCESS ? stopEventError : changeEventError);
        return;
    }
    ReportServiceStatus(SERVICE_START_PENDING, NO_ERROR, kStartPendingHint);

    if (!RegisterDeviceNotifications(state.statusHandle)) {
        FailStartup(L"RegisterDeviceNotificationW", ::GetLastError());
        return;
    }

    // Lets the devices present at boot settle before the first pass.
    const DWORD startupWait = ::WaitForSingleObject(state.stopEvent.Get(), Timings().startupWaitMs);
    if (startupWait == WAIT_OBJECT_0) {
        StopReconcileWorker();
        ReportServiceStatus(SERVICE_STOPPED, NO_ERROR, 0);
        return;
    }
    if (startupWait != WAIT_TIMEOUT) {
        FailStartup(L"startup wait", ::GetLastError());
        return;
    }

    ReportServiceStatus(SERVICE_START_PENDING, NO_ERROR, kFirstPassHint);
    ReconcileFilters();
    if (StopSignalled()) {
        StopReconcileWorker();
        ReportServiceStatus(SERVICE_STOPPED, NO_ERROR, 0);
        return;
    }

    state.workerThread.Reset(::CreateThread(nullptr, 0, ReconcileWorker, nullptr, 0, nullptr));
    if (!state.workerThread) {
        FailStartup(L"CreateThread", ::GetLastError());
        return;
    }
    ReportServiceStatus(SERVICE_RUNNING, NO_ERROR, 0);

    BOOL wow64 = FALSE;
    const bool processWow64 = ::IsWow64Process(::GetCurrentProcess(), &wow64) && wow64;
    WriteServiceEvent(EVENTLOG_INFORMATION_TYPE, kEventServiceStarted,
                      L"VYXDshowService started. native64BitWindows=%d processWow64=%d",
                      IsNative64BitWindows() ? 1 : 0, processWow64 ? 1 : 0);

    const DWORD workerError = WaitWhileWorkerRuns();
    if (workerError != ERROR_SUCCESS) {
        // No pass would ever run again: stopping with the worker's error lets the manager's
        // failure actions restart the service, instead of a RUNNING service that does nothing.
        StopReconcileWorker();
        ReportServiceStatus(SERVICE_STOPPED, workerError, 0);
        return;
    }
    ReportServiceStatus(SERVICE_STOP_PENDING, NO_ERROR, kStopPendingHint);
    StopReconcileWorker();
    WriteServiceEvent(EVENTLOG_INFORMATION_TYPE, kEventServiceStopped, L"VYXDshowService stopped.");
    ReportServiceStatus(SERVICE_STOPPED, NO_ERROR, 0);
}

}  // namespace vyx::service
