#pragma once
// The media types the media source offers: per output subtype, every frame size the
// filter offers (the model's resolution list at bin 1 and the binned full sensor at the
// camera's other bins), each with the entry of the core's format list that feeds it (the
// camera's bin and image format) and the conversion between. NV12 and YUY2 for every camera, RGB32 for colour cameras, L8 and L16
// for monochrome ones; NV12 at the full sensor first, the type applications take by default.
#include <windows.h>
#include <mfidl.h>

#include <cstdint>
#include <vector>

#include "FormatList.h"
#include "FrameConversion.h"
#include "FrameRates.h"
#include "ResolutionLadder.h"
#include "VyxonCamera.h"

namespace vyx::mf {

struct SourceFormat {
    GUID subtype;
    FormatEntry entry;  // what the camera is set to
    std::int32_t width;
    std::int32_t height;
    Conversion conversion;
};

std::vector<SourceFormat> BuildSourceFormats(const CameraProp& camera, const Resolution* resolutions,
                                             std::int32_t resolutionCount);

// Bytes of one frame as the camera delivers it in `format`, and as the sample carries it.
std::size_t CameraFrameBytes(const SourceFormat& format);
std::size_t SampleBytes(const SourceFormat& format);

// The type of `format`, offered at 30 frames per second (held into the camera's range)
// with the range itself as the type's frame-rate range.
HRESULT CreateSourceMediaType(const SourceFormat& format, FrameRateRange rates, IMFMediaType** type);

// The format a type asks for (major type video, subtype and frame size), or -1.
std::int32_t FindSourceFormat(const std::vector<SourceFormat>& formats, IMFMediaType* type);

// The frame interval (100 ns) of a chosen type's frame rate, which the core turns into the
// camera's frame-rate limit; 0 (no limit) for a type without one.
std::int64_t FrameIntervalOf(IMFMediaType* type);

}  // namespace vyx::mf
