#pragma once
// Device notifications and the reconcile worker: USB arrivals and removals become, after a
// quiet period, one reconcile pass that registers exactly the connected models.
// Threads: see ServiceState.h. Passes never overlap: the first runs on the ServiceMain
// thread before the worker exists, all later ones on the worker.

#include <windows.h>

namespace vyx::service {

inline constexpr DWORD kWorkerShutdownWaitMs = 40000;

bool RegisterDeviceNotifications(SERVICE_STATUS_HANDLE statusHandle);
DWORD HandleDeviceEvent(DWORD eventType, void* eventData);
DWORD WINAPI ReconcileWorker(void* parameter);
// On the ServiceMain thread once the worker runs: 0 when a stop was requested; the worker's
// error, logged as event 1400, when it ended on its own (a failed wait).
DWORD WaitWhileWorkerRuns();
bool ReconcileFilters();
void StopReconcileWorker();

}  // namespace vyx::service
