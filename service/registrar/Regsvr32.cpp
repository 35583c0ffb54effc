#include "Regsvr32.h"

#include "ServiceChild.h"

namespace vyx::service {

DWORD RunRegsvr32(const std::wstring& regsvr32Path, const std::wstring& dllPath, bool unregister, HANDLE stopEvent,
                  DWORD& exitCode)
{
    std::wstring commandLine = L"\"" + regsvr32Path + L"\" /s ";
    if (unregister) {
        commandLine += L"/u ";
    }
    commandLine += L"\"" + dllPath + L"\"";
    const DWORD error = RunServiceChild(regsvr32Path, commandLine, L"regsvr32", dllPath, stopEvent, exitCode);
    if (error != ERROR_SUCCESS) {
        return error;
    }
    return exitCode != 0 ? ERROR_GEN_FAILURE : ERROR_SUCCESS;
}

}  // namespace vyx::service
