#include "StreamCaps.h"

#include <dshow.h>

#include <algorithm>
#include <cstring>

namespace vyx {
namespace {
constexpr LONGLONG kMaxBitRate = 2147483647;
// 1, 30, 60, 100, 150, 200, 250, 300, 500, 800, 1000 and 1500 frames per second, truncated.
constexpr LONGLONG kListedFrameDurations[] = {10000000, 333333, 166666, 100000, 66666, 50000,
                                              40000,    33333,  20000,  12500,  10000, 6666};

LONGLONG MaxFrameInterval(FrameRateRange range) {
    return kUnitsPerSecond / range.minFps;
}
}  // namespace

void FillStreamCaps(LONG width, LONG height, DWORD sizeImage, FrameRateRange range, VIDEO_STREAM_CONFIG_CAPS* caps) {
    std::memset(caps, 0, sizeof *caps);
    caps->guid = FORMAT_VideoInfo;
    caps->InputSize = {width, height};
    caps->MinOutputSize = {width, height};
    caps->MaxOutputSize = {width, height};
    const LONGLONG fmax = range.maxFps;
    const LONGLONG fmin = range.minFps;
    caps->MinFrameInterval = FastestFrameInterval(range);
    caps->MaxFrameInterval = MaxFrameInterval(range);
    const LONGLONG bitsPerFrame = static_cast<LONGLONG>(sizeImage) * 8;
    caps->MinBitsPerSecond = static_cast<LONG>(std::min(fmin * bitsPerFrame, kMaxBitRate));
    caps->MaxBitsPerSecond = static_cast<LONG>(std::min(fmax * bitsPerFrame, kMaxBitRate));
}

std::vector<LONGLONG> FrameDurationsWithin(FrameRateRange range) {
    std::vector<LONGLONG> durations;
    const LONGLONG fastest = FastestFrameInterval(range);
    for (const LONGLONG duration : kListedFrameDurations)
        if (duration + 1 >= fastest && duration <= MaxFrameInterval(range)) durations.push_back(duration);
    return durations;
}

}  // namespace vyx
