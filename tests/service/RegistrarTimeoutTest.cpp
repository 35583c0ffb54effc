// A registration program that never ends: each attempt waits the full time-out, the process
// is terminated, and the attempt is reported as timed out. Runs on shortened timings, so
// three time-outs take seconds rather than minutes; the shipped ones are pinned elsewhere.
#include "CameraModelTable.h"
#include "EventRecorder.h"
#include "MemoryPeSource.h"
#include "FilterDllPath.h"
#include "RegistrationAction.h"
#include "RegistryFixture.h"
#include "ScopedTimings.h"
#include "ServiceTimings.h"
#include "StandIn.h"
#include "TestLayout.h"

#include <gtest/gtest.h>

namespace vyx::service {
namespace {

TEST(RegistrarTimeoutTest, AHangingRunIsTerminatedAfterTheTimeoutAndRetried)
{
    ServiceTimings shortened = kShippedTimings;
    shortened.regsvr32TimeoutMs = 2000;
    shortened.retryPauseStepMs = 100;
    const test::ScopedTimings timings(shortened);
    test::ResetLayout();
    test::RemoveAllRegistrations();
    const CameraModel& row = CameraModelTable::Row(4);
    std::wstring path;
    ASSERT_TRUE(BuildDllPath(row, FilterArch::X64, path));
    ASSERT_TRUE(test::WriteFileBytes(path, test::MinimalPeImage(IMAGE_FILE_MACHINE_AMD64)));

    test::EventRecorder events;
    test::StandIn standIn(L"hang");
    const ULONGLONG start = ::GetTickCount64();
    EXPECT_FALSE(RunRegistrationAction(row, FilterArch::X64, true, nullptr));
    const ULONGLONG elapsed = ::GetTickCount64() - start;

    const std::wstring model = row.displayName;
    const auto lines = events.Events();
    ASSERT_EQ(lines.size(), 4u) << test::Describe(lines);
    for (int attempt = 1; attempt <= 3; ++attempt) {
        EXPECT_EQ(lines[attempt - 1].type, EVENTLOG_ERROR_TYPE);
        EXPECT_EQ(lines[attempt - 1].id, 1302u);
        EXPECT_EQ(lines[attempt - 1].line, L"action=register model=" + model + L" arch=x64 attempt=" +
                                               std::to_wstring(attempt) + L" error=1460 exitCode=0 verified=0");
    }
    EXPECT_EQ(lines[3].type, EVENTLOG_ERROR_TYPE);
    EXPECT_EQ(lines[3].id, 1301u);
    EXPECT_EQ(lines[3].line, L"action=register model=" + model + L" arch=x64 failed after 3 attempts. error=1460 exitCode=0");
    EXPECT_EQ(standIn.StartTicks().size(), 3u);
    // Three full time-outs and the two pauses between them (one step, then two).
    EXPECT_GE(elapsed, 3 * Timings().regsvr32TimeoutMs + 3 * Timings().retryPauseStepMs);
    EXPECT_FALSE(test::StandInStillRunning());
}

}  // namespace
}  // namespace vyx::service
