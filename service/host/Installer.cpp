#include "Installer.h"

#include "CameraModelTable.h"
#include "FilterDllPath.h"
#include "RegistrationAction.h"
#include "RegistrationState.h"
#include "ServiceEvents.h"
#include "SystemFacts.h"
#include "TrustedFiles.h"
#include "UniqueResource.h"
#include "VirtualCameras.h"

#include <iterator>

namespace vyx::service {

namespace {

// DELETE | SERVICE_CHANGE_CONFIG | SERVICE_QUERY_STATUS | SERVICE_START | SERVICE_STOP
constexpr DWORD kInstallAccess = 0x10036;
// DELETE | SERVICE_STOP | SERVICE_QUERY_STATUS
constexpr DWORD kUninstallAccess = 0x10024;
constexpr wchar_t kDependencies[] = L"RPCSS\0";
constexpr wchar_t kAccount[] = L"LocalSystem";

DWORD QueryStatus(SC_HANDLE service, SERVICE_STATUS_PROCESS& status)
{
    DWORD needed = 0;
    if (!::QueryServiceStatusEx(service, SC_STATUS_PROCESS_INFO, reinterpret_cast<BYTE*>(&status), sizeof(status),
                                &needed)) {
        return ::GetLastError();
    }
    return ERROR_SUCCESS;
}

class ScmConfigControl : public ServiceConfigControl {
public:
    explicit ScmConfigControl(SC_HANDLE service) : m_service(service) {}
    DWORD ChangeConfig(const std::wstring& binaryPath) override
    {
        return ::ChangeServiceConfigW(m_service, SERVICE_WIN32_OWN_PROCESS, SERVICE_AUTO_START, SERVICE_ERROR_NORMAL,
                                      binaryPath.c_str(), nullptr, nullptr, kDependencies, kAccount, nullptr,
                                      kServiceName)
                   ? ERROR_SUCCESS
                   : ::GetLastError();
    }
    DWORD ChangeConfig2(DWORD level, void* info) override
    {
        return ::ChangeServiceConfig2W(m_service, level, info) ? ERROR_SUCCESS : ::GetLastError();
    }

private:
    SC_HANDLE m_service;
};

}  // namespace

DWORD UpdateServiceConfiguration(ServiceConfigControl& service, const std::wstring& binaryPath)
{
    DWORD error = service.ChangeConfig(binaryPath);
    if (error != ERROR_SUCCESS) {
        return error;
    }
    SERVICE_DESCRIPTIONW description = {const_cast<wchar_t*>(kServiceDescription)};
    error = service.ChangeConfig2(SERVICE_CONFIG_DESCRIPTION, &description);
    if (error != ERROR_SUCCESS) {
        return error;
    }
    SC_ACTION actions[] = {{SC_ACTION_RESTART, 5000}, {SC_ACTION_RESTART, 15000}, {SC_ACTION_NONE, 0}};
    SERVICE_FAILURE_ACTIONSW failure = {};
    failure.dwResetPeriod = 86400;
    failure.lpRebootMsg = nullptr;
    failure.lpCommand = nullptr;
    failure.cActions = static_cast<DWORD>(std::size(actions));
    failure.lpsaActions = actions;
    error = service.ChangeConfig2(SERVICE_CONFIG_FAILURE_ACTIONS, &failure);
    if (error != ERROR_SUCCESS) {
        return error;
    }
    // Without the flag Windows applies the actions only to a process that ends without
    // reporting STOPPED, never to the STOPPED with an error that a dead worker reports.
    SERVICE_FAILURE_ACTIONS_FLAG onStoppedWithError = {TRUE};
    error = service.ChangeConfig2(SERVICE_CONFIG_FAILURE_ACTIONS_FLAG, &onStoppedWithError);
    if (error == ERROR_INVALID_LEVEL) {
        WriteServiceEvent(EVENTLOG_WARNING_TYPE, kEventApiFailure,
                          L"failure actions for a service that stops with an error not set: the service manager does "
                          L"not know the setting. error=%lu",
                          static_cast<unsigned long>(error));
        return ERROR_SUCCESS;
    }
    return error;
}

DWORD RegisterEventLogSource(const std::wstring& executablePath)
{
    win::UniqueRegKey key;
    DWORD error = ::RegCreateKeyExW(HKEY_LOCAL_MACHINE, kEventLogSourceKey, 0, nullptr, REG_OPTION_NON_VOLATILE,
                                    KEY_SET_VALUE, nullptr, key.Put(), nullptr);
    if (error != ERROR_SUCCESS) {
        return error;
    }
    const DWORD pathBytes = static_cast<DWORD>((executablePath.size() + 1) * sizeof(wchar_t));
    error = ::RegSetValueExW(key.Get(), L"EventMessageFile", 0, REG_EXPAND_SZ,
                             reinterpret_cast<const BYTE*>(executablePath.c_str()), pathBytes);
    if (error != ERROR_SUCCESS) {
        return error;
    }
    const DWORD types = EVENTLOG_ERROR_TYPE | EVENTLOG_WARNING_TYPE | EVENTLOG_INFORMATION_TYPE;
    return ::RegSetValueExW(key.Get(), L"TypesSupported", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&types),
                            sizeof(types));
}

