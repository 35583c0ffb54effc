#include "Processes.h"

#include "ChildProcess.h"
#include "UniqueResource.h"

namespace vyx::vyxcap::test {
namespace {

// Far beyond any run of the tools; only a hang reaches it, and the run then fails.
constexpr DWORD kProcessTimeoutMs = 170000;

// Output goes to files rather than pipes, so that a chatty program can never block on a
// full pipe while the caller waits for it to exit.
HANDLE CreateCaptureFile(const wchar_t* prefix) {
    wchar_t folder[MAX_PATH] = {}, name[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, folder);
    GetTempFileNameW(folder, prefix, 0, name);
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    return CreateFileW(name, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                       &inherit, CREATE_ALWAYS, FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
}

std::string ReadAll(HANDLE file) {
    SetFilePointer(file, 0, nullptr, FILE_BEGIN);
    std::string text;
    char buffer[4096];
    DWORD read = 0;
    while (ReadFile(file, buffer, sizeof buffer, &read, nullptr) && read > 0) text.append(buffer, read);
    return text;
}

}  // namespace

ProcessResult RunProcess(const std::wstring& commandLine) {
    ProcessResult result;
    const vyx::win::UniqueFile out(CreateCaptureFile(L"vco"));
    const vyx::win::UniqueFile err(CreateCaptureFile(L"vce"));
    if (!out || !err) return result;
    vyx::win::ChildProcess process;
    if (process.Start(commandLine, vyx::win::ChildProcessOptions::Output(out.Get(), err.Get())) != ERROR_SUCCESS)
        return result;
    result.started = true;
    process.Wait(kProcessTimeoutMs);
    result.exitCode = process.ExitCode();
    result.out = ReadAll(out.Get());
    result.err = ReadAll(err.Get());
    return result;
}

std::wstring DistPath() {
    wchar_t dist[MAX_PATH] = {};
    GetEnvironmentVariableW(L"VYX_DIST", dist, MAX_PATH);
    return dist;
}

std::wstring ToolPath(const wchar_t* name) {
    return DistPath() + (sizeof(void*) == 8 ? L"\\tools_x64\\" : L"\\tools_x86\\") + name;
}

std::wstring FilterBuildPath(const wchar_t* fileName) {
    return DistPath() + (sizeof(void*) == 8 ? L"\\DX_x64\\" : L"\\DX_x86\\") + fileName;
}

DWORD RunRegsvr32(const std::wstring& arguments) {
    wchar_t system[MAX_PATH] = {};
    GetSystemDirectoryW(system, MAX_PATH);  // a 32-bit process is redirected to the 32-bit tool
    const ProcessResult run = RunProcess(L"\"" + std::wstring(system) + L"\\regsvr32.exe\" " + arguments);
    return run.started ? run.exitCode : GetLastError();
}

}  // namespace vyx::vyxcap::test
