#pragma once
// A recording file that stores every frame with the same row order and row stride (SER: top
// row first, packed; AVI: bottom row first, rows padded to four bytes). Turning a sample into
// those bytes is the one copy a frame needs on its way to the file: StoreFrame makes it where
// the caller wants it (the queue makes it straight into its own buffer), WriteStoredFrame
// appends the result. WriteFrame does both, and skips the copy when the sample already has
// the file's rows.
//
// Threads: as FrameWriter; StoreFrame only reads the layout, so it may run on one thread while
// WriteStoredFrame runs on another.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "FrameWriter.h"
#include "RecordingLayout.h"

namespace vyx::vyxcap {

class FrameFile : public FrameWriter {
public:
    std::size_t StoredFrameBytes() const { return m_storedStride * static_cast<std::size_t>(m_layout.height); }
    // `out` holds StoredFrameBytes(); throws ToolError on a sample shorter than a frame.
    void StoreFrame(const std::uint8_t* sample, std::size_t length, std::uint8_t* out) const;
    // `stored` is one frame as StoreFrame leaves it.
    virtual void WriteStoredFrame(const std::uint8_t* stored, std::int64_t utcTicks) = 0;

    // FrameWriter
    void WriteFrame(const std::uint8_t* data, std::size_t length, std::int64_t utcTicks) final;

protected:
    FrameFile(const RecordingLayout& layout, bool topRowFirst, std::size_t storedStride);

    const RecordingLayout m_layout;

private:
    bool HasStoredRows(std::size_t length) const;

    const bool m_topRowFirst;
    const std::size_t m_storedStride;
    std::vector<std::uint8_t> m_stored;  // one frame, reused, when rows must be turned or packed
};

}  // namespace vyx::vyxcap
