// The status record through a service's life, and the rule that a requested stop is never
// taken back by a start-up report that comes after it.
#include "StatusRecord.h"

#include <gtest/gtest.h>

namespace vyx::service {
namespace {

constexpr DWORD kStopAndShutdown = SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_SHUTDOWN;

TEST(StatusRecordTest, ANormalLifeRunsThroughTheDocumentedSequence)
{
    struct Step {
        DWORD state;
        DWORD hint;
        DWORD checkpoint;
        DWORD controls;
    };
    const Step life[] = {
        {SERVICE_START_PENDING, 240000, 1, kStopAndShutdown}, {SERVICE_START_PENDING, 180000, 2, kStopAndShutdown},
        {SERVICE_RUNNING, 0, 0, kStopAndShutdown},            {SERVICE_STOP_PENDING, 40000, 1, 0},
        {SERVICE_STOP_PENDING, 40000, 2, 0},                  {SERVICE_STOPPED, 0, 0, 0},
    };
    SERVICE_STATUS status = {};
    for (const Step& step : life) {
        SCOPED_TRACE(step.state);
        const bool stopping = step.state == SERVICE_STOP_PENDING || step.state == SERVICE_STOPPED;
        ASSERT_TRUE(FillStatusRecord(status, step.state, NO_ERROR, step.hint, stopping));
        EXPECT_EQ(status.dwServiceType, static_cast<DWORD>(SERVICE_WIN32_OWN_PROCESS));
        EXPECT_EQ(status.dwCurrentState, step.state);
        EXPECT_EQ(status.dwWaitHint, step.hint);
        EXPECT_EQ(status.dwCheckPoint, step.checkpoint);
        EXPECT_EQ(status.dwControlsAccepted, step.controls);
        EXPECT_EQ(status.dwServiceSpecificExitCode, 0u);
    }
    SERVICE_STATUS failed = {};
    ASSERT_TRUE(FillStatusRecord(failed, SERVICE_STOPPED, ERROR_GEN_FAILURE, 0, true));
    EXPECT_EQ(failed.dwWin32ExitCode, static_cast<DWORD>(ERROR_GEN_FAILURE));
}

// A start-up step fails while a stop arrives: the failure's stopped goes out first, the
// handler's stop pending after it. Nothing follows stopped, so the manager never sees a
// stopping service whose process has gone.
TEST(StatusRecordTest, NothingFollowsAStoppedReport)
{
    for (bool stopRequested : {false, true}) {
        SCOPED_TRACE(stopRequested);
        SERVICE_STATUS status = {};
        ASSERT_TRUE(FillStatusRecord(status, SERVICE_START_PENDING, NO_ERROR, 240000, false));
        ASSERT_TRUE(FillStatusRecord(status, SERVICE_STOPPED, ERROR_TIMEOUT, 0, stopRequested));
        for (DWORD state : {static_cast<DWORD>(SERVICE_STOP_PENDING), static_cast<DWORD>(SERVICE_STOPPED),
                            static_cast<DWORD>(SERVICE_START_PENDING), static_cast<DWORD>(SERVICE_RUNNING)}) {
            EXPECT_FALSE(FillStatusRecord(status, state, NO_ERROR, 40000, true)) << state;
            EXPECT_EQ(status.dwCurrentState, static_cast<DWORD>(SERVICE_STOPPED));
            EXPECT_EQ(status.dwWin32ExitCode, static_cast<DWORD>(ERROR_TIMEOUT));
            EXPECT_EQ(status.dwWaitHint, 0u);
        }
    }
}

TEST(StatusRecordTest, AfterAStopRequestNoReportGoesBackToStartPendingOrRunning)
{
    SERVICE_STATUS status = {};
    ASSERT_TRUE(FillStatusRecord(status, SERVICE_START_PENDING, NO_ERROR, 240000, false));
    // The stop came in the first moments: its stop pending is sent...
    ASSERT_TRUE(FillStatusRecord(status, SERVICE_STOP_PENDING, NO_ERROR, 40000, true));
    const SERVICE_STATUS stopping = status;
    // ...and the start-up's later reports are refused, leaving the record as it was.
    for (DWORD state : {static_cast<DWORD>(SERVICE_START_PENDING), static_cast<DWORD>(SERVICE_RUNNING)}) {
        EXPECT_FALSE(FillStatusRecord(status, state, NO_ERROR, 180000, true)) << state;
        EXPECT_EQ(status.dwCurrentState, stopping.dwCurrentState);
        EXPECT_EQ(status.dwCheckPoint, stopping.dwCheckPoint);
        EXPECT_EQ(status.dwWaitHint, stopping.dwWaitHint);
        EXPECT_EQ(status.dwControlsAccepted, 0u);
    }
    ASSERT_TRUE(FillStatusRecord(status, SERVICE_STOP_PENDING, NO_ERROR, 40000, true));
    EXPECT_EQ(status.dwCheckPoint, stopping.dwCheckPoint + 1);
    ASSERT_TRUE(FillStatusRecord(status, SERVICE_STOPPED, NO_ERROR, 0, true));
    EXPECT_EQ(status.dwCurrentState, static_cast<DWORD>(SERVICE_STOPPED));
}

}  // namespace
}  // namespace vyx::service
