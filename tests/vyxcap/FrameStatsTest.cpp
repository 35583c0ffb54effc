#include <gtest/gtest.h>

#include "CaptureReport.h"
#include "FrameStats.h"

using namespace vyx::vyxcap;

namespace {

SampleRecord Timed(REFERENCE_TIME start, REFERENCE_TIME end, long length = 100, bool sync = true) {
    SampleRecord record;
    record.hasTime = true;
    record.start = start;
    record.end = end;
    record.length = length;
    record.syncPoint = sync;
    return record;
}

}  // namespace

TEST(FrameStats, CountsGapsSyncPointsLengthsAndDurations) {
    FrameStats stats(100);
    stats.Add(Timed(0, 333330));
    stats.Add(Timed(333330, 666660));
    stats.Add(Timed(666660, 999990));
    EXPECT_EQ(stats.Frames(), 3);
    EXPECT_EQ(stats.Gaps(), 0);
    EXPECT_EQ(stats.SyncPoints(), 3);
    EXPECT_EQ(stats.WrongLength(), 0);
    EXPECT_EQ(stats.FirstStart(), 0);
    EXPECT_EQ(stats.LastEnd(), 999990);
    EXPECT_EQ(stats.MinDuration(), 333330);
    EXPECT_EQ(stats.MaxDuration(), 333330);

    stats.Add(Timed(1000000, 1100000, 99, false));  // starts late, short, no sync point
    stats.Add(Timed(1100000, 3000001100000));       // follows on; a 300000 s exposure
    EXPECT_EQ(stats.Gaps(), 1);
    EXPECT_EQ(stats.SyncPoints(), 4);
    EXPECT_EQ(stats.WrongLength(), 1);
    EXPECT_EQ(stats.MinDuration(), 100000);
    EXPECT_EQ(stats.MaxDuration(), 3000000000000) << "64-bit durations";

    SampleRecord untimed;
    untimed.length = 100;
    stats.Add(untimed);
    stats.Add(Timed(3000001100000, 3000001200000));
    EXPECT_EQ(stats.Untimed(), 1);
    EXPECT_EQ(stats.Gaps(), 3) << "an untimed sample and the one after it do not follow on";
    EXPECT_EQ(stats.Frames(), 7);

    FrameStats lateStart(100);
    SampleRecord first;
    lateStart.Add(first);
    lateStart.Add(Timed(500, 600));
    EXPECT_EQ(lateStart.FirstStart(), 500) << "the first timed sample gives the first start";
    EXPECT_EQ(lateStart.MinDuration(), 100);
}

TEST(CaptureReport, WritesOneJsonObjectWithEveryKey) {
    CaptureReport report;
    report.device = L"Cam \"A\\B\"\n";
    report.subtype = L"RGB24";
    report.width = 1920;
    report.height = 1080;
    report.bitCount = 24;
    report.sizeImage = 6220800;
    report.stats = FrameStats(6220800);
    SampleRecord first = Timed(0, 333330, 6220800);
    first.arrival = 2000;
    SampleRecord second = Timed(333330, 666660, 6220800);
    second.arrival = 3000;
    SampleRecord third = Timed(666660, 999990, 6220800);
    third.arrival = 4000;
    report.stats.Add(first);
    report.stats.Add(second);
    report.stats.Add(third);
    ComputeRates(report, 1000, 10000);
    EXPECT_DOUBLE_EQ(report.elapsedMs, 300.0) << "from Run to the last frame";
    EXPECT_DOUBLE_EQ(report.fps, 10.0) << "two intervals in 0.2 s";

    const std::string json = ToJson(report);
    EXPECT_EQ(json.front(), '{');
    EXPECT_EQ(json.substr(json.size() - 2), "}\n");
    EXPECT_EQ(json.find('\n'), json.size() - 1) << "one line";
    for (const char* key : {"\"device\":\"Cam \\\"A\\\\B\\\"\\u000a\"", "\"subtype\":\"RGB24\"", "\"width\":1920",
                            "\"height\":1080", "\"bitCount\":24", "\"frames\":3", "\"firstStart\":0",
                            "\"lastEnd\":999990", "\"gaps\":0", "\"elapsedMs\":300.000", "\"fps\":10.000",
                            "\"dropped\":null", "\"syncPoints\":3", "\"wrongLength\":0"})
        EXPECT_NE(json.find(key), std::string::npos) << key << " in " << json;
    report.dropped = 4;
    EXPECT_NE(ToJson(report).find("\"dropped\":4"), std::string::npos);

    CaptureReport single;
    single.stats.Add(first);
    ComputeRates(single, 1000, 10000);
    EXPECT_EQ(single.fps, 0) << "one frame has no rate";
}
