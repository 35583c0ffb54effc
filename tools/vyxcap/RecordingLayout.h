#pragma once
// What a recording needs to know of the connected frames: size, samples per pixel, bytes
// per sample, row order and row stride. Only lossless layouts are recorded: 8-bit grey or
// raw (RGB8, Y800), 16-bit grey or raw (Y16, SER only) and RGB24; subsampled YUV is refused.
#include <windows.h>
#include <dshow.h>

#include <cstddef>

namespace vyx::vyxcap {

enum class RecordingContainer { Ser, Avi };

struct RecordingLayout {
    int width = 0;
    int height = 0;
    int channels = 0;        // 1: grey or raw; 3: B, G, R in memory, as DirectShow's RGB24
    int bytesPerSample = 0;  // 1, or 2 for little-endian 16-bit samples
    bool bottomUp = false;   // the sample's first row is the picture's bottom row
    std::size_t stride = 0;  // bytes from one row of the sample to the next
    REFERENCE_TIME frameInterval = 0;

    std::size_t RowBytes() const { return static_cast<std::size_t>(width) * channels * bytesPerSample; }
    std::size_t SampleBytes() const { return stride * static_cast<std::size_t>(height); }
};

// Throws ToolError with a message for the user when the container cannot hold the frames
// without loss.
RecordingLayout RecordingLayoutOf(const AM_MEDIA_TYPE& type, RecordingContainer container);

}  // namespace vyx::vyxcap
