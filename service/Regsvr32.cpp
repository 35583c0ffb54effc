#include "ChildProcess.h"
#include "Registrar.h"
#include "ServiceTimings.h"

namespace vyx::service {

namespace {

// Set only by tests, before any action runs.
std::wstring g_regsvr32Override;

bool IsWow64Self()
{
    BOOL wow64 = FALSE;
    return ::IsWow64Process(::GetCurrentProcess(), &wow64) && wow64;
}

}  // namespace

void SetRegsvr32PathOverrideForTesting(const std::wstring& path) { g_regsvr32Override = path; }

bool GetRegsvr32Path(FilterArch arch, std::wstring& path)
{
    if (!g_regsvr32Override.empty()) {
        path = g_regsvr32Override;
        return true;
    }
    wchar_t windows[MAX_PATH] = {};
    const UINT length = ::GetWindowsDirectoryW(windows, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) {
        return false;
    }
    const wchar_t* program = nullptr;
    if (arch == FilterArch::X86) {
        program = IsNative64BitWindows() ? L"SysWOW64\\regsvr32.exe" : L"System32\\regsvr32.exe";
    } else {
        // A 32-bit process sees System32 redirected; Sysnative names the real one.
        program = IsWow64Self() ? L"Sysnative\\regsvr32.exe" : L"System32\\regsvr32.exe";
    }
    path.assign(windows, length);
    if (path.back() != L'\\') {
        path += L'\\';
    }
    path += program;
    return true;
}

DWORD RunRegsvr32(const std::wstring& regsvr32Path, const std::wstring& dllPath, bool unregister, HANDLE stopEvent,
                  DWORD& exitCode)
{
    std::wstring commandLine = L"\"" + regsvr32Path + L"\" /s ";
    if (unregister) {
        commandLine += L"/u ";
    }
    commandLine += L"\"" + dllPath + L"\"";

    win::ChildProcess regsvr32;
    DWORD error = regsvr32.Start(commandLine, win::ChildProcessOptions::Program(regsvr32Path));
    if (error == ERROR_SUCCESS) {
        // Ended by a time-out or the stop event: ERROR_TIMEOUT or ERROR_CANCELLED.
        error = regsvr32.Wait(Timings().regsvr32TimeoutMs, stopEvent);
    }
    if (error != ERROR_SUCCESS) {
        return error;
    }
    exitCode = regsvr32.ExitCode();
    return exitCode != 0 ? ERROR_GEN_FAILURE : ERROR_SUCCESS;
}

}  // namespace vyx::service
