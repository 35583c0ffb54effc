#pragma once
// A child process started from a command line: waited for with a time-out, ended when it
// outlives that time-out or a stop event, and asked for its exit code. Callers keep their
// own reporting (the service's event log, a test's assertions) around it.
#include <windows.h>

#include <string>

#include "UniqueResource.h"

namespace vyx::win {

struct ChildProcessOptions {
    // The program to start; empty: the first token of the command line names it.
    std::wstring application;
    // Standard output and error of the child (inheritable handles); null: none given.
    HANDLE standardOutput = nullptr;
    HANDLE standardError = nullptr;
    // The child runs in a job of its own, so ending it ends every process it started too,
    // and none of them outlives the ChildProcess (the job kills what is left when closed).
    // Where this process sits in a job that allows no nested job (Windows 7: a task, an
    // installer's custom action, a CI runner), the child breaks away from that job into
    // its own; where breaking away is not allowed either, it runs without a job of its own
    // (see Placement).
    bool endWholeTree = false;
    // Places the child in its job; null: AssignProcessToJobObject. Callers that must answer
    // as a host whose jobs do not nest (Windows 7) put their own here.
    BOOL(WINAPI* assignToJob)(HANDLE job, HANDLE process) = nullptr;

    static ChildProcessOptions Program(const std::wstring& application)
    {
        ChildProcessOptions options;
        options.application = application;
        return options;
    }
    ChildProcessOptions& WholeTree()
    {
        endWholeTree = true;
        return *this;
    }
    static ChildProcessOptions Output(HANDLE standardOutput, HANDLE standardError)
    {
        ChildProcessOptions options;
        options.standardOutput = standardOutput;
        options.standardError = standardError;
        return options;
    }
};

// Where a started child runs: in a job of its own (as asked, or after breaking away from
// this process's job), or, with endWholeTree asked, without one.
enum class JobPlacement { None, OwnJob, OwnJobAfterBreakaway, WithoutJob };

class ChildProcess {
public:
    // How long Wait gives a process it has just ended to go away.
    static constexpr DWORD kTerminateWaitMs = 5000;

    ChildProcess() = default;
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;
    // Ends a child still running: none outlives its owner.
    ~ChildProcess();

    // ERROR_SUCCESS, or the Win32 error of CreateProcessW (ERROR_BUSY when one is running).
    DWORD Start(const std::wstring& commandLine, const ChildProcessOptions& options = {});

    // ERROR_SUCCESS once the child has ended by itself (see ExitCode); ERROR_TIMEOUT or
    // ERROR_CANCELLED after ending it because `timeoutMs` passed or `stopEvent` (optional)
    // was set first; ERROR_INVALID_HANDLE when nothing was started; else the wait's error.
    DWORD Wait(DWORD timeoutMs, HANDLE stopEvent = nullptr);

    // The exit code of a child that Wait saw end by itself.
    DWORD ExitCode() const { return m_exitCode; }
    HANDLE Process() const { return m_process.Get(); }
    DWORD ProcessId() const { return m_processId; }
    JobPlacement Placement() const { return m_placement; }

private:
    void Terminate(UINT exitCode);

    UniqueHandle m_job;  // only with endWholeTree; declared first, so it closes last
    UniqueHandle m_process;
    DWORD m_processId = 0;
    DWORD m_exitCode = STILL_ACTIVE;
    JobPlacement m_placement = JobPlacement::None;
};

// Runs `commandLine` to its end within `timeoutMs`: ERROR_SUCCESS with the exit code in
// `exitCode`, or the error of ChildProcess::Start or Wait.
DWORD RunChildProcess(const std::wstring& commandLine, DWORD timeoutMs, DWORD& exitCode,
                      const ChildProcessOptions& options = {});

}  // namespace vyx::win
