#pragma once
// One run of the service, from the control handler's registration to STOPPED: it reports
// RUNNING as soon as the reconcile worker is started, so a stop is taken at once (the
// service manager refuses a stop to a service that is still starting), and the worker makes
// the start-up wait and the first pass. The control handler gets the object as its context.
//
// States, as reported: START_PENDING while the handler, the notifications and the worker
// are set up; RUNNING until a stop or shutdown control (STOP_PENDING, sent by the handler)
// or until the worker ends on its own; STOPPED with 0 after a stop, or with the error of a
// failed start-up step or of the worker, so the manager's failure actions apply.
//
// Threads and what guards what:
//  - the dispatcher thread runs Control: it touches m_stopRequested (compare-exchange),
//    the status record (under m_statusLock) and ServiceSignals;
//  - the service's main thread runs Run: it reports, starts and stops the worker and owns
//    the notification;
//  - the worker thread (ReconcileWorker) runs the passes and reads ServiceSignals.
//  m_statusLock (exclusive) guards m_statusHandle and m_status from filling until sent.
// The object outlives the dispatcher (the caller of StartServiceCtrlDispatcherW owns it), so
// a control that arrives while Run returns still finds its events.

#include "DeviceNotifications.h"
#include "ReconcileWorker.h"
#include "ServiceSignals.h"

#include <windows.h>

#include <atomic>

namespace vyx::service {

class ServiceRun {
public:
    ServiceRun();
    ServiceRun(const ServiceRun&) = delete;
    ServiceRun& operator=(const ServiceRun&) = delete;

    // The service's main function: returns after reporting STOPPED (or when no handler
    // could be registered, so nothing can be reported).
    void Run();

    // The control handler: stop and shutdown act once, device events count as changes,
    // interrogation is answered, everything else is not implemented.
    DWORD Control(DWORD control, DWORD eventType, void* eventData);
    // The HandlerEx callback: the context is the ServiceRun.
    static DWORD WINAPI Handler(DWORD control, DWORD eventType, void* eventData, void* context);

    ServiceSignals& Signals() { return m_signals; }

private:
    // True when the record was sent. A report the status rule refuses (StatusRecord.h) is
    // not sent; a failed send is logged as event 1400.
    bool Report(DWORD state, DWORD win32ExitCode, DWORD waitHint);
    // Stops the worker and drops the notification; the events stay for late controls.
    void Release();
    void FailStartup(const wchar_t* operation, DWORD error);
    // 0 once a stop was requested; the worker's error when it ended on its own.
    DWORD WaitWhileWorkerRuns();

    ServiceSignals m_signals;
    ReconcileWorker m_worker;
    UniqueDeviceNotification m_notification;

    SRWLOCK m_statusLock = SRWLOCK_INIT;
    SERVICE_STATUS_HANDLE m_statusHandle = nullptr;
    SERVICE_STATUS m_status = {};
    std::atomic<LONG> m_stopRequested{0};
};

}  // namespace vyx::service
