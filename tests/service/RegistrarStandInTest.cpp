// Registration actions whose regsvr32 misbehaves, driven by the stand-in registration
// program, and the actions that never start it: validation failures, unusable names and
// the unregistering fallback.
#include "CameraModelTable.h"
#include "EventRecorder.h"
#include "MemoryPeSource.h"
#include "FilterDllPath.h"
#include "PathText.h"
#include "RegistrationAction.h"
#include "RegistrationState.h"
#include "RegistryFixture.h"
#include "ScopedTimings.h"
#include "ServiceEvents.h"
#include "StandIn.h"
#include "TestLayout.h"
#include "TestSystem.h"
#include "UniqueResource.h"

#include <gtest/gtest.h>

#include <thread>

namespace vyx::service {
namespace {

using test::Describe;
using test::EventRecorder;
using test::ExpectLine;
using test::StandIn;

class RegistrarStandInTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        test::ResetLayout();
        test::RemoveAllRegistrations();
        ASSERT_TRUE(BuildDllPath(m_row, FilterArch::X86, m_x86Path));
        ASSERT_TRUE(BuildDllPath(m_row, FilterArch::X64, m_x64Path));
        ASSERT_TRUE(test::WriteFileBytes(m_x86Path, test::MinimalPeImage(IMAGE_FILE_MACHINE_I386)));
    }
    void TearDown() override { test::RemoveAllRegistrations(); }

    void WriteCorrectRegistration(FilterArch arch)
    {
        test::HandRegistration keys;
        keys.serverPath = arch == FilterArch::X86 ? m_x86Path : m_x64Path;
        test::WriteRegistration(m_row, arch, keys);
    }

    std::wstring Model() const { return m_row.displayName; }

    const CameraModel& m_row = CameraModelTable::Row(1);
    std::wstring m_x86Path;
    std::wstring m_x64Path;
};

TEST_F(RegistrarStandInTest, FailingRunsAreRetriedWithGrowingPausesThenReported)
{
    {
        EventRecorder events;
        StandIn standIn(L"fail");
        EXPECT_FALSE(RunRegistrationAction(m_row, FilterArch::X86, true, nullptr));
        const auto lines = events.Events();
        ASSERT_EQ(lines.size(), 4u) << Describe(lines);
        for (int attempt = 1; attempt <= 3; ++attempt) {
            ExpectLine(lines[attempt - 1], EVENTLOG_WARNING_TYPE, 1301,
                       L"action=register model=" + Model() + L" arch=x86 attempt=" + std::to_wstring(attempt) +
                           L" error=31 exitCode=3 verified=0");
        }
        ExpectLine(lines[3], EVENTLOG_ERROR_TYPE, 1301,
                   L"action=register model=" + Model() + L" arch=x86 failed after 3 attempts. error=31 exitCode=3");
        const auto commands = standIn.CommandLines();
        ASSERT_EQ(commands.size(), 3u);
        EXPECT_EQ(commands[0], L"\"" + StandIn::ProgramPath() + L"\" /s \"" + m_x86Path + L"\"");
        const auto ticks = standIn.StartTicks();
        EXPECT_GE(ticks[1] - ticks[0], 500u);
        EXPECT_GE(ticks[2] - ticks[1], 1000u);
    }
    {
        // Exit code 0 while the registry stays as it was is no success either.
        EventRecorder events;
        StandIn standIn(L"noop");
        EXPECT_FALSE(RunRegistrationAction(m_row, FilterArch::X86, true, nullptr));
        const auto lines = events.Events();
        ASSERT_EQ(lines.size(), 4u) << Describe(lines);
        EXPECT_EQ(lines[2].line, L"action=register model=" + Model() + L" arch=x86 attempt=3 error=0 exitCode=0 verified=0");
        EXPECT_EQ(lines[3].line,
                  L"action=register model=" + Model() + L" arch=x86 failed after 3 attempts. error=0 exitCode=0");
    }
}

