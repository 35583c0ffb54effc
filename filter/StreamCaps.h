#pragma once
// The capability record IAMStreamConfig reports for one format-list entry.
#include <windows.h>
#include <strmif.h>

#include <cstdint>

namespace vyx {

struct FrameRateRange {
    std::int32_t maxFps;
    std::int32_t minFps;
};

// The camera's range when usable, otherwise 1..2000 frames per second.
FrameRateRange UsableFrameRateRange(bool rangeRead, std::int32_t maxFps, std::int32_t minFps);

// Fills every member: sizes W x H, frame intervals and bit rates from the range and the
// image size S in bytes; the rest zero.
void FillStreamCaps(LONG width, LONG height, DWORD sizeImage, FrameRateRange range, VIDEO_STREAM_CONFIG_CAPS* caps);

// Frame-rate limit for a requested frame interval (100 ns units): 10000000 / interval
// rounded to the nearest whole rate, then clamped into the camera's range when known.
std::int32_t FrameRateLimitFor(LONGLONG interval, bool rangeRead, std::int32_t maxFps, std::int32_t minFps);

}  // namespace vyx
