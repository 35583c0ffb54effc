// The event-log writer: every line reaches the sink with its type and identifier, long
// lines are cut rather than lost, and API failures carry the system's text.
#include "EventRecorder.h"
#include "ServiceEvents.h"

#include <gtest/gtest.h>

#include <string>

namespace vyx::service {
namespace {

using test::EventRecorder;

TEST(EventLogTest, LinesKeepTheirOrderTypeAndIdentifierAndLongLinesAreCut)
{
    EventRecorder events;
    WriteServiceEvent(EVENTLOG_INFORMATION_TYPE, kEventServiceStarted,
                      L"VYXDshowService started. native64BitWindows=%d processWow64=%d", 1, 0);
    WriteServiceEvent(EVENTLOG_WARNING_TYPE, kEventModelDegraded, L"model=%ls connectedCount=%u", L"Kestrel 1C", 3u);
    WriteServiceEvent(EVENTLOG_INFORMATION_TYPE, kEventReconcileSummary, L"generation=%ld elapsedMs=%llu", -5L,
                      18446744073709551615ull);
    const std::wstring huge(3000, L'x');
    WriteServiceEvent(EVENTLOG_ERROR_TYPE, kEventCommandFailed, L"command=%ls error=%lu", huge.c_str(), 1ul);

    const auto lines = events.Events();
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0].id, 1000u);
    EXPECT_EQ(lines[0].type, EVENTLOG_INFORMATION_TYPE);
    EXPECT_EQ(lines[0].line, L"VYXDshowService started. native64BitWindows=1 processWow64=0");
    EXPECT_EQ(lines[1].type, EVENTLOG_WARNING_TYPE);
    EXPECT_EQ(lines[1].line, L"model=Kestrel 1C connectedCount=3");
    EXPECT_EQ(lines[2].line, L"generation=-5 elapsedMs=18446744073709551615");
    EXPECT_EQ(lines[3].id, 1501u);
    EXPECT_EQ(lines[3].type, EVENTLOG_ERROR_TYPE);
    ASSERT_EQ(lines[3].line.size(), kEventLineCapacity - 1);
    EXPECT_EQ(lines[3].line.substr(0, 8), L"command=");
}

TEST(EventLogTest, ApiFailuresCarryTheSystemTextOrNothingForUnknownErrors)
{
    EventRecorder events;
    LogApiFailure(L"SetupDiGetClassDevsW", ERROR_ACCESS_DENIED, kEventApiFailure);
    LogApiFailure(L"BuildDllPath", 0x2000FFFFu, kEventActionFailed);

    wchar_t system[512] = {};
    ::FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, ERROR_ACCESS_DENIED, 0,
                     system, 511, nullptr);
    ASSERT_NE(system[0], L'\0');
    const auto lines = events.Events();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].type, EVENTLOG_ERROR_TYPE);
    EXPECT_EQ(lines[0].id, 1400u);
    EXPECT_EQ(lines[0].line, std::wstring(L"SetupDiGetClassDevsW failed. error=5 message=") + system);
    EXPECT_EQ(lines[1].type, EVENTLOG_ERROR_TYPE);
    EXPECT_EQ(lines[1].id, 1301u);
    EXPECT_EQ(lines[1].line, L"BuildDllPath failed. error=536936447 message=");
}

}  // namespace
}  // namespace vyx::service
