#include "PassScheduler.h"
#include "Reconcile.h"
#include "ServiceEvents.h"
#include "ServiceState.h"
#include "ServiceTimings.h"

namespace vyx::service {

namespace {

// Both waits list stopEvent first, so a stop wins over a change signalled with it.
DWORD WaitStopOrChange(DWORD timeoutMs)
{
    ServiceState& state = GetServiceState();
    const HANDLE handles[] = {state.stopEvent.Get(), state.changeEvent.Get()};
    return ::WaitForMultipleObjects(2, handles, FALSE, timeoutMs);
}

DWORD FailWorker(const wchar_t* operation)
{
    const DWORD error = ::GetLastError();
    LogApiFailure(operation, error, kEventApiFailure);
    return error;
}

}  // namespace

DWORD WINAPI ReconcileWorker(void*)
{
    ServiceState& state = GetServiceState();
    for (;;) {
        DWORD wait = WaitStopOrChange(INFINITE);
        if (wait == WAIT_OBJECT_0) {
            return 0;
        }
        if (wait != WAIT_OBJECT_0 + 1) {
            return FailWorker(L"WaitForMultipleObjects");
        }
        // Every further change restarts the quiet period, so a burst becomes one pass; a
        // burst that never ends still gets its pass once the upper bound has passed.
        PassScheduler schedule(::GetTickCount64(), Timings().quietPeriodMs, Timings().maxPassDelayMs);
        for (DWORD remaining = schedule.RemainingMs(::GetTickCount64()); remaining != 0;
             remaining = schedule.RemainingMs(::GetTickCount64())) {
            wait = WaitStopOrChange(remaining);
            if (wait == WAIT_OBJECT_0) {
                return 0;
            }
            if (wait == WAIT_OBJECT_0 + 1) {
                schedule.OnChange(::GetTickCount64());
            } else if (wait != WAIT_TIMEOUT) {
                return FailWorker(L"debounce wait");
            }
        }
        const LONG lastEvent = state.lastDeviceEvent.exchange(0);
        if (lastEvent != 0) {
            WriteServiceEvent(EVENTLOG_INFORMATION_TYPE, kEventDeviceChange, L"deviceEvent=%ls generation=%ld",
                              lastEvent == DBT_DEVICEARRIVAL ? L"arrival" : L"remove-complete",
                              static_cast<long>(state.generation.load()));
        }
        ReconcileFilters();
    }
}

DWORD WaitWhileWorkerRuns()
{
    ServiceState& state = GetServiceState();
    // The stop first: a worker that ended because of it is no failure.
    const HANDLE handles[] = {state.stopEvent.Get(), state.workerThread.Get()};
    const DWORD wait = ::WaitForMultipleObjects(2, handles, FALSE, INFINITE);
    if (wait == WAIT_OBJECT_0) {
        return ERROR_SUCCESS;
    }
    DWORD error = ::GetLastError();
    if (wait == WAIT_OBJECT_0 + 1) {
        DWORD exitCode = 0;
        // The worker returns 0 only for a stop, which the wait would have seen first.
        error = ::GetExitCodeThread(state.workerThread.Get(), &exitCode) ? exitCode : ::GetLastError();
    }
    LogApiFailure(L"reconcile worker", error, kEventApiFailure);
    return error;
}

void StopReconcileWorker()
{
    ServiceState& state = GetServiceState();
    if (state.stopEvent) {
        ::SetEvent(state.stopEvent.Get());
    }
    if (state.changeEvent) {
        ::SetEvent(state.changeEvent.Get());
    }
    if (state.workerThread) {
        const DWORD wait = ::WaitForSingleObject(state.workerThread.Get(), kWorkerShutdownWaitMs);
        if (wait != WAIT_OBJECT_0) {
            LogApiFailure(L"reconcile worker shutdown", wait == WAIT_TIMEOUT ? ERROR_TIMEOUT : ::GetLastError(),
                          kEventApiFailure);
            ::WaitForSingleObject(state.workerThread.Get(), INFINITE);
        }
        state.workerThread.Reset();
    }
    if (state.deviceNotification) {
        if (!::UnregisterDeviceNotification(state.deviceNotification.Release())) {
            LogApiFailure(L"UnregisterDeviceNotification", ::GetLastError(), kEventApiFailure);
        }
    }
    // The events stay open: the dispatcher thread may still be inside the control handler,
    // signalling them, after this returns. They close with the process.
}

}  // namespace vyx::service
