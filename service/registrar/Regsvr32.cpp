#include "Regsvr32.h"

#include "ChildProcess.h"
#include "ServiceEvents.h"
#include "ServiceTimings.h"
#include "System.h"

namespace vyx::service {

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
    win::ChildProcessOptions options = win::ChildProcessOptions::Program(regsvr32Path).WholeTree();
    options.assignToJob = sys::AssignToJob;
    DWORD error = regsvr32.Start(commandLine, options);
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
