#pragma once
// The camera's frame-rate range as clients use it, and the limit a requested frame
// interval sets on the camera.
#include <cstdint>

namespace vyx {

// Reference time, the unit of frame intervals: 100 ns.
constexpr std::int64_t kUnitsPerSecond = 10000000;

struct FrameRateRange {
    std::int32_t maxFps;
    std::int32_t minFps;
};

// The camera's range when usable, otherwise 1..2000 frames per second.
FrameRateRange UsableFrameRateRange(bool rangeRead, std::int32_t maxFps, std::int32_t minFps);

// Frame-rate limit for a requested frame interval (100 ns units): 10000000 / interval
// rounded to the nearest whole rate, then clamped into the camera's range when known. A
// positive interval always limits (at least 1): 0 is "no limit". No interval gives 0.
std::int32_t FrameRateLimitFor(std::int64_t interval, bool rangeRead, std::int32_t maxFps, std::int32_t minFps);

// The shortest frame interval (100 ns units) of the range's top rate, rounded up so that it
// never promises more than that rate.
std::int64_t FastestFrameInterval(FrameRateRange range);

}  // namespace vyx
