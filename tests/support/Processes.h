#pragma once
// Runs a program from a test or a benchmark to its end (the installed tools, regsvr32, the
// service, the test program itself) and collects what it wrote. The output goes through
// files, never pipes: a pipe stays open while any process that inherited it lives (Wine's
// helpers that a prefix's first 32-bit program starts outlive it, as does a grandchild), so
// reading one to its end could hang the test. No test framework here, so benchmarks use it too.
#include <windows.h>

#include <string>

namespace vyx::test {

// The exit code of a program that did not run to its end: it could not start, or it was
// ended after its time-out.
constexpr DWORD kNoExitCode = 0xFFFFFFFF;
// Far beyond a program that takes a second or two (regsvr32, a tool's listing): only a hang
// reaches it. Longer runs, such as captures, give their own.
constexpr DWORD kProcessTimeoutMs = 60000;

struct ProcessResult {
    bool started = false;
    DWORD processId = 0;
    DWORD exitCode = kNoExitCode;
    std::string out;
    std::string err;
};

ProcessResult RunProcess(const std::wstring& commandLine, DWORD timeoutMs = kProcessTimeoutMs);

}  // namespace vyx::test
