#include "ImageConvert.h"

#include <dvdmedia.h>

#include <algorithm>
#include <cstdlib>
#include <string>

#include "FormatChoice.h"
#include "MediaTypePtr.h"
#include "SubtypeName.h"
#include "Text.h"
#include "ToolError.h"

namespace vyx::vyxcap {
namespace {

enum class Layout { Unknown, Bgr24, Bgrx32, Palette8, Grey8, Grey16, Yuy2, Uyvy };

Layout LayoutOf(const AM_MEDIA_TYPE& type, const BITMAPINFOHEADER& header) {
    const std::wstring name = SubtypeName(type.subtype);
    const WORD bits = header.biBitCount;
    if (name == L"RGB24" && bits == 24) return Layout::Bgr24;
    if ((name == L"RGB32" || name == L"ARGB32") && bits == 32) return Layout::Bgrx32;
    if (name == L"RGB8" && bits == 8) return Layout::Palette8;
    if ((name == L"Y800" || name == L"Y8" || name == L"GREY") && bits == 8) return Layout::Grey8;
    if (name == L"Y16" && bits == 16) return Layout::Grey16;
    if (name == L"YUY2" && bits == 16) return Layout::Yuy2;
    if (name == L"UYVY" && bits == 16) return Layout::Uyvy;
    return Layout::Unknown;
}

const RGBQUAD* Palette(const AM_MEDIA_TYPE& type, const BITMAPINFOHEADER& header, int* count) {
    const size_t headerEnd = type.formattype == FORMAT_VideoInfo2 ? sizeof(VIDEOINFOHEADER2)
                                                                  : sizeof(VIDEOINFOHEADER);
    const size_t entries = header.biClrUsed ? header.biClrUsed : 256;
    if (entries > 256 || type.cbFormat < headerEnd + entries * sizeof(RGBQUAD)) {
        *count = 0;
        return nullptr;
    }
    *count = static_cast<int>(entries);
    return reinterpret_cast<const RGBQUAD*>(type.pbFormat + headerEnd);
}

std::uint8_t Clip(int value) { return static_cast<std::uint8_t>(std::clamp(value, 0, 255)); }

// BT.601 studio range, the convention of Windows' YUV formats.
void YuvToRgb(int y, int u, int v, std::uint8_t* rgb) {
    const int c = 298 * (y - 16);
    const int d = u - 128;
    const int e = v - 128;
    rgb[0] = Clip((c + 409 * e + 128) >> 8);
    rgb[1] = Clip((c - 100 * d - 208 * e + 128) >> 8);
    rgb[2] = Clip((c + 516 * d + 128) >> 8);
}

// Black at the 1st percentile, white at the 99.9th: background noise and a few hot pixels
// do not decide the contrast.
void StretchGrey16(const std::vector<const std::uint8_t*>& rows, int width, Image& image) {
    std::vector<std::uint32_t> histogram(65536, 0);
    for (const std::uint8_t* row : rows)
        for (int x = 0; x < width; ++x) ++histogram[row[2 * x] | (row[2 * x + 1] << 8)];
    const unsigned long long total = static_cast<unsigned long long>(width) * rows.size();
    const unsigned long long blackCount = total / 100;
    const unsigned long long whiteCount = total - total / 1000;
    unsigned long long seen = 0;
    int black = -1, white = 65535;
    for (int v = 0; v < 65536; ++v) {
        seen += histogram[v];
        if (black < 0 && seen > blackCount) black = v;
        if (seen >= whiteCount) {
            white = v;
            break;
        }
    }
    if (black < 0) black = 0;
    if (white <= black) white = black + 1;
    std::uint8_t* out = image.pixels.data();
    for (const std::uint8_t* row : rows)
        for (int x = 0; x < width; ++x) {
            const int v = row[2 * x] | (row[2 * x + 1] << 8);
            *out++ = Clip(static_cast<int>((static_cast<long long>(v - black) * 255) / (white - black)));
        }
}

}  // namespace

bool CanConvertToImage(const AM_MEDIA_TYPE& type) {
    const BITMAPINFOHEADER* header = vyx::win::BitmapHeader(type);
    return header && header->biWidth > 0 && header->biHeight != 0 &&
           LayoutOf(type, *header) != Layout::Unknown;
}

Image ConvertToImage(const AM_MEDIA_TYPE& type, const std::uint8_t* data, std::size_t length) {
    const BITMAPINFOHEADER* header = vyx::win::BitmapHeader(type);
    if (!CanConvertToImage(type))
        throw ToolError("cannot write a picture of " + Narrow(SubtypeName(type.subtype)) + " frames");
    const Layout layout = LayoutOf(type, *header);
    const int width = header->biWidth;
    const int height = std::abs(header->biHeight);
    if ((layout == Layout::Yuy2 || layout == Layout::Uyvy) && width % 2 != 0)
        throw ToolError("a packed YUV frame needs an even width, not " + std::to_string(width));
    // RGB layouts with a positive height run bottom-up; FOURCC layouts are always top-down.
    const bool rgbLayout = header->biCompression == BI_RGB || header->biCompression == BI_BITFIELDS;
    const bool bottomUp = rgbLayout && header->biHeight > 0;
    const bool padded = rgbLayout;
    const unsigned long long rowBits = static_cast<unsigned long long>(width) * header->biBitCount;
    const size_t stride = static_cast<size_t>(padded ? (rowBits + 31) / 32 * 4 : rowBits / 8);
    const unsigned long long needed = static_cast<unsigned long long>(stride) * height;
    if (!data || length < needed)
        throw ToolError("the frame holds " + std::to_string(data ? length : 0) + " bytes, a " +
                        std::to_string(width) + "x" + std::to_string(height) + " " +
                        Narrow(SubtypeName(type.subtype)) + " frame needs " + std::to_string(needed));

    std::vector<const std::uint8_t*> rows(height);
    for (int y = 0; y < height; ++y) rows[y] = data + stride * (bottomUp ? height - 1 - y : y);

    Image image;
    image.width = width;
    image.height = height;
    int paletteCount = 0;
    const RGBQUAD* palette = layout == Layout::Palette8 ? Palette(type, *header, &paletteCount) : nullptr;
    bool greyPalette = true;
    for (int i = 0; i < paletteCount; ++i)
        greyPalette = greyPalette && palette[i].rgbRed == palette[i].rgbGreen &&
                      palette[i].rgbGreen == palette[i].rgbBlue;
    const bool grey = layout == Layout::Grey8 || layout == Layout::Grey16 ||
                      (layout == Layout::Palette8 && greyPalette);
    image.channels = grey ? 1 : 3;
    image.pixels.resize(static_cast<size_t>(width) * height * image.channels);
    if (layout == Layout::Grey16) {
        StretchGrey16(rows, width, image);
        return image;
    }
    std::uint8_t* out = image.pixels.data();
    for (const std::uint8_t* row : rows) {
        for (int x = 0; x < width; ++x) {
            switch (layout) {
            case Layout::Bgr24:
                out[0] = row[3 * x + 2];
                out[1] = row[3 * x + 1];
                out[2] = row[3 * x];
                out += 3;
                break;
            case Layout::Bgrx32:
                out[0] = row[4 * x + 2];
                out[1] = row[4 * x + 1];
                out[2] = row[4 * x];
                out += 3;
                break;
            case Layout::Grey8:
                *out++ = row[x];
                break;
            case Layout::Palette8:
                if (!palette) {
                    *out++ = row[x];
                } else if (row[x] >= paletteCount) {
                    for (int c = 0; c < image.channels; ++c) *out++ = 0;
                } else if (grey) {
                    *out++ = palette[row[x]].rgbRed;
                } else {
                    out[0] = palette[row[x]].rgbRed;
                    out[1] = palette[row[x]].rgbGreen;
                    out[2] = palette[row[x]].rgbBlue;
                    out += 3;
                }
                break;
            case Layout::Yuy2:
            case Layout::Uyvy: {
                const std::uint8_t* pair = row + 4 * (x / 2);
                const bool yuy2 = layout == Layout::Yuy2;
                const int y = yuy2 ? pair[(x % 2) * 2] : pair[1 + (x % 2) * 2];
                const int u = yuy2 ? pair[1] : pair[0];
                const int v = yuy2 ? pair[3] : pair[2];
                YuvToRgb(y, u, v, out);
                out += 3;
                break;
            }
            default:
                break;
            }
        }
    }
    return image;
}

}  // namespace vyx::vyxcap
