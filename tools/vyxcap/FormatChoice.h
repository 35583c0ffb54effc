#pragma once
// Choosing the capture format the way common capture applications do: walk the device's
// GetStreamCaps list in order and take the first capability that fits the request, then
// hand that type (with the size and frame interval filled in) to SetFormat.
#include <windows.h>
#include <dshow.h>

#include <string>
#include <vector>

#include "MediaTypePtr.h"

namespace vyx::vyxcap {

struct StreamCapability {
    vyx::win::MediaTypePtr type;
    VIDEO_STREAM_CONFIG_CAPS caps{};
};

struct FormatRequest {
    std::wstring subtype;  // as SubtypeName gives it, any case; empty: any
    int width = 0;         // 0: any
    int height = 0;
    double fps = 0;        // 0: the capability's own frame interval
};

struct ChosenFormat {
    int capabilityIndex = -1;
    vyx::win::MediaTypePtr type;
};

// With no subtype and no size requested, the device's current type (may be null) stands for
// the request, and the first capability is taken when the current type is not listed.
// Throws ToolError "format not offered: ..." when nothing fits.
ChosenFormat ChooseFormat(const std::vector<StreamCapability>& capabilities,
                          const FormatRequest& request, const AM_MEDIA_TYPE* current);

// Bytes of one uncompressed frame: rows padded to 32 bits for RGB layouts, packed otherwise.
DWORD FrameBytes(const BITMAPINFOHEADER& header, LONG width, LONG height);

// 10000000 / fps rounded to the nearest 100 ns unit.
REFERENCE_TIME FrameIntervalForFps(double fps);

}  // namespace vyx::vyxcap
