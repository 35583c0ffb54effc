#include "ChildProcess.h"

#include <vector>

namespace vyx::win {

ChildProcess::~ChildProcess()
{
    if (m_process && ::WaitForSingleObject(m_process.Get(), 0) == WAIT_TIMEOUT) {
        Terminate(ERROR_CANCELLED);
    }
}

namespace {

UniqueHandle CreateKillOnCloseJob(DWORD& error)
{
    UniqueHandle job(::CreateJobObjectW(nullptr, nullptr));
    if (!job) {
        error = ::GetLastError();
        return job;
    }
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits = {};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    if (!::SetInformationJobObject(job.Get(), JobObjectExtendedLimitInformation, &limits, sizeof(limits))) {
        error = ::GetLastError();
        job.Reset();
    }
    return job;
}

// Ends a child that was created suspended and never ran.
void DiscardSuspended(HANDLE process, DWORD exitCode)
{
    ::TerminateProcess(process, exitCode);
    ::WaitForSingleObject(process, ChildProcess::kTerminateWaitMs);
}

}  // namespace

DWORD ChildProcess::Start(const std::wstring& commandLine, const ChildProcessOptions& options)
{
    if (m_process && ::WaitForSingleObject(m_process.Get(), 0) == WAIT_TIMEOUT) {
        return ERROR_BUSY;
    }
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    const bool redirect = options.standardOutput != nullptr || options.standardError != nullptr;
    if (redirect) {
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = ::GetStdHandle(STD_INPUT_HANDLE);
        startup.hStdOutput = options.standardOutput;
        startup.hStdError = options.standardError;
    }
    auto launch = [&](DWORD flags, PROCESS_INFORMATION& info) -> DWORD {
        // CreateProcessW may write into the command line, so each launch gets a copy.
        std::vector<wchar_t> writable(commandLine.begin(), commandLine.end());
        writable.push_back(L'\0');
        info = {};
        return ::CreateProcessW(options.application.empty() ? nullptr : options.application.c_str(), writable.data(),
                                nullptr, nullptr, redirect, CREATE_NO_WINDOW | flags, nullptr, nullptr, &startup, &info)
                   ? ERROR_SUCCESS
                   : ::GetLastError();
    };

    DWORD error = ERROR_SUCCESS;
    UniqueHandle job;
    if (options.endWholeTree) {
        job = CreateKillOnCloseJob(error);
        if (!job) {
            return error;
        }
    }
    PROCESS_INFORMATION info = {};
    JobPlacement placement = JobPlacement::None;
    const auto assignToJob = options.assignToJob != nullptr ? options.assignToJob : ::AssignProcessToJobObject;
    if (job) {
        // Suspended until it is in its job, so nothing it starts can escape the job. A
        // child that cannot be placed is ended before it ran, and the next way is tried.
        for (JobPlacement attempt : {JobPlacement::OwnJob, JobPlacement::OwnJobAfterBreakaway}) {
            const DWORD breakaway = attempt == JobPlacement::OwnJobAfterBreakaway ? CREATE_BREAKAWAY_FROM_JOB : 0;
            error = launch(CREATE_SUSPENDED | breakaway, info);
            if (error != ERROR_SUCCESS) {
                if (error == ERROR_ACCESS_DENIED && breakaway != 0) {
                    break;  // this process's job allows no breakaway
                }
                return error;
            }
            if (assignToJob(job.Get(), info.hProcess)) {
                placement = attempt;
                break;
            }
            error = ::GetLastError();
            DiscardSuspended(info.hProcess, error);
            ::CloseHandle(info.hThread);
            ::CloseHandle(info.hProcess);
            info = {};
            if (error != ERROR_ACCESS_DENIED) {
                return error;
            }
        }
        if (placement == JobPlacement::None) {
            job.Reset();
            error = launch(0, info);
            if (error != ERROR_SUCCESS) {
                return error;
            }
            placement = JobPlacement::WithoutJob;
        }
    } else {
        error = launch(0, info);
        if (error != ERROR_SUCCESS) {
            return error;
        }
    }
    UniqueHandle process(info.hProcess);
    UniqueHandle thread(info.hThread);
    if (job && ::ResumeThread(thread.Get()) == static_cast<DWORD>(-1)) {
        error = ::GetLastError();
        DiscardSuspended(process.Get(), error);
        return error;
    }
    m_process = std::move(process);
    m_job = std::move(job);
    m_processId = info.dwProcessId;
    m_exitCode = STILL_ACTIVE;
    m_placement = placement;
    return ERROR_SUCCESS;
}

DWORD ChildProcess::Wait(DWORD timeoutMs, HANDLE stopEvent)
{
    if (!m_process) {
        return ERROR_INVALID_HANDLE;
    }
    DWORD wait = 0;
    if (stopEvent != nullptr) {
        const HANDLE handles[] = {m_process.Get(), stopEvent};
        wait = ::WaitForMultipleObjects(2, handles, FALSE, timeoutMs);
        if (wait == WAIT_OBJECT_0 + 1) {
            Terminate(ERROR_CANCELLED);
            return ERROR_CANCELLED;
        }
    } else {
        wait = ::WaitForSingleObject(m_process.Get(), timeoutMs);
    }
    if (wait == WAIT_TIMEOUT) {
        Terminate(ERROR_TIMEOUT);
        return ERROR_TIMEOUT;
    }
    if (wait != WAIT_OBJECT_0) {
        return ::GetLastError();
    }
    if (!::GetExitCodeProcess(m_process.Get(), &m_exitCode)) {
        return ::GetLastError();
    }
    return ERROR_SUCCESS;
}

DWORD RunChildProcess(const std::wstring& commandLine, DWORD timeoutMs, DWORD& exitCode,
                      const ChildProcessOptions& options)
{
    ChildProcess child;
    DWORD error = child.Start(commandLine, options);
    if (error == ERROR_SUCCESS) {
        error = child.Wait(timeoutMs);
    }
    if (error == ERROR_SUCCESS) {
        exitCode = child.ExitCode();
    }
    return error;
}

void ChildProcess::Terminate(UINT exitCode)
{
    if (m_job) {
        ::TerminateJobObject(m_job.Get(), exitCode);
    } else {
        ::TerminateProcess(m_process.Get(), exitCode);
    }
    ::WaitForSingleObject(m_process.Get(), kTerminateWaitMs);
}

}  // namespace vyx::win
