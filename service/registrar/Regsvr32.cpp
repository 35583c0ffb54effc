#include "ChildProcess.h"
#include "Registrar.h"
#include "Regsvr32Location.h"
#include "ServiceEvents.h"
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
    const DWORD error = WindowsDirectoryError(length, MAX_PATH, ::GetLastError());
    if (error != ERROR_SUCCESS) {
        ::SetLastError(error);
        return false;
    }
    path = Regsvr32PathUnder(std::wstring(windows, length), arch, IsNative64BitWindows(), IsWow64Self());
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
    // In a job of its own: a time-out or stop ends what the library's registration started too.
    DWORD error = regsvr32.Start(commandLine, win::ChildProcessOptions::Program(regsvr32Path).WholeTree());
    if (error == ERROR_SUCCESS && regsvr32.Placement() == win::JobPlacement::WithoutJob) {
        WriteServiceEvent(EVENTLOG_WARNING_TYPE, kEventApiFailure,
                          L"regsvr32 runs without a job of its own: the service's job allows neither a nested job nor "
                          L"a breakaway, so a stop or time-out ends regsvr32 but not what it started. path=%ls",
                          dllPath.c_str());
    }
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
