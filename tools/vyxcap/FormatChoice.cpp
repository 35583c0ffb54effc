#include "FormatChoice.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "SubtypeName.h"
#include "Text.h"
#include "ToolError.h"

namespace vyx::vyxcap {
namespace {

bool SizeFits(const VIDEO_STREAM_CONFIG_CAPS& caps, const BITMAPINFOHEADER& header, int width,
              int height) {
    if (width == header.biWidth && height == std::labs(header.biHeight)) return true;
    // Devices that scale describe a range of sizes with a step instead of one size.
    const LONG stepX = caps.OutputGranularityX;
    const LONG stepY = caps.OutputGranularityY;
    if (stepX <= 0 || stepY <= 0) return false;
    if (width < caps.MinOutputSize.cx || width > caps.MaxOutputSize.cx) return false;
    if (height < caps.MinOutputSize.cy || height > caps.MaxOutputSize.cy) return false;
    return (width - caps.MinOutputSize.cx) % stepX == 0 && (height - caps.MinOutputSize.cy) % stepY == 0;
}

bool IntervalFits(const VIDEO_STREAM_CONFIG_CAPS& caps, REFERENCE_TIME interval) {
    if (caps.MinFrameInterval > 0 && interval < caps.MinFrameInterval) return false;
    if (caps.MaxFrameInterval > 0 && interval > caps.MaxFrameInterval) return false;
    return true;
}

std::string Describe(const FormatRequest& request) {
    std::string text = request.subtype.empty() ? "any subtype" : Narrow(request.subtype);
    if (request.width > 0) text += " " + std::to_string(request.width) + "x" + std::to_string(request.height);
    if (request.fps > 0) {
        char fps[32];
        std::snprintf(fps, sizeof fps, " at %g fps", request.fps);
        text += fps;
    }
    return text;
}

// First capability that fits, as a type ready for SetFormat; empty when none fits.
ChosenFormat FirstFit(const std::vector<StreamCapability>& capabilities, const FormatRequest& request) {
    for (size_t i = 0; i < capabilities.size(); ++i) {
        const StreamCapability& capability = capabilities[i];
        if (!capability.type) continue;
        const BITMAPINFOHEADER* header = vyx::win::BitmapHeader(*capability.type.Get());
        if (!header) continue;
        if (!request.subtype.empty() &&
            !EqualsIgnoreCase(SubtypeName(capability.type->subtype), request.subtype))
            continue;
        if (request.width > 0 && !SizeFits(capability.caps, *header, request.width, request.height))
            continue;
        const REFERENCE_TIME interval = request.fps > 0 ? FrameIntervalForFps(request.fps) : 0;
        if (request.fps > 0 && !IntervalFits(capability.caps, interval)) continue;

        ChosenFormat chosen;
        chosen.capabilityIndex = static_cast<int>(i);
        chosen.type = vyx::win::MediaTypePtr::Copy(*capability.type.Get());
        if (!chosen.type) throw ToolError("out of memory copying a media type");
        BITMAPINFOHEADER* out = vyx::win::BitmapHeader(*chosen.type.Get());
        if (request.width > 0 && (request.width != out->biWidth || request.height != std::labs(out->biHeight))) {
            out->biWidth = request.width;
            out->biHeight = out->biHeight < 0 ? -request.height : request.height;
            out->biSizeImage = FrameBytes(*out, request.width, request.height);
            if (chosen.type->bFixedSizeSamples) chosen.type->lSampleSize = out->biSizeImage;
        }
        REFERENCE_TIME* frameInterval = vyx::win::AvgTimePerFrame(*chosen.type.Get());
        if (interval > 0)
            *frameInterval = interval;
        else if (*frameInterval <= 0 && capability.caps.MinFrameInterval > 0)
            *frameInterval = capability.caps.MinFrameInterval;  // muxers need a frame rate
        return chosen;
    }
    return {};
}

}  // namespace

ChosenFormat ChooseFormat(const std::vector<StreamCapability>& capabilities,
                          const FormatRequest& request, const AM_MEDIA_TYPE* current) {
    if (request.subtype.empty() && request.width == 0) {
        const BITMAPINFOHEADER* header = current ? vyx::win::BitmapHeader(*current) : nullptr;
        if (header) {
            FormatRequest asCurrent = request;
            asCurrent.subtype = SubtypeName(current->subtype);
            asCurrent.width = header->biWidth;
            asCurrent.height = std::labs(header->biHeight);
            ChosenFormat chosen = FirstFit(capabilities, asCurrent);
            if (chosen.type) return chosen;
        }
    }
    ChosenFormat chosen = FirstFit(capabilities, request);
    if (!chosen.type) throw ToolError("format not offered: " + Describe(request));
    return chosen;
}

DWORD FrameBytes(const BITMAPINFOHEADER& header, LONG width, LONG height) {
    const unsigned long long bits = static_cast<unsigned long long>(width) * header.biBitCount;
    const bool rgbLayout = header.biCompression == BI_RGB || header.biCompression == BI_BITFIELDS;
    const unsigned long long stride = rgbLayout ? (bits + 31) / 32 * 4 : bits / 8;
    return static_cast<DWORD>(stride * static_cast<unsigned long long>(std::labs(height)));
}

REFERENCE_TIME FrameIntervalForFps(double fps) { return std::llround(10000000.0 / fps); }

}  // namespace vyx::vyxcap
