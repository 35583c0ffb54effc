// The deterministic frames of the test-pattern switch, for layout tests of the camera
// library and of its consumers. (u, v) is the pixel's position on the binned sensor:
// the region's start plus the pixel's place in the unflipped frame. A frame shows
// pixel (x, y) of its top-down, left-to-right picture from
//     u = startX + (flipH ? W - 1 - x : x),  v = startY + (flipV ? H - 1 - y : y),
// and stores that picture in the format's own row order (bottom-up for RAW8, Y8, RGB24).
#pragma once

#include <cstdint>

namespace vyx::sim::bus::pattern {

inline std::uint16_t Grey16(int u, int v) { return static_cast<std::uint16_t>((v * 256 + u) & 0xFFFF); }
inline std::uint8_t Grey8(int u, int v) { return static_cast<std::uint8_t>((u + 3 * v) & 0xFF); }
inline std::uint8_t Red(int u, int) { return static_cast<std::uint8_t>(u & 0xFF); }
inline std::uint8_t Green(int, int v) { return static_cast<std::uint8_t>(v & 0xFF); }
inline std::uint8_t Blue(int u, int v) { return static_cast<std::uint8_t>((u ^ v) & 0xFF); }
// YUY2: each pixel's Y is Grey8; a pair's U and V come from the source of its left pixel.
inline std::uint8_t PairU(int u, int v) { return static_cast<std::uint8_t>(Grey8(u, v) ^ 0x55); }
inline std::uint8_t PairV(int u, int v) { return static_cast<std::uint8_t>(Grey8(u, v) ^ 0xAA); }

}  // namespace vyx::sim::bus::pattern
