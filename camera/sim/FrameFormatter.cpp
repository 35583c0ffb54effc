#include "FrameFormatter.h"

#include <algorithm>

#include "Bayer.h"
#include "TestPattern.h"

namespace vyx::sim {
namespace {

bool BottomUp(ImageFormat format) { return format == IMG_RAW8 || format == IMG_Y8 || format == IMG_RGB24; }

int BytesPerPixelOf(ImageFormat format) {
    return format == IMG_RGB24 ? 3 : (format == IMG_RAW16 || format == IMG_YUY2) ? 2 : 1;
}

// Source row of the picture row stored at memory row r.
int SourceRow(const FrameLayout& l, int r) {
    const int pictureRow = BottomUp(l.format) ? l.height - 1 - r : r;
    return l.flipV ? l.height - 1 - pictureRow : pictureRow;
}

int SourceColumn(const FrameLayout& l, int x) { return l.flipH ? l.width - 1 - x : x; }

std::uint8_t Luma(int r, int g, int b) { return static_cast<std::uint8_t>((77 * r + 150 * g + 29 * b) >> 8); }

// BT.601 studio range, as YUY2 consumers expect.
void ToYuv(int r, int g, int b, int* y, int* u, int* v) {
    *y = ((66 * r + 129 * g + 25 * b + 128) >> 8) + 16;
    *u = ((-38 * r - 74 * g + 112 * b + 128) >> 8) + 128;
    *v = ((112 * r - 94 * g - 18 * b + 128) >> 8) + 128;
}

}  // namespace

void FrameFormatter::ColorRow(const std::uint16_t* raw, const FrameLayout& l, int y) {
    const int w = l.width;
    const int h = l.height;
    m_rgb.resize(static_cast<std::size_t>(w) * 3);
    std::uint16_t* out = m_rgb.data();
    const std::uint16_t* row = raw + static_cast<std::size_t>(y) * w;
    if (!l.color) {
        for (int x = 0; x < w; ++x) out[3 * x] = out[3 * x + 1] = out[3 * x + 2] = row[x];
        return;
    }
    const int ay = y + l.startY;
    if (l.highQuality) {
        // Bilinear demosaic, mirrored at the edges so every neighbour has the right colour.
        const std::uint16_t* up = raw + static_cast<std::size_t>(y > 0 ? y - 1 : y + 1) * w;
        const std::uint16_t* down = raw + static_cast<std::size_t>(y < h - 1 ? y + 1 : y - 1) * w;
        const bool redRow = (ay & 1) == 0;
        for (int x = 0; x < w; ++x) {
            const int xl = x > 0 ? x - 1 : x + 1;
            const int xr = x < w - 1 ? x + 1 : x - 1;
            const unsigned self = row[x];
            const unsigned across = (row[xl] + row[xr] + 1u) >> 1;
            const unsigned vertical = (up[x] + down[x] + 1u) >> 1;
            unsigned r, g, b;
            switch (BayerChannel(x + l.startX, ay)) {
            case kRed:
                r = self;
                g = (row[xl] + row[xr] + up[x] + down[x] + 2u) >> 2;
                b = (up[xl] + up[xr] + down[xl] + down[xr] + 2u) >> 2;
                break;
            case kBlue:
                b = self;
                g = (row[xl] + row[xr] + up[x] + down[x] + 2u) >> 2;
                r = (up[xl] + up[xr] + down[xl] + down[xr] + 2u) >> 2;
                break;
            default:
                g = self;
                r = redRow ? across : vertical;
                b = redRow ? vertical : across;
                break;
            }
            out[3 * x] = static_cast<std::uint16_t>(r);
            out[3 * x + 1] = static_cast<std::uint16_t>(g);
            out[3 * x + 2] = static_cast<std::uint16_t>(b);
        }
        return;
    }
    // Superpixels: every pixel takes the colours of the 2x2 cell it lies in.
    const int oy = std::clamp(y - (ay & 1), 0, h - 2);
    for (int x = 0; x < w; ++x) {
        const int ox = std::clamp(x - ((x + l.startX) & 1), 0, w - 2);
        unsigned sum[3] = {};
        for (int j = 0; j < 2; ++j)
            for (int i = 0; i < 2; ++i)
                sum[BayerChannel(ox + i + l.startX, oy + j + l.startY)] +=
                    raw[static_cast<std::size_t>(oy + j) * w + ox + i];
        out[3 * x] = static_cast<std::uint16_t>(sum[kRed]);
        out[3 * x + 1] = static_cast<std::uint16_t>((sum[kGreen] + 1u) >> 1);
        out[3 * x + 2] = static_cast<std::uint16_t>(sum[kBlue]);
    }
}

void FrameFormatter::Write(const std::uint16_t* raw, const FrameLayout& l, std::uint8_t* out) {
    const int w = l.width;
    const std::size_t stride = static_cast<std::size_t>(w) * BytesPerPixelOf(l.format);
    for (int r = 0; r < l.height; ++r) {
        const int sy = SourceRow(l, r);
        std::uint8_t* dst = out + static_cast<std::size_t>(r) * stride;
        const std::uint16_t* src = raw + static_cast<std::size_t>(sy) * w;
        switch (l.format) {
        case IMG_RAW16:
            for (int x = 0; x < w; ++x) {
                const std::uint16_t v = src[SourceColumn(l, x)];
                dst[2 * x] = static_cast<std::uint8_t>(v & 0xFF);
                dst[2 * x + 1] = static_cast<std::uint8_t>(v >> 8);
            }
            break;
        case IMG_RAW8:
            for (int x = 0; x < w; ++x) dst[x] = static_cast<std::uint8_t>(src[SourceColumn(l, x)] >> 8);
            break;
        case IMG_Y8:
            if (!l.color) {
                for (int x = 0; x < w; ++x) dst[x] = static_cast<std::uint8_t>(src[SourceColumn(l, x)] >> 8);
                break;
            }
            ColorRow(raw, l, sy);
            for (int x = 0; x < w; ++x) {
                const std::uint16_t* p = &m_rgb[3 * static_cast<std::size_t>(SourceColumn(l, x))];
                dst[x] = Luma(p[0] >> 8, p[1] >> 8, p[2] >> 8);
            }
            break;
        case IMG_RGB24:
            ColorRow(raw, l, sy);
            for (int x = 0; x < w; ++x) {
                const std::uint16_t* p = &m_rgb[3 * static_cast<std::size_t>(SourceColumn(l, x))];
                dst[3 * x] = static_cast<std::uint8_t>(p[2] >> 8);
                dst[3 * x + 1] = static_cast<std::uint8_t>(p[1] >> 8);
                dst[3 * x + 2] = static_cast<std::uint8_t>(p[0] >> 8);
            }
            break;
        case IMG_YUY2:
            ColorRow(raw, l, sy);
            for (int x = 0; x + 1 < w; x += 2) {
                const std::uint16_t* a = &m_rgb[3 * static_cast<std::size_t>(SourceColumn(l, x))];
                const std::uint16_t* b = &m_rgb[3 * static_cast<std::size_t>(SourceColumn(l, x + 1))];
                int y0, y1, u0, u1, v0, v1;
                ToYuv(a[0] >> 8, a[1] >> 8, a[2] >> 8, &y0, &u0, &v0);
                ToYuv(b[0] >> 8, b[1] >> 8, b[2] >> 8, &y1, &u1, &v1);
                dst[2 * x] = static_cast<std::uint8_t>(y0);
                dst[2 * x + 1] = static_cast<std::uint8_t>((u0 + u1 + 1) >> 1);
                dst[2 * x + 2] = static_cast<std::uint8_t>(y1);
                dst[2 * x + 3] = static_cast<std::uint8_t>((v0 + v1 + 1) >> 1);
            }
            break;
        }
    }
}

void FrameFormatter::WriteTestPattern(const FrameLayout& l, std::uint8_t* out) {
    namespace pattern = vyx::sim::bus::pattern;
    const int w = l.width;
    const std::size_t stride = static_cast<std::size_t>(w) * BytesPerPixelOf(l.format);
    for (int r = 0; r < l.height; ++r) {
        const int v = l.startY + SourceRow(l, r);
        std::uint8_t* dst = out + static_cast<std::size_t>(r) * stride;
        for (int x = 0; x < w; ++x) {
            const int u = l.startX + SourceColumn(l, x);
            switch (l.format) {
            case IMG_RAW16: {
                const std::uint16_t value = pattern::Grey16(u, v);
                dst[2 * x] = static_cast<std::uint8_t>(value & 0xFF);
                dst[2 * x + 1] = static_cast<std::uint8_t>(value >> 8);
                break;
            }
            case IMG_RGB24:
                dst[3 * x] = pattern::Blue(u, v);
                dst[3 * x + 1] = pattern::Green(u, v);
                dst[3 * x + 2] = pattern::Red(u, v);
                break;
            case IMG_YUY2:
                dst[2 * x] = pattern::Grey8(u, v);
                dst[2 * x + 1] = (x & 1) == 0 ? pattern::PairU(u, v) : pattern::PairV(l.startX + SourceColumn(l, x - 1), v);
                break;
            default:
                dst[x] = pattern::Grey8(u, v);
                break;
            }
        }
    }
}

}  // namespace vyx::sim