DWORD WaitForServiceState(SC_HANDLE service, DWORD wantedState, DWORD timeoutMs)
{
    const ULONGLONG deadline = ::GetTickCount64() + timeoutMs;
    for (;;) {
        SERVICE_STATUS_PROCESS status = {};
        const DWORD error = QueryStatus(service, status);
        if (error != ERROR_SUCCESS) {
            return error;
        }
        if (status.dwCurrentState == wantedState) {
            return ERROR_SUCCESS;
        }
        if (wantedState == SERVICE_RUNNING && status.dwCurrentState == SERVICE_STOPPED) {
            return status.dwWin32ExitCode != 0 ? status.dwWin32ExitCode : ERROR_SERVICE_NOT_ACTIVE;
        }
        if (::GetTickCount64() >= deadline) {
            return ERROR_TIMEOUT;
        }
        ::Sleep(kStatePollMs);
    }
}

DWORD StopServiceAndWait(ServiceStopControl& service, DWORD timeoutMs, DWORD pollMs)
{
    const ULONGLONG deadline = ::GetTickCount64() + timeoutMs;
    bool stopTaken = false;
    for (;;) {
        SERVICE_STATUS_PROCESS status = {};
        DWORD error = service.Query(status);
        if (error != ERROR_SUCCESS) {
            return error;
        }
        if (status.dwCurrentState == SERVICE_STOPPED) {
            return ERROR_SUCCESS;
        }
        if (!stopTaken && status.dwCurrentState != SERVICE_STOP_PENDING) {
            error = service.SendStop();
            const bool stillStarting =
                error == ERROR_SERVICE_CANNOT_ACCEPT_CTRL && status.dwCurrentState == SERVICE_START_PENDING;
            if (error == ERROR_SUCCESS || error == ERROR_SERVICE_NOT_ACTIVE) {
                stopTaken = true;
            } else if (!stillStarting) {
                return error;
            }
        }
        if (::GetTickCount64() >= deadline) {
            return ERROR_TIMEOUT;
        }
        ::Sleep(pollMs);
    }
}

namespace {

class ScmStopControl : public ServiceStopControl {
public:
    explicit ScmStopControl(SC_HANDLE service) : m_service(service) {}
    DWORD Query(SERVICE_STATUS_PROCESS& status) override { return QueryStatus(m_service, status); }
    DWORD SendStop() override
    {
        SERVICE_STATUS ignored = {};
        return ::ControlService(m_service, SERVICE_CONTROL_STOP, &ignored) ? ERROR_SUCCESS : ::GetLastError();
    }

private:
    SC_HANDLE m_service;
};

}  // namespace

DWORD StopServiceAndWait(SC_HANDLE service)
{
    ScmStopControl control(service);
    return StopServiceAndWait(control);
}

