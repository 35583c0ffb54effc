#include "InstalledBuilds.h"

#include "ChildProcess.h"

namespace vyx::test {

std::wstring DllPath(const vyx::catalogue::ModelRow& row) {
    wchar_t dist[MAX_PATH] = {};
    GetEnvironmentVariableW(L"VYX_DIST", dist, MAX_PATH);
    const wchar_t* arch = sizeof(void*) == 8 ? L"\\DX_x64\\" : L"\\DX_x86\\";
    return std::wstring(dist) + arch + row.dllFileNameW;
}

DWORD Regsvr32(const std::wstring& arguments) {
    wchar_t system[MAX_PATH] = {};
    GetSystemDirectoryW(system, MAX_PATH);  // a 32-bit process is redirected to the 32-bit tool
    constexpr DWORD kTimeoutMs = 60000;  // only a hang guard: it takes a second or two
    DWORD exitCode = 0;
    const DWORD error =
        vyx::win::RunChildProcess(L"\"" + std::wstring(system) + L"\\regsvr32.exe\" " + arguments, kTimeoutMs, exitCode);
    return error == ERROR_SUCCESS ? exitCode : 0xFFFFFFFF;
}

DWORD Register(const vyx::catalogue::ModelRow& row) {
    return Regsvr32(L"/s \"" + DllPath(row) + L"\"");
}

DWORD Unregister(const vyx::catalogue::ModelRow& row) {
    return Regsvr32(L"/s /u \"" + DllPath(row) + L"\"");
}

}  // namespace vyx::test
