#include "ReconcileWorker.h"

#include "PassScheduler.h"
#include "ServiceEvents.h"
#include "ServiceTimings.h"
#include "StatusRecord.h"
#include "System.h"

#include <dbt.h>

namespace vyx::service {

namespace {

// Logs a failed wait; the worker ends with its error, never with the 0 of a stop.
DWORD FailWorker(const wchar_t* operation)
{
    const DWORD error = FailureCode(::GetLastError());
    LogApiFailure(operation, error, kEventApiFailure);
    return error;
}

}  // namespace

ReconcileWorker::ReconcileWorker(ServiceSignals& signals) : m_signals(signals), m_pass(signals) {}

ReconcileWorker::~ReconcileWorker() { Stop(); }

DWORD ReconcileWorker::Start()
{
    m_thread.Reset(::CreateThread(nullptr, 0, ThreadMain, this, 0, nullptr));
    return m_thread ? ERROR_SUCCESS : ::GetLastError();
}

DWORD ReconcileWorker::Result() const
{
    DWORD exitCode = 0;
    if (!::GetExitCodeThread(m_thread.Get(), &exitCode)) {
        return FailureCode(::GetLastError());
    }
    return exitCode;
}

void ReconcileWorker::Stop()
{
    m_signals.Stop();
    if (!m_thread) {
        return;
    }
    const DWORD wait = ::WaitForSingleObject(m_thread.Get(), kWorkerShutdownWaitMs);
    if (wait != WAIT_OBJECT_0) {
        LogApiFailure(L"reconcile worker shutdown", wait == WAIT_TIMEOUT ? ERROR_TIMEOUT : FailureCode(::GetLastError()),
                      kEventApiFailure);
        ::WaitForSingleObject(m_thread.Get(), INFINITE);
    }
}

DWORD WINAPI ReconcileWorker::ThreadMain(void* worker)
{
    return static_cast<ReconcileWorker*>(worker)->Run();
}

DWORD ReconcileWorker::WaitStopOrChange(DWORD timeoutMs) const
{
    const HANDLE handles[] = {m_signals.StopEvent(), m_signals.ChangeEvent()};
    return sys::WaitForAny(2, handles, timeoutMs);
}

DWORD ReconcileWorker::Run()
{
    // Lets the devices present at boot settle before the first pass. The service already
    // runs and takes a stop meanwhile.
    const HANDLE stop = m_signals.StopEvent();
    DWORD wait = sys::WaitForAny(1, &stop, Timings().startupWaitMs);
    if (wait == WAIT_OBJECT_0) {
        return ERROR_SUCCESS;
    }
    if (wait != WAIT_TIMEOUT) {
        return FailWorker(L"startup wait");
    }
    m_pass.Run();

    for (;;) {
        wait = WaitStopOrChange(INFINITE);
        if (wait == WAIT_OBJECT_0) {
            return ERROR_SUCCESS;
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
                return ERROR_SUCCESS;
            }
            if (wait == WAIT_OBJECT_0 + 1) {
                schedule.OnChange(::GetTickCount64());
            } else if (wait != WAIT_TIMEOUT) {
                return FailWorker(L"debounce wait");
            }
        }
        const LONG lastEvent = m_signals.TakeLastDeviceEvent();
        if (lastEvent != 0) {
            WriteServiceEvent(EVENTLOG_INFORMATION_TYPE, kEventDeviceChange, L"deviceEvent=%ls generation=%ld",
                              lastEvent == DBT_DEVICEARRIVAL ? L"arrival" : L"remove-complete",
                              static_cast<long>(m_signals.Generation()));
        }
        m_pass.Run();
    }
}

}  // namespace vyx::service
