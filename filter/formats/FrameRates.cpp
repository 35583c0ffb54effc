#include "FrameRates.h"

#include <algorithm>

namespace vyx {

FrameRateRange UsableFrameRateRange(bool rangeRead, std::int32_t maxFps, std::int32_t minFps) {
    if (!rangeRead || minFps <= 0 || maxFps < minFps) return {2000, 1};
    return {maxFps, minFps};
}

std::int32_t FrameRateLimitFor(std::int64_t interval, bool rangeRead, std::int32_t maxFps, std::int32_t minFps) {
    if (interval <= 0) return 0;
    std::int64_t fps = (interval / 2 + kUnitsPerSecond) / interval;
    if (rangeRead) {
        fps = std::min<std::int64_t>(fps, maxFps);
        fps = std::max<std::int64_t>(fps, minFps);
    }
    // Intervals above 2 s round to 0, which would lift the limit the caller asked for.
    return static_cast<std::int32_t>(std::max<std::int64_t>(fps, 1));
}

std::int64_t FastestFrameInterval(FrameRateRange range) {
    return (kUnitsPerSecond + range.maxFps - 1) / range.maxFps;
}

}  // namespace vyx
