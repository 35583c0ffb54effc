// The seeded mutation runs with small counts on every test run; the large runs are the
// fuzz benchmark's (docs/service-fuzzing.md). A fault names its first input.
#include "ServiceFuzz.h"

#include <gtest/gtest.h>

namespace vyx::service::test {
namespace {

// Fixed seeds, so a fault found here is found again on every machine.
constexpr std::uint32_t kSeeds[] = {20261209, 15, 4242};
constexpr std::size_t kInputsPerSeed = 3000;

void ExpectSound(const FuzzTally& tally, const char* target)
{
    EXPECT_EQ(tally.inputs, kInputsPerSeed) << target;
    EXPECT_EQ(tally.faults, 0u) << target << ": " << tally.firstFault;
    // Both outcomes were reached, so the mutations are neither all harmless nor all fatal.
    EXPECT_GT(tally.accepted, 0u) << target;
    EXPECT_GT(tally.refused, 0u) << target;
}

TEST(ServiceFuzzTest, DeviceEventDataIsJudgedByTheRuleAlone)
{
    for (std::uint32_t seed : kSeeds) {
        ExpectSound(FuzzDeviceEvents(seed, kInputsPerSeed), "device events");
    }
}

TEST(ServiceFuzzTest, MutatedInstanceIdsMatchOnlyTheirRow)
{
    for (std::uint32_t seed : kSeeds) {
        ExpectSound(FuzzInstanceIds(seed, kInputsPerSeed), "instance IDs");
    }
}

TEST(ServiceFuzzTest, MutatedPeHeadersGetTheRuleResult)
{
    for (std::uint32_t seed : kSeeds) {
        ExpectSound(FuzzPeHeaders(seed, kInputsPerSeed), "PE headers");
    }
}

}  // namespace
}  // namespace vyx::service::test
