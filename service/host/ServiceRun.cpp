#include "ServiceRun.h"

#include "ServiceEvents.h"
#include "SrwLock.h"
#include "StatusRecord.h"
#include "System.h"
#include "SystemFacts.h"

namespace vyx::service {

namespace {

// Covers registering the notifications and starting the worker only: the start-up wait
// and the first pass run after RUNNING.
constexpr DWORD kStartPendingHint = 30000;
constexpr DWORD kStopPendingHint = 40000;

}  // namespace

ServiceRun::ServiceRun() : m_worker(m_signals) {}

DWORD WINAPI ServiceRun::Handler(DWORD control, DWORD eventType, void* eventData, void* context)
{
    return static_cast<ServiceRun*>(context)->Control(control, eventType, eventData);
}

bool ServiceRun::Report(DWORD state, DWORD win32ExitCode, DWORD waitHint)
{
    bool sent = false;
    DWORD error = ERROR_SUCCESS;
    {
        win::ExclusiveLock hold(m_statusLock);
        // The handler sets m_stopRequested before it reports, so no start-up report can
        // follow its stop pending.
        sent = m_statusHandle != nullptr &&
               FillStatusRecord(m_status, state, win32ExitCode, waitHint, m_stopRequested.load() != 0);
        if (sent && !sys::SendServiceStatus(m_statusHandle, &m_status)) {
            sent = false;
            error = ::GetLastError();
        }
    }
    // Logged once the lock is free: a log line may take its time.
    if (error != ERROR_SUCCESS) {
        LogApiFailure(L"SetServiceStatus", error, kEventApiFailure);
    }
    return sent;
}

DWORD ServiceRun::Control(DWORD control, DWORD eventType, void* eventData)
{
    switch (control) {
    case SERVICE_CONTROL_STOP:
    case SERVICE_CONTROL_SHUTDOWN: {
        LONG expected = 0;
        // Only the request that changes the flag acts, so a stop and a shutdown act once.
        if (!m_stopRequested.compare_exchange_strong(expected, 1)) {
            return NO_ERROR;
        }
        Report(SERVICE_STOP_PENDING, NO_ERROR, kStopPendingHint);
        m_signals.Stop();
        return NO_ERROR;
    }
    case SERVICE_CONTROL_INTERROGATE:
        return NO_ERROR;
    case SERVICE_CONTROL_DEVICEEVENT:
        return m_signals.OnDeviceEvent(eventType, eventData);
    default:
        return ERROR_CALL_NOT_IMPLEMENTED;
    }
}

void ServiceRun::Release()
{
    m_worker.Stop();
    if (m_notification && !sys::UnregisterDeviceNotification(m_notification.Release())) {
        LogApiFailure(L"UnregisterDeviceNotification", ::GetLastError(), kEventApiFailure);
    }
}

void ServiceRun::FailStartup(const wchar_t* operation, DWORD error)
{
    error = FailureCode(error);
    LogApiFailure(operation, error, kEventApiFailure);
    Release();
    Report(SERVICE_STOPPED, error, 0);
}

DWORD ServiceRun::WaitWhileWorkerRuns()
{
    // The stop first: a worker that ended because of it is no failure.
    const HANDLE handles[] = {m_signals.StopEvent(), m_worker.Thread()};
    const DWORD wait = sys::WaitForAny(2, handles, INFINITE);
    if (wait == WAIT_OBJECT_0) {
        return ERROR_SUCCESS;
    }
    if (wait != WAIT_OBJECT_0 + 1) {
        const DWORD error = FailureCode(::GetLastError());
        LogApiFailure(L"service wait", error, kEventApiFailure);
        return error;
    }
    // The worker returns 0 only for a stop, which the wait would have seen first.
    const DWORD error = FailureCode(m_worker.Result());
    LogApiFailure(L"reconcile worker", error, kEventApiFailure);
    return error;
}

void ServiceRun::Run()
{
    const SERVICE_STATUS_HANDLE handle = sys::RegisterControlHandler(Handler, this);
    if (handle == nullptr) {
        LogApiFailure(L"RegisterServiceCtrlHandlerExW", ::GetLastError(), kEventApiFailure);
        Release();
        return;
    }
    {
        win::ExclusiveLock hold(m_statusLock);
        m_statusHandle = handle;
    }
    if (m_signals.CreationError() != ERROR_SUCCESS) {
        FailStartup(L"CreateEventW", m_signals.CreationError());
        return;
    }
    Report(SERVICE_START_PENDING, NO_ERROR, kStartPendingHint);

    m_notification = RegisterDeviceNotifications(handle);
    if (!m_notification) {
        FailStartup(L"RegisterDeviceNotificationW", ::GetLastError());
        return;
    }
    const DWORD workerError = m_worker.Start();
    if (workerError != ERROR_SUCCESS) {
        FailStartup(L"CreateThread", workerError);
        return;
    }
    if (Report(SERVICE_RUNNING, NO_ERROR, 0)) {
        WriteServiceEvent(EVENTLOG_INFORMATION_TYPE, kEventServiceStarted,
                          L"VYXDshowService started. native64BitWindows=%d processWow64=%d",
                          IsNative64BitWindows() ? 1 : 0, IsProcessWow64() ? 1 : 0);
    }

    const DWORD result = WaitWhileWorkerRuns();
    if (result != ERROR_SUCCESS) {
        // No pass would ever run again: stopping with the error lets the manager's failure
        // actions restart the service, instead of a RUNNING service that does nothing.
        Release();
        Report(SERVICE_STOPPED, result, 0);
        return;
    }
    Report(SERVICE_STOP_PENDING, NO_ERROR, kStopPendingHint);
    Release();
    WriteServiceEvent(EVENTLOG_INFORMATION_TYPE, kEventServiceStopped, L"VYXDshowService stopped.");
    Report(SERVICE_STOPPED, NO_ERROR, 0);
}

}  // namespace vyx::service