TEST_F(RegistrarStandInTest, UnregisteringFallsBackToDeletingTheKeys)
{
    {
        // regsvr32 exits 0 but leaves the keys: three attempts, then the direct deletion.
        EventRecorder events;
        StandIn standIn(L"noop");
        WriteCorrectRegistration(FilterArch::X86);
        EXPECT_TRUE(RunRegistrationAction(m_row, FilterArch::X86, false, nullptr));
        const auto lines = events.Events();
        ASSERT_EQ(lines.size(), 4u) << Describe(lines);
        EXPECT_EQ(lines[0].line,
                  L"action=unregister model=" + Model() + L" arch=x86 attempt=1 error=0 exitCode=0 verified=0");
        ExpectLine(lines[3], EVENTLOG_WARNING_TYPE, 1300,
                   L"action=unregister-fallback model=" + Model() + L" arch=x86 path=" + m_x86Path);
        EXPECT_EQ(standIn.CommandLines().at(0), L"\"" + StandIn::ProgramPath() + L"\" /s /u \"" + m_x86Path + L"\"");
        EXPECT_FALSE(QueryRegistrationState(m_row, FilterArch::X86, m_x86Path).present);
    }
    {
        // The library file is gone: no run at all, the keys are deleted directly.
        EventRecorder events;
        StandIn standIn(L"fail");
        WriteCorrectRegistration(FilterArch::X64);
        EXPECT_TRUE(RunRegistrationAction(m_row, FilterArch::X64, false, nullptr));
        const auto lines = events.Events();
        ASSERT_EQ(lines.size(), 1u) << Describe(lines);
        ExpectLine(lines[0], EVENTLOG_WARNING_TYPE, 1300,
                   L"action=unregister-fallback model=" + Model() + L" arch=x64 path=" + m_x64Path);
        EXPECT_TRUE(standIn.CommandLines().empty());
        EXPECT_FALSE(QueryRegistrationState(m_row, FilterArch::X64, m_x64Path).present);
    }
}

// The failure line counts the runs made: none when the library was gone and only the
// deletion by hand was tried.
TEST_F(RegistrarStandInTest, AFailedFallbackReportsThatNoAttemptWasMade)
{
    WriteCorrectRegistration(FilterArch::X64);
    const std::wstring locked = test::InstanceKeyPath(m_row) + L"\\Locked";
    test::SetString(locked, FilterArch::X64, L"Reason", L"undeletable");
    ASSERT_TRUE(test::ProtectKey(locked, FilterArch::X64, true));
    EventRecorder events;
    StandIn standIn(L"noop");
    const bool unregistered = RunRegistrationAction(m_row, FilterArch::X64, false, nullptr);
    test::ProtectKey(locked, FilterArch::X64, false);

    EXPECT_FALSE(unregistered);
    const auto lines = events.Events();
    ASSERT_EQ(lines.size(), 1u) << Describe(lines);
    ExpectLine(lines[0], EVENTLOG_ERROR_TYPE, 1301,
               L"action=unregister model=" + Model() + L" arch=x64 failed after 0 attempts. error=5 exitCode=0");
    EXPECT_TRUE(standIn.CommandLines().empty());
}

// On Windows 7 a service started in a job without breakaway cannot give regsvr32 a job of
// its own (AssignProcessToJobObject answers 5). Wine nests jobs, so the answer is staged.
TEST_F(RegistrarStandInTest, WithoutAJobOfItsOwnRegsvr32StillRunsAndEachRunIsReported_JobsDeniedAsOnWindows7)
{
    ServiceTimings timings = kShippedTimings;
    timings.retryPauseStepMs = 1;
    const test::ScopedTimings quick(timings);
    sys::ScopedTestHooks hooks;
    hooks->assignToJob = [](HANDLE, HANDLE) {
        ::SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    };
    EventRecorder events;
    StandIn standIn(L"fail");
    const bool registered = RunRegistrationAction(m_row, FilterArch::X86, true, nullptr);

    EXPECT_FALSE(registered);
    EXPECT_EQ(standIn.CommandLines().size(), 3u);
    const auto lines = events.Events();
    ASSERT_EQ(lines.size(), 7u) << Describe(lines);
    for (std::size_t run = 0; run < 3; ++run) {
        ExpectLine(lines[run * 2], EVENTLOG_WARNING_TYPE, 1400,
                   L"regsvr32 runs without a job of its own: the service's job allows neither a nested job nor a "
                   L"breakaway, so a stop or time-out ends regsvr32 but not what it started. path=" + m_x86Path);
        EXPECT_EQ(lines[run * 2 + 1].line, L"action=register model=" + Model() + L" arch=x86 attempt=" +
                                               std::to_wstring(run + 1) + L" error=31 exitCode=3 verified=0");
    }
}

