#include "HostArchitecture.h"

#include "Processes.h"

#include <windows.h>

namespace vyx::service::test {

FilterArch ProcessArch() { return sizeof(void*) == 4 ? FilterArch::X86 : FilterArch::X64; }

bool HostRuns32BitPrograms() {
    static const bool runs = [] {
        wchar_t assume[4] = {};
        if (::GetEnvironmentVariableW(L"VYX_ASSUME_NO_32BIT", assume, 4) == 1 && assume[0] == L'1') {
            return false;
        }
        if (ProcessArch() == FilterArch::X86) {
            return true;
        }
        wchar_t windows[MAX_PATH] = {};
        const UINT length = ::GetWindowsDirectoryW(windows, MAX_PATH);
        if (length == 0 || length >= MAX_PATH) {
            return false;
        }
        // An exit code nobody returns by accident.
        const std::wstring cmd = L"\"" + std::wstring(windows, length) + L"\\SysWOW64\\cmd.exe\" /c exit 57";
        return vyx::test::RunProcess(cmd).exitCode == 57;
    }();
    return runs;
}

bool HostRuns(FilterArch arch) { return arch == FilterArch::X64 || HostRuns32BitPrograms(); }

}  // namespace vyx::service::test
