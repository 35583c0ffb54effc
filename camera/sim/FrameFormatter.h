// Writes a raw frame in the byte layout its ImageFormat promises a DirectShow consumer:
// bottom-up rows for RAW8, Y8 and RGB24 (B, G, R), top-down for YUY2 and RAW16
// (little-endian). Colour frames are demosaiced for RGB24, YUY2 and Y8; flips mirror
// the picture. Also writes the deterministic test-pattern frames (see TestPattern.h).
#pragma once

#include <cstdint>
#include <vector>

#include "VyxonCamera.h"

namespace vyx::sim {

struct FrameLayout {
    int width = 0;
    int height = 0;
    ImageFormat format = IMG_RAW8;
    bool color = false;
    bool flipH = false;
    bool flipV = false;
    bool highQuality = true;  // bilinear demosaic; otherwise 2x2 superpixels
    int startX = 0;           // binned, for the colour pattern's phase
    int startY = 0;
};

class FrameFormatter {
public:
    // out: width * height * bytes-per-pixel bytes.
    void Write(const std::uint16_t* raw, const FrameLayout& layout, std::uint8_t* out);
    void WriteTestPattern(const FrameLayout& layout, std::uint8_t* out);

private:
    // One source row as 16-bit R, G, B triplets, in sensor order (no flip).
    void ColorRow(const std::uint16_t* raw, const FrameLayout& layout, int y);

    std::vector<std::uint16_t> m_rgb;
};

}  // namespace vyx::sim