// A library the service cannot open (access denied) is no file that others may change: it
// reads like a failed validation, not like an untrusted file with an empty reason. Wine, run
// as root, opens every file it finds, so the denied open is staged.
TEST_F(RegistrarStandInTest, AnUnreadableLibraryIsNotCalledUntrusted_OpenDeniedAsOnWindows)
{
    EventRecorder events;
    StandIn standIn(L"noop");
    sys::ScopedTestHooks hooks;
    hooks->openExisting = [](const wchar_t* path, DWORD access, DWORD sharing, DWORD flags) {
        const std::wstring name(path);
        if (SameText(name.substr(name.find_last_of(L'\\') + 1), CameraModelTable::Row(1).dllFileName)) {
            ::SetLastError(ERROR_ACCESS_DENIED);
            return INVALID_HANDLE_VALUE;
        }
        return ::CreateFileW(path, access, sharing, nullptr, OPEN_EXISTING, flags, nullptr);
    };
    const bool registered = RunRegistrationAction(m_row, FilterArch::X86, true, nullptr);

    EXPECT_FALSE(registered);
    const auto lines = events.Events();
    ASSERT_EQ(lines.size(), 1u) << Describe(lines);
    ExpectLine(lines[0], EVENTLOG_ERROR_TYPE, 1301,
               L"register model=" + Model() + L" arch=x86 DLL validation failed. path=" + m_x86Path + L" error=5");
    EXPECT_TRUE(standIn.CommandLines().empty());
}

TEST_F(RegistrarStandInTest, RegisteringRefusesUnusableLibrariesWithoutRunningRegsvr32)
{
    EventRecorder events;
    StandIn standIn(L"noop");
    // Missing, wrong machine, not a PE file.
    EXPECT_FALSE(RunRegistrationAction(m_row, FilterArch::X64, true, nullptr));
    ASSERT_TRUE(test::WriteFileBytes(m_x64Path, test::MinimalPeImage(IMAGE_FILE_MACHINE_I386)));
    EXPECT_FALSE(RunRegistrationAction(m_row, FilterArch::X64, true, nullptr));
    ASSERT_TRUE(test::WriteFileBytes(m_x64Path, {'M', 'Z', 0, 0}));
    EXPECT_FALSE(RunRegistrationAction(m_row, FilterArch::X64, true, nullptr));
    // A name with a folder part never becomes a path.
    CameraModel escaping = m_row;
    escaping.dllFileName = L"..\\DX_x86\\x.dll";
    EXPECT_FALSE(RunRegistrationAction(escaping, FilterArch::X86, true, nullptr));
    EXPECT_FALSE(RunRegistrationAction(escaping, FilterArch::X86, false, nullptr));

    const auto lines = events.Events();
    ASSERT_EQ(lines.size(), 5u) << Describe(lines);
    const std::wstring prefix = L"register model=" + Model() + L" arch=x64 DLL validation failed. path=" + m_x64Path;
    ExpectLine(lines[0], EVENTLOG_ERROR_TYPE, 1301, prefix + L" error=2");
    ExpectLine(lines[1], EVENTLOG_ERROR_TYPE, 1301, prefix + L" error=216");
    ExpectLine(lines[2], EVENTLOG_ERROR_TYPE, 1301, prefix + L" error=193");
    for (std::size_t i = 3; i < 5; ++i) {
        EXPECT_EQ(lines[i].type, EVENTLOG_ERROR_TYPE);
        EXPECT_EQ(lines[i].id, 1301u);
        const std::wstring failure = L"BuildDllPath failed. error=123 message=";
        EXPECT_EQ(lines[i].line.substr(0, failure.size()), failure);
    }
    EXPECT_TRUE(standIn.CommandLines().empty());
}

