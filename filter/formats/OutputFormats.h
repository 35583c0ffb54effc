#pragma once
// The five uncompressed output formats of the pin, indexed by the output format index.
// The camera library produces each of them itself, so the pin never converts pixels.
#include <windows.h>

#include <cstdint>

namespace vyx {

// FOURCC subtypes follow the platform's rule: the FOURCC, then 0000-0010-8000-00AA00389B71.
inline constexpr GUID kSubtypeY16 = {0x20363159, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};
inline constexpr GUID kSubtypeY800 = {0x30303859, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};

enum OutputFormatIndex : std::int32_t {
    kOutputRGB8 = 0,
    kOutputY16 = 1,
    kOutputRGB24 = 2,
    kOutputYUY2 = 3,
    kOutputY800 = 4,
};
inline constexpr std::int32_t kOutputFormatCount = 5;

struct OutputFormat {
    GUID subtype;
    DWORD compression;
    WORD bitCount;
    bool greyPalette;  // 256 grey RGBQUAD entries follow the header
};

// Null outside 0..kOutputFormatCount-1.
const OutputFormat* OutputFormatAt(std::int32_t index);
// Index of the output format with this subtype, or -1.
std::int32_t OutputFormatIndexOf(const GUID& subtype);
// Bit count a type of this subtype must carry; 0 for a subtype the pin does not offer.
WORD ExpectedBitCount(const GUID& subtype);

}  // namespace vyx
