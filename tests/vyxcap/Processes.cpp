#include "Processes.h"

namespace vyxcaptest {
namespace {

class Handle {
public:
    explicit Handle(HANDLE handle = nullptr) : m_handle(handle) {}
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    ~Handle() {
        if (m_handle && m_handle != INVALID_HANDLE_VALUE) CloseHandle(m_handle);
    }
    HANDLE get() const { return m_handle; }
    bool valid() const { return m_handle && m_handle != INVALID_HANDLE_VALUE; }

private:
    HANDLE m_handle;
};

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

ProcessResult RunProcess(std::wstring commandLine) {
    ProcessResult result;
    const Handle out(CreateCaptureFile(L"vco"));
    const Handle err(CreateCaptureFile(L"vce"));
    if (!out.valid() || !err.valid()) return result;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = out.get();
    startup.hStdError = err.get();
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr, nullptr,
                        &startup, &process))
        return result;
    const Handle processHandle(process.hProcess);
    const Handle threadHandle(process.hThread);
    WaitForSingleObject(process.hProcess, INFINITE);
    GetExitCodeProcess(process.hProcess, &result.exitCode);
    result.started = true;
    result.out = ReadAll(out.get());
    result.err = ReadAll(err.get());
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

}  // namespace vyxcaptest