DWORD InstallService()
{
    std::wstring executable;
    if (!GetServiceExecutablePath(executable)) {
        return ::GetLastError();
    }
    // The service will run as LocalSystem and register the libraries beside it: a folder
    // that others may change is refused before anything is installed.
    {
        TrustedFiles held(ServiceFileTrust());
        std::wstring refusedPath;
        const DWORD layout = HoldServiceLayout(held, executable, refusedPath);
        if (layout != ERROR_SUCCESS) {
            WriteServiceEvent(EVENTLOG_ERROR_TYPE, kEventCommandFailed,
                              L"service installation refused. path=%ls error=%lu reason=%ls", refusedPath.c_str(),
                              static_cast<unsigned long>(layout),
                              held.Reason().empty() ? L"not usable" : held.Reason().c_str());
            return layout;
        }
    }
    DWORD error = RegisterEventLogSource(executable);
    if (error != ERROR_SUCCESS) {
        return error;
    }
    win::UniqueScHandle manager(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT | SC_MANAGER_CREATE_SERVICE));
    if (!manager) {
        return ::GetLastError();
    }

    const std::wstring binaryPath = L"\"" + executable + L"\"";
    bool created = false;
    win::UniqueScHandle service(::OpenServiceW(manager.Get(), kServiceName, kInstallAccess));
    if (!service) {
        error = ::GetLastError();
        if (error != ERROR_SERVICE_DOES_NOT_EXIST) {
            return error;
        }
        service.Reset(::CreateServiceW(manager.Get(), kServiceName, kServiceName, kInstallAccess,
                                       SERVICE_WIN32_OWN_PROCESS, SERVICE_AUTO_START, SERVICE_ERROR_NORMAL,
                                       binaryPath.c_str(), nullptr, nullptr, kDependencies, kAccount, nullptr));
        if (!service) {
            return ::GetLastError();
        }
        created = true;
    }

    ScmConfigControl configuration(service.Get());
    error = UpdateServiceConfiguration(configuration, binaryPath);
    if (error != ERROR_SUCCESS) {
        return error;
    }
    error = StopServiceAndWait(service.Get());
    if (error != ERROR_SUCCESS) {
        return error;
    }
    if (!::StartServiceW(service.Get(), 0, nullptr)) {
        error = ::GetLastError();
        if (error != ERROR_SERVICE_ALREADY_RUNNING) {
            return error;
        }
    }
    error = WaitForServiceState(service.Get(), SERVICE_RUNNING, kRunningWaitMs);
    if (error != ERROR_SUCCESS) {
        return error;
    }
    WriteServiceEvent(EVENTLOG_INFORMATION_TYPE, kEventCommandComplete,
                      L"service installation complete. created=%d path=%ls", created ? 1 : 0, executable.c_str());
    return ERROR_SUCCESS;
}

DWORD UnregisterAllModels()
{
    const bool native64 = IsNative64BitWindows();
    bool anyFailed = false;
    VirtualCameras cameras;
    for (std::size_t i = 0; i < CameraModelTable::Count(); ++i) {
        const CameraModel& model = CameraModelTable::Row(i);
        for (FilterArch arch : {FilterArch::X86, FilterArch::X64}) {
            if (arch == FilterArch::X64 && !native64) {
                continue;
            }
            std::wstring path;
            if (!BuildDllPath(model, arch, path)) {
                path.clear();
            }
            if (!QueryRegistrationState(model, arch, path).present) {
                continue;
            }
            if (!RunRegistrationAction(model, arch, false, nullptr)) {
                anyFailed = true;
            }
            if (arch == FilterArch::X64) {
                cameras.Update(static_cast<std::uint32_t>(i), false, true, nullptr);
            }
        }
    }
    return anyFailed ? ERROR_GEN_FAILURE : ERROR_SUCCESS;
}

DWORD UninstallService()
{
    win::UniqueScHandle manager(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
    if (!manager) {
        return ::GetLastError();
    }
    win::UniqueScHandle service(::OpenServiceW(manager.Get(), kServiceName, kUninstallAccess));
    if (!service) {
        const DWORD error = ::GetLastError();
        if (error != ERROR_SERVICE_DOES_NOT_EXIST) {
            return error;
        }
    }
    if (service) {
        const DWORD error = StopServiceAndWait(service.Get());
        if (error != ERROR_SUCCESS) {
            return error;
        }
    }

    DWORD result = UnregisterAllModels();
    if (service && !::DeleteService(service.Get())) {
        const DWORD error = ::GetLastError();
        if (error != ERROR_SERVICE_MARKED_FOR_DELETE && result == ERROR_SUCCESS) {
            result = error;
        }
    }
    if (result != ERROR_SUCCESS) {
        WriteServiceEvent(EVENTLOG_ERROR_TYPE, kEventCommandFailed, L"service uninstall completed with error=%lu",
                          static_cast<unsigned long>(result));
    } else {
        WriteServiceEvent(EVENTLOG_INFORMATION_TYPE, kEventCommandComplete, L"service uninstall complete.");
    }

    DWORD sourceResult = ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, kEventLogSourceKey);
    if (sourceResult == ERROR_FILE_NOT_FOUND || sourceResult == ERROR_PATH_NOT_FOUND) {
        sourceResult = ERROR_SUCCESS;
    }
    return result != ERROR_SUCCESS ? result : sourceResult;
}

}  // namespace vyx::service
