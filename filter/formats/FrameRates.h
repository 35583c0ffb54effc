#pragma once
// The camera's frame-rate range as clients use it, and the limit a requested frame
// interval sets on the camera.
#include <cstdint>

namespace vyx {

struct FrameRateRange {
    std::int32_t maxFps;
    std::int32_t minFps;
};

// The camera's range when usable, otherwise 1..2000 frames per second.
FrameRateRange UsableFrameRateRange(bool rangeRead, std::int32_t maxFps, std::int32_t minFps);

// Frame-rate limit for a requested frame interval (100 ns units): 10000000 / interval
// rounded to the nearest whole rate, then clamped into the camera's range when known.
std::int32_t FrameRateLimitFor(std::int64_t interval, bool rangeRead, std::int32_t maxFps, std::int32_t minFps);

}  // namespace vyx
