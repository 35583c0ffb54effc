#pragma once
// The media source's pixel conversions: each turns one camera frame into one frame of a
// Media Foundation type in a single pass, writing straight into the sample's buffer, with
// no allocation. Camera frames come as the camera library gives them (RGB24 as B, G, R and
// 8-bit grey both bottom-up); every output is top-down with rows packed (stride = width x
// bytes per pixel; NV12's chroma plane follows its luma plane).
//
// YUV outputs use BT.601 with studio range (luma 16 to 235, chroma 16 to 240), what video
// applications assume when a type says nothing else; grey maps to luma through the same
// range and to neutral chroma (128).
//
// Widths must be even (the model's frame sizes are multiples of 4) and, for NV12, heights
// too (multiples of 2); ConvertFrame checks this, the single conversions assume it.
#include <windows.h>

#include <cstddef>
#include <cstdint>

namespace vyx::mf {

enum class Conversion {
    Direct,       // the camera writes the output itself (its YUY2 and 16-bit frames)
    Rgb24ToNv12,
    Rgb24ToYuy2,
    Rgb24ToRgb32,
    Grey8ToNv12,
    Grey8ToYuy2,
    Grey8ToL8,
};

// Bytes of one output frame of `conversion` at width x height; Direct has no own layout (0).
std::size_t OutputBytes(Conversion conversion, std::int32_t width, std::int32_t height);

// S_OK; E_INVALIDARG for a size the conversion cannot take or buffers too small
// (`sourceBytes`, `outputBytes`); E_POINTER for missing buffers; Direct is not a conversion.
HRESULT ConvertFrame(Conversion conversion, const BYTE* source, std::size_t sourceBytes, BYTE* output,
                     std::size_t outputBytes, std::int32_t width, std::int32_t height);

// The single conversions, for ConvertFrame and the benchmark.
void ConvertRgb24ToNv12(const BYTE* bgrBottomUp, BYTE* nv12, std::int32_t width, std::int32_t height);
void ConvertRgb24ToYuy2(const BYTE* bgrBottomUp, BYTE* yuy2, std::int32_t width, std::int32_t height);
void ConvertRgb24ToRgb32(const BYTE* bgrBottomUp, BYTE* bgrx, std::int32_t width, std::int32_t height);
void ConvertGrey8ToNv12(const BYTE* greyBottomUp, BYTE* nv12, std::int32_t width, std::int32_t height);
void ConvertGrey8ToYuy2(const BYTE* greyBottomUp, BYTE* yuy2, std::int32_t width, std::int32_t height);
void ConvertGrey8ToL8(const BYTE* greyBottomUp, BYTE* grey, std::int32_t width, std::int32_t height);

}  // namespace vyx::mf
