#pragma once
// Running as the service: the service's main function, its control handler and status
// reports. Threads: see ServiceState.h.

#include <windows.h>

namespace vyx::service {

void WINAPI ServiceMain(DWORD argc, wchar_t** argv);
DWORD WINAPI ServiceControlHandler(DWORD control, DWORD eventType, void* eventData, void* context);
// False without a status handle; a failed send is logged as event 1400.
bool ReportServiceStatus(DWORD state, DWORD win32ExitCode, DWORD waitHint);

// Tests stand in for SetServiceStatus (no status handle exists outside the service
// manager); null restores it. Set while no report can be under way.
using StatusSender = BOOL(WINAPI*)(SERVICE_STATUS_HANDLE handle, SERVICE_STATUS* status);
void SetStatusSenderForTesting(StatusSender sender);

}  // namespace vyx::service
