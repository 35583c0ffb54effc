// The child-process runner the service's regsvr32 calls and the tests' tool runs rely on:
// exit codes, and no child outliving its time-out, its stop event or its owner.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <string>

#include "ChildProcess.h"

namespace vyx::win::test {
namespace {

std::wstring SelfPath() {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    return path;
}

// This program again, running only the sleeper below: a child that never ends by itself.
std::wstring SleeperCommandLine() {
    return L"\"" + SelfPath() + L"\" --gtest_also_run_disabled_tests --gtest_filter=ChildHelper.DISABLED_Sleeps";
}

std::wstring CmdCommandLine(const wchar_t* arguments) {
    wchar_t system[MAX_PATH] = {};
    GetSystemDirectoryW(system, MAX_PATH);
    return L"\"" + std::wstring(system) + L"\\cmd.exe\" " + arguments;
}

// True once the process with this id has ended (or never existed), within `ms`.
bool EndsWithin(DWORD processId, DWORD ms) {
    UniqueHandle process(OpenProcess(SYNCHRONIZE, FALSE, processId));
    return !process || WaitForSingleObject(process.Get(), ms) == WAIT_OBJECT_0;
}

}  // namespace

TEST(ChildHelper, DISABLED_Sleeps) {
    Sleep(120000);
}

constexpr wchar_t kGrandchildMutex[] = L"VyxChildProcessTestGrandchild";

// A grandchild that holds a named mutex while it lives, so the test can tell it has gone.
TEST(ChildHelper, DISABLED_HoldsTheMutexAndSleeps) {
    UniqueHandle alive(CreateMutexW(nullptr, FALSE, kGrandchildMutex));
    Sleep(120000);
}

// A child that starts the grandchild and then sleeps.
TEST(ChildHelper, DISABLED_StartsAGrandchildAndSleeps) {
    ChildProcess grandchild;
    grandchild.Start(L"\"" + SelfPath() +
                     L"\" --gtest_also_run_disabled_tests --gtest_filter=ChildHelper.DISABLED_HoldsTheMutexAndSleeps");
    // Ended from outside, this child runs no destructor: only its job can end the grandchild.
    Sleep(120000);
}

bool GrandchildAlive() {
    UniqueHandle mutex(OpenMutexW(SYNCHRONIZE, FALSE, kGrandchildMutex));
    return static_cast<bool>(mutex);
}

TEST(ChildProcess, ReportsTheExitCodeOfAChildThatEnds) {
    DWORD exitCode = 0;
    ASSERT_EQ(RunChildProcess(CmdCommandLine(L"/c exit 7"), 30000, exitCode), static_cast<DWORD>(ERROR_SUCCESS));
    EXPECT_EQ(exitCode, 7u);
    ASSERT_EQ(RunChildProcess(CmdCommandLine(L"/c exit 0"), 30000, exitCode), static_cast<DWORD>(ERROR_SUCCESS));
    EXPECT_EQ(exitCode, 0u);
}

TEST(ChildProcess, EndsAChildThatOutlivesItsTimeout) {
    ChildProcess child;
    ASSERT_EQ(child.Start(SleeperCommandLine()), static_cast<DWORD>(ERROR_SUCCESS));
    const DWORD id = child.ProcessId();
    EXPECT_EQ(child.Wait(300), static_cast<DWORD>(ERROR_TIMEOUT));
    EXPECT_TRUE(EndsWithin(id, 0)) << "Wait returns only once the child is gone";
    EXPECT_EQ(child.ExitCode(), static_cast<DWORD>(STILL_ACTIVE)) << "no exit code for a child that was ended";
}

TEST(ChildProcess, EndsAChildWhenTheStopEventIsSet) {
    UniqueHandle stop(CreateEventW(nullptr, TRUE, TRUE, nullptr));
    ChildProcess child;
    ASSERT_EQ(child.Start(SleeperCommandLine()), static_cast<DWORD>(ERROR_SUCCESS));
    const DWORD id = child.ProcessId();
    const DWORD started = GetTickCount();
    EXPECT_EQ(child.Wait(60000, stop.Get()), static_cast<DWORD>(ERROR_CANCELLED));
    EXPECT_LT(GetTickCount() - started, 10000u);
    EXPECT_TRUE(EndsWithin(id, 0));
}

TEST(ChildProcess, NoChildOutlivesItsOwner) {
    DWORD id = 0;
    {
        ChildProcess child;
        ASSERT_EQ(child.Start(SleeperCommandLine()), static_cast<DWORD>(ERROR_SUCCESS));
        id = child.ProcessId();
        EXPECT_EQ(child.Start(SleeperCommandLine()), static_cast<DWORD>(ERROR_BUSY)) << "one child at a time";
    }
    EXPECT_TRUE(EndsWithin(id, 10000));
}

TEST(ChildProcess, EndingAWholeTreeEndsWhatTheChildStarted) {
    ChildProcess child;
    const std::wstring commandLine =
        L"\"" + SelfPath() +
        L"\" --gtest_also_run_disabled_tests --gtest_filter=ChildHelper.DISABLED_StartsAGrandchildAndSleeps";
    ASSERT_EQ(child.Start(commandLine, ChildProcessOptions().WholeTree()), static_cast<DWORD>(ERROR_SUCCESS));
    bool started = false;
    for (int i = 0; i < 300 && !started; ++i) {
        started = GrandchildAlive();
        Sleep(started ? 0 : 100);
    }
    ASSERT_TRUE(started) << "the grandchild never started";
    EXPECT_EQ(child.Wait(200), static_cast<DWORD>(ERROR_TIMEOUT));
    bool ended = false;
    for (int i = 0; i < 100 && !ended; ++i) {
        ended = !GrandchildAlive();
        Sleep(ended ? 0 : 100);
    }
    EXPECT_TRUE(ended) << "the grandchild outlived the time-out of its parent";
}

TEST(ChildProcess, RefusesWhatCannotRun) {
    ChildProcess child;
    EXPECT_EQ(child.Wait(0), static_cast<DWORD>(ERROR_INVALID_HANDLE)) << "nothing started";
    const DWORD error = child.Start(L"\"C:\\no such folder\\missing.exe\"");
    EXPECT_TRUE(error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) << error;
    EXPECT_EQ(child.Wait(0), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

// Windows 7 without nested jobs, staged: the first placement in a job is refused, or every one.
int g_assignCalls = 0;
int g_refusals = 0;
BOOL WINAPI RefuseSomeJobs(HANDLE job, HANDLE process) {
    if (g_assignCalls++ < g_refusals) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    return AssignProcessToJobObject(job, process);
}

// Runs `cmd /c echo run>>file` as a whole tree with the first `refusals` placements refused;
// the file then shows how often the child really ran.
JobPlacement RunCountedChild(int refusals, const std::wstring& file, DWORD& exitCode) {
    g_assignCalls = 0;
    g_refusals = refusals;
    ChildProcessOptions options = ChildProcessOptions().WholeTree();
    options.assignToJob = RefuseSomeJobs;
    ChildProcess child;
    const DWORD error = child.Start(CmdCommandLine((L"/c echo run>>\"" + file + L"\"").c_str()), options);
    EXPECT_EQ(error, static_cast<DWORD>(ERROR_SUCCESS));
    EXPECT_EQ(child.Wait(30000), static_cast<DWORD>(ERROR_SUCCESS));
    exitCode = child.ExitCode();
    return child.Placement();
}

int RunsRecorded(const std::wstring& file) {
    UniqueFile handle(CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    char text[256] = {};
    DWORD read = 0;
    if (!handle || !ReadFile(handle.Get(), text, sizeof(text) - 1, &read, nullptr)) {
        return 0;
    }
    int runs = 0;
    for (const char* at = strstr(text, "run"); at != nullptr; at = strstr(at + 3, "run")) {
        ++runs;
    }
    return runs;
}

TEST(ChildProcess, AWholeTreeThatCannotNestBreaksAwayOrRunsWithoutAJobButRunsOnce) {
    wchar_t folder[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, folder);
    const std::wstring file = std::wstring(folder) + L"vyx_child_runs.txt";
    struct Case {
        int refusals;
        JobPlacement placement;
        int assignCalls;
    };
    const Case cases[] = {{0, JobPlacement::OwnJob, 1},
                          {1, JobPlacement::OwnJobAfterBreakaway, 2},
                          {2, JobPlacement::WithoutJob, 2}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.refusals);
        DeleteFileW(file.c_str());
        DWORD exitCode = STILL_ACTIVE;
        EXPECT_EQ(RunCountedChild(c.refusals, file, exitCode), c.placement);
        EXPECT_EQ(exitCode, 0u);
        EXPECT_EQ(g_assignCalls, c.assignCalls);
        // A child that could not be placed was ended before it ran.
        EXPECT_EQ(RunsRecorded(file), 1);
    }
    DeleteFileW(file.c_str());
    ChildProcess plain;
    ASSERT_EQ(plain.Start(CmdCommandLine(L"/c exit 0")), static_cast<DWORD>(ERROR_SUCCESS));
    EXPECT_EQ(plain.Placement(), JobPlacement::None);
}

}  // namespace vyx::win::test
