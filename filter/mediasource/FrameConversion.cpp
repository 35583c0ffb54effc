#include "FrameConversion.h"

#include <array>
#include <cstring>

namespace vyx::mf {
namespace {

// BT.601 studio range in 8-bit fixed point (coefficients x 256, rounded).
inline BYTE LumaOf(int r, int g, int b) { return static_cast<BYTE>(((66 * r + 129 * g + 25 * b + 128) >> 8) + 16); }

// Chroma of the sum of `count` pixels (a power of two, 1 << shift); the division is folded
// into the final shift so the average keeps its fraction until the end.
inline BYTE ChromaU(int r, int g, int b, int shift) {
    return static_cast<BYTE>(((-38 * r - 74 * g + 112 * b + (128 << shift)) >> (8 + shift)) + 128);
}
inline BYTE ChromaV(int r, int g, int b, int shift) {
    return static_cast<BYTE>(((112 * r - 94 * g - 18 * b + (128 << shift)) >> (8 + shift)) + 128);
}

// Grey level to studio-range luma: 0 -> 16, 255 -> 235.
const std::array<BYTE, 256>& GreyToLuma() {
    static const std::array<BYTE, 256> table = [] {
        std::array<BYTE, 256> t{};
        for (int i = 0; i < 256; ++i) t[static_cast<std::size_t>(i)] = static_cast<BYTE>(16 + (i * 219 + 127) / 255);
        return t;
    }();
    return table;
}

constexpr BYTE kNeutralChroma = 128;

// Row y of the top-down picture in a bottom-up frame of `stride` bytes per row.
inline const BYTE* BottomUpRow(const BYTE* frame, std::size_t stride, std::int32_t height, std::int32_t y) {
    return frame + stride * static_cast<std::size_t>(height - 1 - y);
}

std::size_t Pixels(std::int32_t width, std::int32_t height) {
    return static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
}

std::size_t SourceBytes(Conversion conversion, std::int32_t width, std::int32_t height) {
    switch (conversion) {
        case Conversion::Rgb24ToNv12:
        case Conversion::Rgb24ToYuy2:
        case Conversion::Rgb24ToRgb32:
            return Pixels(width, height) * 3;
        case Conversion::Grey8ToNv12:
        case Conversion::Grey8ToYuy2:
        case Conversion::Grey8ToL8:
            return Pixels(width, height);
        case Conversion::Direct:
            break;
    }
    return 0;
}

}  // namespace

std::size_t OutputBytes(Conversion conversion, std::int32_t width, std::int32_t height) {
    if (width <= 0 || height <= 0) return 0;
    switch (conversion) {
        case Conversion::Rgb24ToNv12:
        case Conversion::Grey8ToNv12:
            return Pixels(width, height) * 3 / 2;
        case Conversion::Rgb24ToYuy2:
        case Conversion::Grey8ToYuy2:
            return Pixels(width, height) * 2;
        case Conversion::Rgb24ToRgb32:
            return Pixels(width, height) * 4;
        case Conversion::Grey8ToL8:
            return Pixels(width, height);
        case Conversion::Direct:
            break;
    }
    return 0;
}

HRESULT ConvertFrame(Conversion conversion, const BYTE* source, std::size_t sourceBytes, BYTE* output,
                     std::size_t outputBytes, std::int32_t width, std::int32_t height) {
    if (!source || !output) return E_POINTER;
    const bool nv12 = conversion == Conversion::Rgb24ToNv12 || conversion == Conversion::Grey8ToNv12;
    if (conversion == Conversion::Direct || width <= 0 || height <= 0 || width % 2 != 0 || (nv12 && height % 2 != 0))
        return E_INVALIDARG;
    if (sourceBytes < SourceBytes(conversion, width, height) || outputBytes < OutputBytes(conversion, width, height))
        return E_INVALIDARG;
    switch (conversion) {
        case Conversion::Rgb24ToNv12: ConvertRgb24ToNv12(source, output, width, height); break;
        case Conversion::Rgb24ToYuy2: ConvertRgb24ToYuy2(source, output, width, height); break;
        case Conversion::Rgb24ToRgb32: ConvertRgb24ToRgb32(source, output, width, height); break;
        case Conversion::Grey8ToNv12: ConvertGrey8ToNv12(source, output, width, height); break;
        case Conversion::Grey8ToYuy2: ConvertGrey8ToYuy2(source, output, width, height); break;
        case Conversion::Grey8ToL8: ConvertGrey8ToL8(source, output, width, height); break;
        case Conversion::Direct: break;
    }
    return S_OK;
}

// Two picture rows at a time: four lumas and the one chroma pair of each 2 x 2 block.
void ConvertRgb24ToNv12(const BYTE* bgr, BYTE* nv12, std::int32_t width, std::int32_t height) {
    const std::size_t stride = static_cast<std::size_t>(width) * 3;
    BYTE* chroma = nv12 + Pixels(width, height);
    for (std::int32_t y = 0; y < height; y += 2) {
        const BYTE* top = BottomUpRow(bgr, stride, height, y);
        const BYTE* bottom = BottomUpRow(bgr, stride, height, y + 1);
        BYTE* lumaTop = nv12 + static_cast<std::size_t>(y) * static_cast<std::size_t>(width);
        BYTE* lumaBottom = lumaTop + width;
        BYTE* uv = chroma + static_cast<std::size_t>(y / 2) * static_cast<std::size_t>(width);
        for (std::int32_t x = 0; x < width; x += 2) {
            const int b0 = top[0], g0 = top[1], r0 = top[2], b1 = top[3], g1 = top[4], r1 = top[5];
            const int b2 = bottom[0], g2 = bottom[1], r2 = bottom[2], b3 = bottom[3], g3 = bottom[4], r3 = bottom[5];
            lumaTop[0] = LumaOf(r0, g0, b0);
            lumaTop[1] = LumaOf(r1, g1, b1);
            lumaBottom[0] = LumaOf(r2, g2, b2);
            lumaBottom[1] = LumaOf(r3, g3, b3);
            const int r = r0 + r1 + r2 + r3, g = g0 + g1 + g2 + g3, b = b0 + b1 + b2 + b3;
            uv[0] = ChromaU(r, g, b, 2);
            uv[1] = ChromaV(r, g, b, 2);
            top += 6;
            bottom += 6;
            lumaTop += 2;
            lumaBottom += 2;
            uv += 2;
        }
    }
}

void ConvertRgb24ToYuy2(const BYTE* bgr, BYTE* yuy2, std::int32_t width, std::int32_t height) {
    const std::size_t stride = static_cast<std::size_t>(width) * 3;
    for (std::int32_t y = 0; y < height; ++y) {
        const BYTE* in = BottomUpRow(bgr, stride, height, y);
        BYTE* out = yuy2 + static_cast<std::size_t>(y) * static_cast<std::size_t>(width) * 2;
        for (std::int32_t x = 0; x < width; x += 2) {
            const int b0 = in[0], g0 = in[1], r0 = in[2], b1 = in[3], g1 = in[4], r1 = in[5];
            out[0] = LumaOf(r0, g0, b0);
            out[1] = ChromaU(r0 + r1, g0 + g1, b0 + b1, 1);
            out[2] = LumaOf(r1, g1, b1);
            out[3] = ChromaV(r0 + r1, g0 + g1, b0 + b1, 1);
            in += 6;
            out += 4;
        }
    }
}

void ConvertRgb24ToRgb32(const BYTE* bgr, BYTE* bgrx, std::int32_t width, std::int32_t height) {
    const std::size_t stride = static_cast<std::size_t>(width) * 3;
    for (std::int32_t y = 0; y < height; ++y) {
        const BYTE* in = BottomUpRow(bgr, stride, height, y);
        BYTE* out = bgrx + static_cast<std::size_t>(y) * static_cast<std::size_t>(width) * 4;
        for (std::int32_t x = 0; x < width; ++x) {
            out[0] = in[0];
            out[1] = in[1];
            out[2] = in[2];
            out[3] = 0xFF;  // opaque, for consumers that read the fourth byte as alpha
            in += 3;
            out += 4;
        }
    }
}

void ConvertGrey8ToNv12(const BYTE* grey, BYTE* nv12, std::int32_t width, std::int32_t height) {
    const std::array<BYTE, 256>& luma = GreyToLuma();
    const std::size_t stride = static_cast<std::size_t>(width);
    for (std::int32_t y = 0; y < height; ++y) {
        const BYTE* in = BottomUpRow(grey, stride, height, y);
        BYTE* out = nv12 + static_cast<std::size_t>(y) * stride;
        for (std::int32_t x = 0; x < width; ++x) out[x] = luma[in[x]];
    }
    std::memset(nv12 + Pixels(width, height), kNeutralChroma, Pixels(width, height) / 2);
}

void ConvertGrey8ToYuy2(const BYTE* grey, BYTE* yuy2, std::int32_t width, std::int32_t height) {
    const std::array<BYTE, 256>& luma = GreyToLuma();
    const std::size_t stride = static_cast<std::size_t>(width);
    for (std::int32_t y = 0; y < height; ++y) {
        const BYTE* in = BottomUpRow(grey, stride, height, y);
        BYTE* out = yuy2 + static_cast<std::size_t>(y) * stride * 2;
        for (std::int32_t x = 0; x < width; ++x) {
            out[2 * x] = luma[in[x]];
            out[2 * x + 1] = kNeutralChroma;
        }
    }
}

void ConvertGrey8ToL8(const BYTE* grey, BYTE* out, std::int32_t width, std::int32_t height) {
    const std::size_t stride = static_cast<std::size_t>(width);
    for (std::int32_t y = 0; y < height; ++y)
        std::memcpy(out + static_cast<std::size_t>(y) * stride, BottomUpRow(grey, stride, height, y), stride);
}

}  // namespace vyx::mf
