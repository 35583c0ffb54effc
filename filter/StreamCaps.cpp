#include "StreamCaps.h"

#include <dshow.h>

#include <algorithm>
#include <cstring>

namespace vyx {
namespace {
constexpr LONGLONG kUnitsPerSecond = 10000000;
constexpr LONGLONG kMaxBitRate = 2147483647;
}  // namespace

FrameRateRange UsableFrameRateRange(bool rangeRead, std::int32_t maxFps, std::int32_t minFps) {
    if (!rangeRead || minFps <= 0 || maxFps < minFps) return {2000, 1};
    return {maxFps, minFps};
}

void FillStreamCaps(LONG width, LONG height, DWORD sizeImage, FrameRateRange range, VIDEO_STREAM_CONFIG_CAPS* caps) {
    std::memset(caps, 0, sizeof *caps);
    caps->guid = FORMAT_VideoInfo;
    caps->InputSize = {width, height};
    caps->MinOutputSize = {width, height};
    caps->MaxOutputSize = {width, height};
    const LONGLONG fmax = range.maxFps;
    const LONGLONG fmin = range.minFps;
    // The shortest interval is rounded up so that it never promises more than fmax.
    caps->MinFrameInterval = (fmax + kUnitsPerSecond - 1) / fmax;
    caps->MaxFrameInterval = kUnitsPerSecond / fmin;
    const LONGLONG bitsPerFrame = static_cast<LONGLONG>(sizeImage) * 8;
    caps->MinBitsPerSecond = static_cast<LONG>(std::min(fmin * bitsPerFrame, kMaxBitRate));
    caps->MaxBitsPerSecond = static_cast<LONG>(std::min(fmax * bitsPerFrame, kMaxBitRate));
}

std::int32_t FrameRateLimitFor(LONGLONG interval, bool rangeRead, std::int32_t maxFps, std::int32_t minFps) {
    if (interval <= 0) return 0;
    LONGLONG fps = (interval / 2 + kUnitsPerSecond) / interval;
    if (rangeRead) {
        fps = std::min<LONGLONG>(fps, maxFps);
        fps = std::max<LONGLONG>(fps, minFps);
    }
    return static_cast<std::int32_t>(fps);
}

}  // namespace vyx
