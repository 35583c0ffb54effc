#include <gtest/gtest.h>

#include "ResolutionLadder.h"

using vyx::FrameSizeAtBin;
using vyx::Resolution;
using vyx::ResolutionAt;
using vyx::ResolutionCount;

TEST(ResolutionLadder, ListLengthFollowsWhatFitsTheSensor) {
    EXPECT_EQ(ResolutionCount(3216, 2208), 22);  // all but 3840 x 2160
    EXPECT_EQ(ResolutionCount(1936, 1100), 17);  // ladder entries 6 to 21
    EXPECT_EQ(ResolutionCount(3856, 2180), 23);  // the whole ladder
    EXPECT_EQ(ResolutionCount(2472, 2064), 21);  // all but 3840 x 2160 and 2560 x 1440
    EXPECT_EQ(ResolutionCount(300, 200), 1);     // smaller than 320 x 240: the sensor alone
    EXPECT_EQ(ResolutionCount(320, 240), 2);     // a ladder entry equal to the sensor is kept
}

TEST(ResolutionLadder, EntriesKeepLadderOrderAfterTheSensor) {
    EXPECT_EQ(ResolutionAt(1936, 1100, 0), (Resolution{1936, 1100}));
    EXPECT_EQ(ResolutionAt(1936, 1100, 1), (Resolution{1920, 1080}));
    EXPECT_EQ(ResolutionAt(1936, 1100, 16), (Resolution{320, 240}));
    // Not sorted by area: 2000 x 2000 precedes 1920 x 1200, 500 x 500 precedes 800 x 480.
    EXPECT_EQ(ResolutionAt(3216, 2208, 3), (Resolution{2000, 2000}));
    EXPECT_EQ(ResolutionAt(3216, 2208, 4), (Resolution{1920, 1200}));
    EXPECT_EQ(ResolutionAt(3216, 2208, 17), (Resolution{500, 500}));
    EXPECT_EQ(ResolutionAt(3216, 2208, 18), (Resolution{800, 480}));

    constexpr auto list = vyx::MakeResolutionList<2472, 2064>();
    static_assert(list.size() == 21);
    EXPECT_EQ(list[1], (Resolution{2048, 1080}));
    EXPECT_EQ(list.back(), (Resolution{320, 240}));
}

TEST(ResolutionLadder, FrameSizeTruncatesToMultiplesOfFourAndTwo) {
    EXPECT_EQ(FrameSizeAtBin({1000, 1000}, 3), (Resolution{332, 332}));
    EXPECT_EQ(FrameSizeAtBin({1920, 1080}, 2), (Resolution{960, 540}));
    EXPECT_EQ(FrameSizeAtBin({3216, 2208}, 2), (Resolution{1608, 1104}));
    EXPECT_EQ(FrameSizeAtBin({3216, 2208}, 3), (Resolution{1072, 736}));
    EXPECT_EQ(FrameSizeAtBin({3216, 2208}, 4), (Resolution{804, 552}));
    EXPECT_EQ(FrameSizeAtBin({320, 240}, 1), (Resolution{320, 240}));
    EXPECT_EQ(FrameSizeAtBin({1936, 1100}, 3).width, 644);
    EXPECT_EQ(FrameSizeAtBin({1281, 961}, 1), (Resolution{1280, 960}));
}
