#pragma once
// Turns one captured frame into an upright picture for a PNG: rows top-down, RGB or grey.
// Bottom-up RGB and 8-bit frames are flipped, YUY2 and UYVY are converted to RGB, 16-bit
// grey is stretched into 8 bits so that a dark sky is still visible.
#include <windows.h>
#include <dshow.h>

#include <cstddef>
#include <cstdint>
#include <vector>

namespace vyx::vyxcap {

struct Image {
    int width = 0;
    int height = 0;
    int channels = 0;  // 1: grey, 3: R, G, B
    std::vector<std::uint8_t> pixels;  // rows top-down, width * channels bytes each
};

// Whether ConvertToImage knows the layout of frames of this type.
bool CanConvertToImage(const AM_MEDIA_TYPE& type);

// Throws ToolError for a layout it does not know or data shorter than one frame.
Image ConvertToImage(const AM_MEDIA_TYPE& type, const std::uint8_t* data, std::size_t length);

}  // namespace vyx::vyxcap
