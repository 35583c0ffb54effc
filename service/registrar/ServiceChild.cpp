#include "ServiceChild.h"

#include "ChildProcess.h"
#include "ServiceEvents.h"
#include "ServiceTimings.h"
#include "System.h"

namespace vyx::service {

DWORD RunServiceChild(const std::wstring& programPath, const std::wstring& commandLine, const wchar_t* program,
                      const std::wstring& subject, HANDLE stopEvent, DWORD& exitCode)
{
    win::ChildProcess child;
    // In a job of its own: a time-out or stop ends what the child started too.
    win::ChildProcessOptions options = win::ChildProcessOptions::Program(programPath).WholeTree();
    options.assignToJob = sys::AssignToJob;
    DWORD error = child.Start(commandLine, options);
    if (error == ERROR_SUCCESS && child.Placement() == win::JobPlacement::WithoutJob) {
        WriteServiceEvent(EVENTLOG_WARNING_TYPE, kEventApiFailure,
                          L"%ls runs without a job of its own: the service's job allows neither a nested job nor "
                          L"a breakaway, so a stop or time-out ends %ls but not what it started. path=%ls",
                          program, program, subject.c_str());
    }
    if (error == ERROR_SUCCESS) {
        error = child.Wait(Timings().regsvr32TimeoutMs, stopEvent);
    }
    if (error == ERROR_SUCCESS) {
        exitCode = child.ExitCode();
    }
    return error;
}

}  // namespace vyx::service
