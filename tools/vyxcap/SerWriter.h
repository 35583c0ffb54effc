#pragma once
// Writes a SER file (version 3), the planetary-video format of stacking programs: a
// 178-byte header, the frames top row first, then one UTC time stamp per frame.
//
// 16-bit samples are written as they come, little-endian, with the header's LittleEndian
// field 0: that is how Siril and the capture and stacking programs it follows write and read
// little-endian data, although the format's own document gives the field the opposite
// meaning (FFmpeg follows the document and so reads these files byte-swapped).
//
// A run that is killed still leaves a readable file: the header's frame count is rewritten
// after every frame, so it never counts a frame not completely written; only the time stamp
// trailer, written by Finish, is then missing, which readers accept.
#include <cstdint>
#include <string>
#include <vector>

#include "FrameFile.h"
#include "OutputFile.h"

namespace vyx::vyxcap {

inline constexpr std::size_t kSerHeaderBytes = 178;
inline constexpr std::int32_t kSerColorMono = 0;
inline constexpr std::int32_t kSerColorBgr = 101;

// 100 ns ticks since 0001-01-01 from a FILETIME's ticks since 1601-01-01.
std::int64_t SerTicksFromFileTime(std::uint64_t fileTime);
std::int64_t SerTicksNowUtc();

class SerWriter final : public FrameFile {
public:
    // `instrument` goes into the header's Instrument field (ASCII, at most 40 characters).
    SerWriter(const std::wstring& path, const RecordingLayout& layout, const std::wstring& instrument);
    ~SerWriter() override;

    void WriteStoredFrame(const std::uint8_t* stored, std::int64_t utcTicks) override;
    void Finish() override;
    const std::wstring& Path() const override { return m_file.Path(); }

private:
    std::vector<std::uint8_t> Header() const;

    const std::string m_instrument;
    const std::int64_t m_startUtc;
    OutputFile m_file;
    std::vector<std::int64_t> m_times;  // the trailer, 8 bytes a frame
    bool m_finished = false;
};

}  // namespace vyx::vyxcap