TEST_F(RegistrarStandInTest, AStopCutsARunningUnregistrationShortWithoutTheFallback)
{
    EventRecorder events;
    StandIn standIn(L"hang");
    WriteCorrectRegistration(FilterArch::X86);
    win::UniqueHandle stop(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    std::thread stopper([&] {
        ::WaitForSingleObject(standIn.Started(), INFINITE);
        ::SetEvent(stop.Get());
    });
    EXPECT_FALSE(RunRegistrationAction(m_row, FilterArch::X86, false, stop.Get()));
    stopper.join();

    const auto lines = events.Events();
    ASSERT_EQ(lines.size(), 2u) << Describe(lines);
    ExpectLine(lines[0], EVENTLOG_WARNING_TYPE, 1301,
               L"action=unregister model=" + Model() + L" arch=x86 attempt=1 error=1223 exitCode=0 verified=0");
    ExpectLine(lines[1], EVENTLOG_ERROR_TYPE, 1301,
               L"action=unregister model=" + Model() + L" arch=x86 failed after 1 attempts. error=1223 exitCode=0");
    EXPECT_EQ(standIn.CommandLines().size(), 1u);
    EXPECT_FALSE(test::StandInStillRunning());
    // No fallback: the keys are still there.
    EXPECT_TRUE(QueryRegistrationState(m_row, FilterArch::X86, m_x86Path).correct);
}

TEST_F(RegistrarStandInTest, WithoutTheCameraLibraryBesideItNoRegsvr32Runs)
{
    const std::wstring cameraLibrary = ParentDirectory(m_x86Path) + L"\\VyxonCamera.dll";
    ASSERT_TRUE(::DeleteFileW(cameraLibrary.c_str()));
    WriteCorrectRegistration(FilterArch::X86);
    EventRecorder events;
    StandIn standIn(L"noop");
    // Registering is refused; unregistering deletes the keys itself.
    EXPECT_FALSE(RunRegistrationAction(m_row, FilterArch::X86, true, nullptr));
    EXPECT_TRUE(RunRegistrationAction(m_row, FilterArch::X86, false, nullptr));

    const auto lines = events.Events();
    ASSERT_EQ(lines.size(), 2u) << Describe(lines);
    ExpectLine(lines[0], EVENTLOG_ERROR_TYPE, 1301,
               L"register model=" + Model() + L" arch=x86 DLL validation failed. path=" + cameraLibrary + L" error=2");
    ExpectLine(lines[1], EVENTLOG_WARNING_TYPE, 1300,
               L"action=unregister-fallback model=" + Model() + L" arch=x86 path=" + m_x86Path);
    EXPECT_TRUE(standIn.CommandLines().empty());
    EXPECT_FALSE(QueryRegistrationState(m_row, FilterArch::X86, m_x86Path).present);
}

TEST_F(RegistrarStandInTest, TheLibraryCannotBeRewrittenWhileItsRegsvr32Runs)
{
    EventRecorder events;
    StandIn standIn(L"hang");
    win::UniqueHandle stop(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    bool started = false;
    bool writerOpened = true;
    DWORD writerError = 0;
    std::thread writer([&] {
        started = ::WaitForSingleObject(standIn.Started(), 60000) == WAIT_OBJECT_0;
        // Sharing everything, as a replacing program would ask.
        win::UniqueFile file(::CreateFileW(m_x86Path.c_str(), GENERIC_WRITE,
                                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                           OPEN_EXISTING, 0, nullptr));
        writerOpened = static_cast<bool>(file);
        writerError = ::GetLastError();
        ::SetEvent(stop.Get());
    });
    EXPECT_FALSE(RunRegistrationAction(m_row, FilterArch::X86, true, stop.Get()));
    writer.join();

    ASSERT_TRUE(started) << Describe(events.Events());
    EXPECT_FALSE(writerOpened);
    EXPECT_EQ(writerError, static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    // The action is over: the file is free again.
    win::UniqueFile after(
        ::CreateFileW(m_x86Path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    EXPECT_TRUE(after);
    EXPECT_FALSE(test::StandInStillRunning());
}

}  // namespace
}  // namespace vyx::service
