#include "ChildProcess.h"

#include <vector>

namespace vyx::win {

ChildProcess::~ChildProcess()
{
    if (m_process && ::WaitForSingleObject(m_process.Get(), 0) == WAIT_TIMEOUT) {
        Terminate(ERROR_CANCELLED);
    }
}

DWORD ChildProcess::Start(const std::wstring& commandLine, const ChildProcessOptions& options)
{
    if (m_process && ::WaitForSingleObject(m_process.Get(), 0) == WAIT_TIMEOUT) {
        return ERROR_BUSY;
    }
    // CreateProcessW may write into the command line, so it gets a copy of its own.
    std::vector<wchar_t> writable(commandLine.begin(), commandLine.end());
    writable.push_back(L'\0');

    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    const bool redirect = options.standardOutput != nullptr || options.standardError != nullptr;
    if (redirect) {
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = ::GetStdHandle(STD_INPUT_HANDLE);
        startup.hStdOutput = options.standardOutput;
        startup.hStdError = options.standardError;
    }
    UniqueHandle job;
    if (options.endWholeTree) {
        job.Reset(::CreateJobObjectW(nullptr, nullptr));
        if (!job) {
            return ::GetLastError();
        }
        JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits = {};
        limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
        if (!::SetInformationJobObject(job.Get(), JobObjectExtendedLimitInformation, &limits, sizeof(limits))) {
            return ::GetLastError();
        }
    }
    // Suspended until it is in its job, so nothing it starts can escape the job.
    const DWORD flags = CREATE_NO_WINDOW | (job ? CREATE_SUSPENDED : 0);
    PROCESS_INFORMATION info = {};
    if (!::CreateProcessW(options.application.empty() ? nullptr : options.application.c_str(), writable.data(), nullptr,
                          nullptr, redirect, flags, nullptr, nullptr, &startup, &info)) {
        return ::GetLastError();
    }
    UniqueHandle process(info.hProcess);
    UniqueHandle thread(info.hThread);
    if (job) {
        if (!::AssignProcessToJobObject(job.Get(), process.Get()) ||
            ::ResumeThread(thread.Get()) == static_cast<DWORD>(-1)) {
            const DWORD error = ::GetLastError();
            ::TerminateProcess(process.Get(), error);
            ::WaitForSingleObject(process.Get(), kTerminateWaitMs);
            return error;
        }
    }
    m_process = std::move(process);
    m_job = std::move(job);
    m_processId = info.dwProcessId;
    m_exitCode = STILL_ACTIVE;
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
