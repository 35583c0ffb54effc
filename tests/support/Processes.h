#pragma once
// Starting the installed programs (vyxcap, regsvr32) from tests and the benchmark, and
// the installed layout's paths. No test framework here, so the benchmark can use it too.
#include <windows.h>

#include <string>

namespace vyx::vyxcap::test {

struct ProcessResult {
    bool started = false;
    DWORD exitCode = 0;  // STILL_ACTIVE when the runner ended it after its time-out
    std::string out;
    std::string err;
};

// Runs to the end, or ends it after a time-out; standard output and error are collected.
ProcessResult RunProcess(const std::wstring& commandLine);

// The installed layout (environment VYX_DIST), its tools folder and its filter builds,
// for the program's own architecture.
std::wstring DistPath();
std::wstring ToolPath(const wchar_t* name);
std::wstring FilterBuildPath(const wchar_t* fileName);

// Exit code of the platform's regsvr32 of this architecture on `arguments`.
DWORD RunRegsvr32(const std::wstring& arguments);

}  // namespace vyx::vyxcap::test
