// When a burst of device events gets its pass: after the quiet period, restarted by every
// event, but never later than the bound after the burst's first event. On a made-up clock.
#include "PassScheduler.h"

#include <gtest/gtest.h>

namespace vyx::service {
namespace {

constexpr DWORD kQuiet = 1500;
constexpr DWORD kBound = 10000;
constexpr ULONGLONG kStart = 5000000;  // any tick count: nothing depends on it being small

TEST(PassSchedulerTest, ALoneEventWaitsOneQuietPeriod)
{
    PassScheduler schedule(kStart, kQuiet, kBound);
    EXPECT_EQ(schedule.RemainingMs(kStart), kQuiet);
    EXPECT_EQ(schedule.RemainingMs(kStart + 1), kQuiet - 1);
    EXPECT_EQ(schedule.RemainingMs(kStart + kQuiet - 1), 1u);
    EXPECT_EQ(schedule.RemainingMs(kStart + kQuiet), 0u);
    EXPECT_EQ(schedule.RemainingMs(kStart + kQuiet + 700), 0u);
}

TEST(PassSchedulerTest, EveryFurtherEventRestartsTheQuietPeriodUpToTheBound)
{
    // Ten events 500 ms apart: one pass, one quiet period after the last.
    PassScheduler burst(kStart, kQuiet, kBound);
    for (ULONGLONG t = kStart + 500; t <= kStart + 4500; t += 500) {
        EXPECT_GT(burst.RemainingMs(t), 0u) << t - kStart;
        burst.OnChange(t);
    }
    EXPECT_EQ(burst.RemainingMs(kStart + 4500), kQuiet);
    EXPECT_EQ(burst.RemainingMs(kStart + 6000), 0u);

    // A device that flaps every second for ever: the pass comes 10 s after the first event.
    PassScheduler flapping(kStart, kQuiet, kBound);
    ULONGLONG t = kStart;
    while (flapping.RemainingMs(t) != 0) {
        flapping.OnChange(t);
        ASSERT_LE(t - kStart, kBound) << "the quiet period was restarted past the bound";
        t += 1000;
    }
    EXPECT_EQ(t - kStart, kBound);
    // Near the bound the wait shrinks to what is left of it, not a whole quiet period.
    PassScheduler late(kStart, kQuiet, kBound);
    late.OnChange(kStart + 9800);
    EXPECT_EQ(late.RemainingMs(kStart + 9800), 200u);
}

TEST(PassSchedulerTest, OddClocksAndLimitsStayWithinTheRule)
{
    // An event stamped before the last one (a clock read on another thread) moves nothing back.
    PassScheduler schedule(kStart, kQuiet, kBound);
    schedule.OnChange(kStart + 1000);
    schedule.OnChange(kStart + 200);
    EXPECT_EQ(schedule.RemainingMs(kStart + 1000), kQuiet);
    // A bound shorter than the quiet period wins.
    PassScheduler tight(kStart, kQuiet, 300);
    EXPECT_EQ(tight.RemainingMs(kStart), 300u);
    // No quiet period at all: the pass is due at once.
    PassScheduler none(kStart, 0, kBound);
    EXPECT_EQ(none.RemainingMs(kStart), 0u);
    // Near the end of the tick range nothing wraps.
    const ULONGLONG high = ~0ULL - 20000;
    PassScheduler end(high, kQuiet, kBound);
    end.OnChange(high + 5000);
    EXPECT_EQ(end.RemainingMs(high + 5000), kQuiet);
    EXPECT_EQ(end.RemainingMs(high + kBound), 0u);
}

}  // namespace
}  // namespace vyx::service
