#include "InstalledBuilds.h"

#include "Processes.h"

namespace vyx::test {
namespace {
constexpr bool k64Bit = sizeof(void*) == 8;
}  // namespace

std::wstring DistPath() {
    wchar_t dist[MAX_PATH] = {};
    const DWORD length = GetEnvironmentVariableW(L"VYX_DIST", dist, MAX_PATH);
    return length > 0 && length < MAX_PATH ? std::wstring(dist, length) : std::wstring();
}

std::wstring FilterBuildPath(const std::wstring& fileName) {
    return DistPath() + (k64Bit ? L"\\DX_x64\\" : L"\\DX_x86\\") + fileName;
}

std::wstring ToolPath(const std::wstring& fileName) {
    return DistPath() + (k64Bit ? L"\\tools_x64\\" : L"\\tools_x86\\") + fileName;
}

std::wstring DllPath(const vyx::catalogue::ModelRow& row) { return FilterBuildPath(row.dllFileNameW); }

DWORD Regsvr32(const std::wstring& arguments) {
    wchar_t system[MAX_PATH] = {};
    GetSystemDirectoryW(system, MAX_PATH);  // a 32-bit process is redirected to the 32-bit tool
    return RunProcess(L"\"" + std::wstring(system) + L"\\regsvr32.exe\" " + arguments).exitCode;
}

DWORD Register(const vyx::catalogue::ModelRow& row) { return Regsvr32(L"/s \"" + DllPath(row) + L"\""); }

DWORD Unregister(const vyx::catalogue::ModelRow& row) { return Regsvr32(L"/s /u \"" + DllPath(row) + L"\""); }

}  // namespace vyx::test
