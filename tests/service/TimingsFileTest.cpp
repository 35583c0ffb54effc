// The timings file of the service's test build: five numbers or nothing.
#include "ServiceTimings.h"

#include <gtest/gtest.h>

namespace vyx::service {
namespace {

TEST(TimingsFileTest, TakesFiveNumbersInOrderAndRefusesAnythingShort) {
    ServiceTimings timings = kShippedTimings;
    ASSERT_TRUE(ParseTimings("300 30000 200\r\n100 2000", timings));
    EXPECT_EQ(timings.startupWaitMs, 300u);
    EXPECT_EQ(timings.regsvr32TimeoutMs, 30000u);
    EXPECT_EQ(timings.quietPeriodMs, 200u);
    EXPECT_EQ(timings.retryPauseStepMs, 100u);
    EXPECT_EQ(timings.maxPassDelayMs, 2000u);

    for (const char* bad : {"", "1 2 3 4", "1 2 x 4 5", "startup=1"}) {
        ServiceTimings kept = kShippedTimings;
        EXPECT_FALSE(ParseTimings(bad, kept)) << bad;
        EXPECT_EQ(kept.startupWaitMs, kShippedTimings.startupWaitMs) << bad;
    }
}

}  // namespace
}  // namespace vyx::service
