#include "Registrar.h"
#include "ServiceTimings.h"
#include "UniqueResource.h"

#include <vector>

namespace vyx::service {

namespace {

// Set only by tests, before any action runs.
std::wstring g_regsvr32Override;

bool IsWow64Self()
{
    BOOL wow64 = FALSE;
    return ::IsWow64Process(::GetCurrentProcess(), &wow64) && wow64;
}

// Ends a process that must not outlive its action and waits briefly for it to go.
void TerminateAndWait(HANDLE process, UINT exitCode)
{
    ::TerminateProcess(process, exitCode);
    ::WaitForSingleObject(process, kTerminateWaitMs);
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
    std::vector<wchar_t> writable(commandLine.begin(), commandLine.end());
    writable.push_back(L'\0');

    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info = {};
    if (!::CreateProcessW(regsvr32Path.c_str(), writable.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr,
                          nullptr, &startup, &info)) {
        return ::GetLastError();
    }
    UniqueHandle process(info.hProcess);
    UniqueHandle thread(info.hThread);

    DWORD wait = 0;
    if (stopEvent != nullptr) {
        const HANDLE handles[] = {process.Get(), stopEvent};
        wait = ::WaitForMultipleObjects(2, handles, FALSE, Timings().regsvr32TimeoutMs);
        if (wait == WAIT_OBJECT_0 + 1) {
            TerminateAndWait(process.Get(), ERROR_CANCELLED);
            return ERROR_CANCELLED;
        }
    } else {
        wait = ::WaitForSingleObject(process.Get(), Timings().regsvr32TimeoutMs);
    }
    if (wait == WAIT_TIMEOUT) {
        TerminateAndWait(process.Get(), ERROR_TIMEOUT);
        return ERROR_TIMEOUT;
    }
    if (wait != WAIT_OBJECT_0) {
        return ::GetLastError();
    }
    if (!::GetExitCodeProcess(process.Get(), &exitCode)) {
        return ::GetLastError();
    }
    return exitCode != 0 ? ERROR_GEN_FAILURE : ERROR_SUCCESS;
}

}  // namespace vyx::service
