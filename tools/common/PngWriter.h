// A small PNG writer for 8-bit grey and 24-bit RGB images: uncompressed (stored) deflate
// blocks inside a valid zlib stream, with correct CRC-32 and Adler-32 checksums.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace vyx::png {

enum class PixelFormat {
    kGrey8,  // one byte a pixel
    kRgb24,  // R, G, B bytes a pixel
};

struct ImageView {
    int width = 0;
    int height = 0;
    PixelFormat format = PixelFormat::kGrey8;
    const std::uint8_t* pixels = nullptr;  // top row first
    std::size_t stride = 0;                // bytes from one row to the next
};

// The PNG file's bytes; empty when the view is invalid (no pixels, a size below 1,
// a stride shorter than a row, or an image too large for one file).
std::vector<std::uint8_t> Encode(const ImageView& image);

// Writes the file through a temporary beside it, so an existing file is replaced only by
// a complete one. Returns a Win32 error code; ERROR_INVALID_PARAMETER for an invalid view.
DWORD WriteFile(const std::wstring& path, const ImageView& image);

std::uint32_t Crc32(const std::uint8_t* data, std::size_t size, std::uint32_t crc = 0);
std::uint32_t Adler32(const std::uint8_t* data, std::size_t size, std::uint32_t adler = 1);

}  // namespace vyx::png
