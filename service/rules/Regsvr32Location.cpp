#include "Regsvr32Location.h"

namespace vyx::service {

DWORD WindowsDirectoryError(UINT length, UINT capacity, DWORD lastError)
{
    if (length == 0) {
        return lastError != ERROR_SUCCESS ? lastError : ERROR_PATH_NOT_FOUND;
    }
    return length >= capacity ? ERROR_FILENAME_EXCED_RANGE : ERROR_SUCCESS;
}

const wchar_t* Regsvr32Program(FilterArch arch, bool native64BitWindows, bool processWow64)
{
    if (arch == FilterArch::X86) {
        return native64BitWindows ? L"SysWOW64\\regsvr32.exe" : L"System32\\regsvr32.exe";
    }
    // A 32-bit process sees System32 redirected; Sysnative names the real one.
    return processWow64 ? L"Sysnative\\regsvr32.exe" : L"System32\\regsvr32.exe";
}

std::wstring Regsvr32PathUnder(const std::wstring& windowsDirectory, FilterArch arch, bool native64BitWindows,
                               bool processWow64)
{
    std::wstring path = windowsDirectory;
    if (!path.empty() && path.back() != L'\\') {
        path += L'\\';
    }
    return path + Regsvr32Program(arch, native64BitWindows, processWow64);
}

}  // namespace vyx::service
