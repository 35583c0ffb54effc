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

// The two service-manager calls that stopping a service makes, so that tests can answer
// them as Windows does where Wine does not.
class ServiceStopControl {
public:
    virtual ~ServiceStopControl() = default;
    // QueryServiceStatusEx: 0, or its error.
    virtual DWORD Query(SERVICE_STATUS_PROCESS& status) = 0;
    // ControlService with SERVICE_CONTROL_STOP: 0, or its error.
    virtual DWORD SendStop() = 0;
};

// The calls that bring the service's configuration up to date, so that tests can answer
// them as Windows does: Wine keeps no failure actions and refuses their flag.
class ServiceConfigControl {
public:
    virtual ~ServiceConfigControl() = default;
    // ChangeServiceConfigW with the given binary path and the rest of this release's
    // configuration: 0, or its error.
    virtual DWORD ChangeConfig(const std::wstring& binaryPath) = 0;
    // ChangeServiceConfig2W: 0, or its error.
    virtual DWORD ChangeConfig2(DWORD level, void* info) = 0;
};

// Type, start, account, description and the failure actions: restart after 5 s, again
// after 15 s, then nothing, the count reset after a day, and applied also when the service
// reports STOPPED with an error (the flag), since the service stops so when its worker
// dies. A platform that refuses the flag (ERROR_INVALID_LEVEL) gets a warning 1400 and the
// rest stays; any other failure ends with its error.
DWORD UpdateServiceConfiguration(ServiceConfigControl& service, const std::wstring& binaryPath);

// Stops the service and waits until it has stopped, within `timeoutMs`. A service that is
// still starting refuses a stop (ERROR_SERVICE_CANNOT_ACCEPT_CTRL, 1061, for the whole
// start-up wait on Windows): the stop is sent again at each poll until it is taken.
DWORD StopServiceAndWait(ServiceStopControl& service, DWORD timeoutMs = kStopWaitMs, DWORD pollMs = kStatePollMs);
DWORD StopServiceAndWait(SC_HANDLE service);
DWORD WaitForServiceState(SC_HANDLE service, DWORD wantedState, DWORD timeoutMs);
// Unregisters every model and architecture whose registration is present, and removes the
// Windows 11 virtual camera of each model whose x64 filter it unregistered.
DWORD UnregisterAllModels();

}  // namespace vyx::service
