#include "Processes.h"

#include "ChildProcess.h"
#include "UniqueResource.h"

namespace vyx::test {
namespace {

// A temporary file the child inherits as its output; it goes away when its handle closes.
vyx::win::UniqueFile CreateCaptureFile(const wchar_t* prefix) {
    wchar_t folder[MAX_PATH] = {}, name[MAX_PATH] = {};
    if (!GetTempPathW(MAX_PATH, folder) || !GetTempFileNameW(folder, prefix, 0, name)) return vyx::win::UniqueFile();
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    return vyx::win::UniqueFile(CreateFileW(name, GENERIC_READ | GENERIC_WRITE,
                                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, &inherit,
                                            CREATE_ALWAYS, FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr));
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

ProcessResult RunProcess(const std::wstring& commandLine, DWORD timeoutMs) {
    ProcessResult result;
    const vyx::win::UniqueFile out = CreateCaptureFile(L"vco");
    const vyx::win::UniqueFile err = CreateCaptureFile(L"vce");
    if (!out || !err) return result;
    vyx::win::ChildProcess process;
    if (process.Start(commandLine, vyx::win::ChildProcessOptions::Output(out.Get(), err.Get())) != ERROR_SUCCESS)
        return result;
    result.started = true;
    result.processId = process.ProcessId();
    if (process.Wait(timeoutMs) == ERROR_SUCCESS) result.exitCode = process.ExitCode();
    result.out = ReadAll(out.Get());
    result.err = ReadAll(err.Get());
    return result;
}

}  // namespace vyx::test
