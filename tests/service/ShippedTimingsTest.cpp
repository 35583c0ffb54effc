// The waits VYXCamService.exe runs with, through the same library it links. Other service
// tests shorten them in the test build; this one keeps the shipped build honest.
#include "ServiceTimings.h"

#include <gtest/gtest.h>

namespace vyx::service {
namespace {

TEST(ShippedTimingsTest, TheExecutableWaitsTheDocumentedTimes)
{
    const ServiceTimings& timings = Timings();
    EXPECT_EQ(&timings, &kShippedTimings) << "the shipped build must not hold timings of its own";
    EXPECT_EQ(timings.startupWaitMs, 15000u);
    EXPECT_EQ(timings.regsvr32TimeoutMs, 30000u);
    EXPECT_EQ(timings.quietPeriodMs, 1500u);
    EXPECT_EQ(timings.retryPauseStepMs, 500u);
    EXPECT_EQ(timings.maxPassDelayMs, 10000u);
}

}  // namespace
}  // namespace vyx::service
