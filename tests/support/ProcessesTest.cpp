// The runner tests start programs with: all of a program's output comes back with its exit
// code, and a program that leaves a process holding its output open still returns when it
// ends, as a pipe read to its end would not.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>

#include "ChildProcess.h"
#include "Processes.h"
#include "UniqueResource.h"

namespace vyx::test {
namespace {

using vyx::win::UniqueHandle;

constexpr wchar_t kGrandchildAlive[] = L"VyxProcessesTestGrandchildAlive";
constexpr wchar_t kGrandchildReady[] = L"VyxProcessesTestGrandchildReady";
constexpr wchar_t kGrandchildRelease[] = L"VyxProcessesTestGrandchildRelease";
constexpr int kOutputLines = 20000;  // about 1.2 MB: far more than a pipe holds

std::wstring Helper(const wchar_t* name) {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    return L"\"" + std::wstring(path) + L"\" --gtest_also_run_disabled_tests --gtest_filter=ProcessesHelper." + name;
}

// The helpers write through the C runtime in text mode, which ends lines with CR LF in a file.
std::string WithoutCarriageReturns(std::string text) {
    text.erase(std::remove(text.begin(), text.end(), '\r'), text.end());
    return text;
}

}  // namespace

TEST(ProcessesHelper, DISABLED_WritesMuchAndExits3) {
    for (int i = 0; i < kOutputLines; ++i) std::printf("line %05d of the helper's output, padded to sixty ch\n", i);
    std::fflush(stdout);
    std::fprintf(stderr, "the end\n");
    std::fflush(stderr);
    ExitProcess(3);
}

// Holds the output it inherited until released (a minute at most).
TEST(ProcessesHelper, DISABLED_HoldsTheOutput) {
    UniqueHandle alive(CreateMutexW(nullptr, FALSE, kGrandchildAlive));
    UniqueHandle ready(OpenEventW(EVENT_MODIFY_STATE, FALSE, kGrandchildReady));
    UniqueHandle release(OpenEventW(SYNCHRONIZE, FALSE, kGrandchildRelease));
    if (ready) SetEvent(ready.Get());
    if (release) WaitForSingleObject(release.Get(), 60000);
}

// Leaves behind a process that inherited its output, once that one runs.
TEST(ProcessesHelper, DISABLED_LeavesAProcessHoldingItsOutput) {
    vyx::win::ChildProcess grandchild;
    grandchild.Start(Helper(L"DISABLED_HoldsTheOutput"), vyx::win::ChildProcessOptions::Output(
                                                             GetStdHandle(STD_OUTPUT_HANDLE), GetStdHandle(STD_ERROR_HANDLE)));
    UniqueHandle ready(OpenEventW(SYNCHRONIZE, FALSE, kGrandchildReady));
    if (ready) WaitForSingleObject(ready.Get(), 60000);
    std::printf("started\n");
    std::fflush(stdout);
    ExitProcess(0);  // no destructor: the grandchild lives on
}

TEST(Processes, CollectsAllOutputAndTheExitCode) {
    const ProcessResult run = RunProcess(Helper(L"DISABLED_WritesMuchAndExits3"));
    ASSERT_TRUE(run.started);
    EXPECT_EQ(run.exitCode, 3u);
    EXPECT_EQ(WithoutCarriageReturns(run.err), "the end\n");
    int lines = 0;
    for (std::size_t at = run.out.find("of the helper's output"); at != std::string::npos;
         at = run.out.find("of the helper's output", at + 1))
        ++lines;
    EXPECT_EQ(lines, kOutputLines);

    const ProcessResult missing = RunProcess(L"\"C:\\no such folder\\missing.exe\"");
    EXPECT_FALSE(missing.started);
    EXPECT_EQ(missing.exitCode, kNoExitCode);
}

TEST(Processes, ReturnsWhenTheProgramEndsThoughAProcessItStartedHoldsItsOutput) {
    UniqueHandle ready(CreateEventW(nullptr, TRUE, FALSE, kGrandchildReady));
    UniqueHandle release(CreateEventW(nullptr, TRUE, FALSE, kGrandchildRelease));
    const ProcessResult run = RunProcess(Helper(L"DISABLED_LeavesAProcessHoldingItsOutput"));
    UniqueHandle alive(OpenMutexW(SYNCHRONIZE, FALSE, kGrandchildAlive));
    SetEvent(release.Get());
    EXPECT_EQ(run.exitCode, 0u);
    EXPECT_NE(WithoutCarriageReturns(run.out).find("started\n"), std::string::npos) << run.out;
    EXPECT_TRUE(alive) << "the run waited for the process that held the program's output";
}

}  // namespace vyx::test
