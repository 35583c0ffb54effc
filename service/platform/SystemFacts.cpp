#include "SystemFacts.h"

#include "Regsvr32Location.h"

#include <windows.h>

namespace vyx::service {

bool IsNative64BitWindows()
{
    SYSTEM_INFO info = {};
    ::GetNativeSystemInfo(&info);
    return info.wProcessorArchitecture == PROCESSOR_ARCHITECTURE_AMD64;
}

bool IsProcessWow64()
{
    BOOL wow64 = FALSE;
    return ::IsWow64Process(::GetCurrentProcess(), &wow64) && wow64;
}

bool GetRegsvr32Path(FilterArch arch, std::wstring& path)
{
    wchar_t windows[MAX_PATH] = {};
    const UINT length = ::GetWindowsDirectoryW(windows, MAX_PATH);
    const DWORD error = WindowsDirectoryError(length, MAX_PATH, ::GetLastError());
    if (error != ERROR_SUCCESS) {
        ::SetLastError(error);
        return false;
    }
    path = Regsvr32PathUnder(std::wstring(windows, length), arch, IsNative64BitWindows(), IsProcessWow64());
    return true;
}

}  // namespace vyx::service
