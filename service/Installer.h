#pragma once
// The two commands of the executable: install (create or update the service, restart it)
// and uninstall (stop and delete it, remove every filter registration). Each returns a
// Windows error code. They run on the command's one thread.

#include <windows.h>

#include <string>

namespace vyx::service {

inline constexpr wchar_t kServiceDescription[] = L"Detect Vyxon camera hot-plug events and update DirectShow filters";
inline constexpr wchar_t kEventLogSourceKey[] =
    L"SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\VYXDshowService";
inline constexpr DWORD kStopWaitMs = 60000;
inline constexpr DWORD kRunningWaitMs = 300000;
inline constexpr DWORD kStatePollMs = 250;

DWORD InstallService();
DWORD UninstallService();
DWORD RegisterEventLogSource(const std::wstring& executablePath);
DWORD StopServiceAndWait(SC_HANDLE service);
DWORD WaitForServiceState(SC_HANDLE service, DWORD wantedState, DWORD timeoutMs);
// Unregisters every model and architecture whose registration is present.
DWORD UnregisterAllModels();

}  // namespace vyx::service
