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
bool ReconcileFilters();
void StopReconcileWorker();

}  // namespace vyx::service
