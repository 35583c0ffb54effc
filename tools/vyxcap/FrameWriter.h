#pragma once
// A recording file that takes frames one at a time as they arrive and keeps none of them:
// SerWriter and AviWriter. Finish completes the file (index, trailer, final counts); a
// writer destroyed without Finish finishes quietly, so a run that ends in an error still
// leaves a readable file of the frames written so far.
//
// Threads: WriteFrame runs on the recording sink's streaming thread; Finish runs on the main
// thread after the graph has stopped. BytesWritten and Frames may be read from any thread.
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>

#include "RecordingLayout.h"

namespace vyx::vyxcap {

class FrameWriter {
public:
    virtual ~FrameWriter() = default;
    FrameWriter(const FrameWriter&) = delete;
    FrameWriter& operator=(const FrameWriter&) = delete;

    // `data` is one sample in the layout's row order and stride; `utcTicks` is the frame's
    // time in 100 ns ticks since 0001-01-01 UTC. Throws ToolError on a short sample or a
    // failed write.
    virtual void WriteFrame(const std::uint8_t* data, std::size_t length, std::int64_t utcTicks) = 0;
    // Idempotent; throws ToolError when the file cannot be completed.
    virtual void Finish() = 0;
    virtual const std::wstring& Path() const = 0;

    std::uint64_t BytesWritten() const { return m_bytesWritten.load(); }
    int Frames() const { return m_frames.load(); }

protected:
    FrameWriter() = default;
    std::atomic<std::uint64_t> m_bytesWritten{0};
    std::atomic<int> m_frames{0};
};

// Copies a sample's rows into `out` in the wanted order (top row first or bottom row first),
// each row `outStride` bytes long (the row's pixels, then zero padding).
void PackRows(const RecordingLayout& layout, const std::uint8_t* sample, bool topFirst, std::size_t outStride,
              std::uint8_t* out);

// Throws ToolError when a sample is shorter than one frame of the layout.
void CheckSampleLength(const RecordingLayout& layout, std::size_t length);

}  // namespace vyx::vyxcap
