#pragma once
// The capability record IAMStreamConfig reports for one format-list entry.
#include <windows.h>
#include <strmif.h>

#include <cstdint>
#include <vector>

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

// The frame durations IAMVideoControl lists for a format, in the fixed order of the list
// (1 to 1500 frames per second), keeping only those inside the format's capability range
// [MinFrameInterval, MaxFrameInterval] as FillStreamCaps computes it from `range`.
std::vector<LONGLONG> FrameDurationsWithin(FrameRateRange range);

}  // namespace vyx
