#include "FrameWriter.h"

#include <cstring>

#include "ToolError.h"

namespace vyx::vyxcap {

void PackRows(const RecordingLayout& layout, const std::uint8_t* sample, bool topFirst, std::size_t outStride,
              std::uint8_t* out) {
    const std::size_t rowBytes = layout.RowBytes();
    const bool reverse = topFirst == layout.bottomUp;
    for (int y = 0; y < layout.height; ++y) {
        const int source = reverse ? layout.height - 1 - y : y;
        std::uint8_t* row = out + outStride * static_cast<std::size_t>(y);
        std::memcpy(row, sample + layout.stride * static_cast<std::size_t>(source), rowBytes);
        std::memset(row + rowBytes, 0, outStride - rowBytes);
    }
}

void CheckSampleLength(const RecordingLayout& layout, std::size_t length) {
    // The last row need not carry its padding.
    const std::size_t needed = layout.SampleBytes() - (layout.stride - layout.RowBytes());
    if (length < needed)
        throw ToolError("a frame of " + std::to_string(length) + " bytes arrived where " + std::to_string(needed) +
                        " were due: the recording stops here");
}

}  // namespace vyx::vyxcap
