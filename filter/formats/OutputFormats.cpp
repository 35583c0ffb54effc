#include "OutputFormats.h"

#include <dshow.h>

#include <array>

namespace vyx {
namespace {
constexpr DWORD kFourccY16 = 0x20363159;
constexpr DWORD kFourccYUY2 = 0x32595559;

// "Y800" is described with BI_RGB, not its FOURCC: that is what grey consumers accept.
const std::array<OutputFormat, kOutputFormatCount> kOutputFormats = {{
    {MEDIASUBTYPE_RGB8, BI_RGB, 8, true},
    {kSubtypeY16, kFourccY16, 16, false},
    {MEDIASUBTYPE_RGB24, BI_RGB, 24, false},
    {MEDIASUBTYPE_YUY2, kFourccYUY2, 16, false},
    {kSubtypeY800, BI_RGB, 8, true},
}};
}  // namespace

const OutputFormat* OutputFormatAt(std::int32_t index) {
    if (index < 0 || index >= kOutputFormatCount) return nullptr;
    return &kOutputFormats[static_cast<std::size_t>(index)];
}

std::int32_t OutputFormatIndexOf(const GUID& subtype) {
    for (std::int32_t i = 0; i < kOutputFormatCount; ++i)
        if (IsEqualGUID(kOutputFormats[static_cast<std::size_t>(i)].subtype, subtype)) return i;
    return -1;
}

WORD ExpectedBitCount(const GUID& subtype) {
    const OutputFormat* format = OutputFormatAt(OutputFormatIndexOf(subtype));
    return format ? format->bitCount : 0;
}

}  // namespace vyx
