#pragma once
// The capability record IAMStreamConfig reports for one format-list entry, and the frame
// durations IAMVideoControl lists for it.
#include <windows.h>
#include <strmif.h>

#include <vector>

#include "FrameRates.h"

namespace vyx {

// Fills every member: sizes W x H, frame intervals and bit rates from the range and the
// image size S in bytes; the rest zero.
void FillStreamCaps(LONG width, LONG height, DWORD sizeImage, FrameRateRange range, VIDEO_STREAM_CONFIG_CAPS* caps);

// The frame durations IAMVideoControl lists for a format, in the fixed order of the list
// (1 to 1500 frames per second), keeping only those inside the format's capability range
// [MinFrameInterval, MaxFrameInterval] as FillStreamCaps computes it from `range`, compared
// within one 100 ns unit: the list truncates where the capability rounds up.
std::vector<LONGLONG> FrameDurationsWithin(FrameRateRange range);

}  // namespace vyx
