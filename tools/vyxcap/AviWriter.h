#pragma once
// Writes an uncompressed RIFF AVI of one video stream, frames as DIBs (bottom row first, rows
// padded to four bytes): RGB24, or 8-bit with a grey palette. The first RIFF 'AVI ' chunk
// carries the classic 'idx1' index; once the file would pass the segment limit (1 GB, as the
// OpenDML extension asks) the frames go on in RIFF 'AVIX' chunks, and every segment has an
// OpenDML standard index ('ix00') listed in the stream's super index ('indx'), so players of
// both kinds find every frame.
//
// Index entries (8 to 24 bytes a frame) are kept until their segment closes; frames are not.
#include <cstdint>
#include <string>
#include <vector>

#include "FrameFile.h"
#include "OutputFile.h"

namespace vyx::vyxcap {

inline constexpr std::uint64_t kAviSegmentBytes = 1ull << 30;

class AviWriter final : public FrameFile {
public:
    // `segmentBytes` bounds each RIFF chunk; only tests pass less than the OpenDML gigabyte.
    AviWriter(const std::wstring& path, const RecordingLayout& layout, std::uint64_t segmentBytes = kAviSegmentBytes);
    ~AviWriter() override;

    void WriteStoredFrame(const std::uint8_t* stored, std::int64_t utcTicks) override;
    void Finish() override;
    const std::wstring& Path() const override { return m_file.Path(); }

private:
    struct SuperIndexEntry {
        std::uint64_t offset;  // of the segment's 'ix00' chunk
        std::uint32_t size;    // of that chunk, header included
        std::uint32_t frames;
    };

    std::vector<std::uint8_t> Header() const;
    void OpenSegment();
    void CloseSegment();
    std::uint64_t SegmentBytesWith(std::size_t frameBytes) const;

    const std::uint64_t m_segmentLimit;
    const std::size_t m_frameBytes;
    std::size_t m_headerBytes = 0;
    OutputFile m_file;
    // The open segment: where its RIFF and 'movi' list start, its frames' data offsets.
    std::uint64_t m_riffStart = 0;
    std::uint64_t m_moviStart = 0;
    std::vector<std::uint64_t> m_chunkOffsets;
    std::vector<SuperIndexEntry> m_superIndex;
    std::uint32_t m_firstSegmentFrames = 0;
    std::uint32_t m_firstRiffBytes = 0;  // the first segment's sizes, once it has closed
    std::uint32_t m_firstMoviBytes = 0;
    bool m_finished = false;
};

}  // namespace vyx::vyxcap
