#include "ServiceCommand.h"

#include "Installer.h"
#include "ServiceEvents.h"
#include "ServiceHost.h"

#include <cwchar>

namespace vyx::service {

ServiceCommand ParseServiceCommand(const wchar_t* commandLine)
{
    if (commandLine == nullptr) {
        return ServiceCommand::RunAsService;
    }
    const wchar_t* rest = commandLine + std::wcsspn(commandLine, L" \t");
    for (const wchar_t* text : {L"/RegServer", L"-/RegServer", L"/Service", L"-/Service"}) {
        if (_wcsicmp(rest, text) == 0) {
            return ServiceCommand::Install;
        }
    }
    for (const wchar_t* text : {L"/UnregServer", L"-/UnregServer"}) {
        if (_wcsicmp(rest, text) == 0) {
            return ServiceCommand::Uninstall;
        }
    }
    return ServiceCommand::RunAsService;
}

int RunServiceCommand(const wchar_t* commandLine)
{
    DWORD result = ERROR_SUCCESS;
    switch (ParseServiceCommand(commandLine)) {
    case ServiceCommand::Install:
        result = InstallService();
        break;
    case ServiceCommand::Uninstall:
        result = UninstallService();
        break;
    case ServiceCommand::RunAsService:
        result = RunServiceDispatcher();
        break;
    }
    if (result == ERROR_SUCCESS) {
        return 0;
    }
    WriteServiceEvent(EVENTLOG_ERROR_TYPE, kEventCommandFailed, L"VYXCamService command failed. command=%ls error=%lu",
                      commandLine != nullptr ? commandLine : L"", static_cast<unsigned long>(result));
    return 1;
}

}  // namespace vyx::service
