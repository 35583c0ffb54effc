#pragma once
// The reconcile worker: after the start-up wait it makes the first pass, then one pass
// after every burst of USB device events, once the burst has been quiet for a while (but
// never later than a bound after its first event). It ends when the service stops, or on
// a failed wait, with that failure's error.
//
// Threads: Start, Stop and Result run on the service's main thread; the worker thread alone
// runs the passes and so alone touches m_pass. A stop reaches the worker through
// ServiceSignals: at once while it waits, and in a pass between two actions and inside a
// running one.

#include "ReconcilePass.h"
#include "ServiceSignals.h"
#include "UniqueResource.h"

#include <windows.h>

namespace vyx::service {

inline constexpr DWORD kWorkerShutdownWaitMs = 40000;

class ReconcileWorker {
public:
    explicit ReconcileWorker(ServiceSignals& signals);
    // Stops a worker still running.
    ~ReconcileWorker();
    ReconcileWorker(const ReconcileWorker&) = delete;
    ReconcileWorker& operator=(const ReconcileWorker&) = delete;

    // 0, or the error of creating the thread.
    DWORD Start();
    // Null before Start; signalled once the worker has ended.
    HANDLE Thread() const { return m_thread.Get(); }
    // Of an ended worker: 0 when a stop ended it, else its failure's error (never 0).
    DWORD Result() const;
    // Signals the stop and waits for the worker; one that outlives the shutdown wait is
    // logged (event 1400) and then waited for without a limit.
    void Stop();

private:
    static DWORD WINAPI ThreadMain(void* worker);
    DWORD Run();
    // Waits for the stop or a change: the stop first, so it wins over a change signalled
    // with it.
    DWORD WaitStopOrChange(DWORD timeoutMs) const;

    ServiceSignals& m_signals;
    ReconcilePass m_pass;
    win::UniqueHandle m_thread;
};

}  // namespace vyx::service
