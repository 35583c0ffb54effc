#include "SerWriter.h"

#include <windows.h>

#include <cstring>

namespace vyx::vyxcap {
namespace {

constexpr std::size_t kFrameCountOffset = 38;
constexpr std::size_t kTextFieldBytes = 40;
// From 0001-01-01 to 1601-01-01, in 100 ns ticks.
constexpr std::int64_t kTicksTo1601 = 504911232000000000LL;

void Put32(std::uint8_t* out, std::size_t offset, std::int32_t value) {
    const auto bits = static_cast<std::uint32_t>(value);
    for (int i = 0; i < 4; ++i) out[offset + i] = static_cast<std::uint8_t>(bits >> (8 * i));
}

void Put32(std::vector<std::uint8_t>& out, std::size_t offset, std::int32_t value) { Put32(out.data(), offset, value); }

void Put64(std::vector<std::uint8_t>& out, std::size_t offset, std::int64_t value) {
    const auto bits = static_cast<std::uint64_t>(value);
    for (int i = 0; i < 8; ++i) out[offset + i] = static_cast<std::uint8_t>(bits >> (8 * i));
}

std::string AsciiField(const std::wstring& text) {
    std::string ascii;
    for (const wchar_t c : text) {
        if (ascii.size() == kTextFieldBytes) break;
        ascii += c >= 0x20 && c < 0x7F ? static_cast<char>(c) : '?';
    }
    return ascii;
}

std::uint64_t FileTimeTicks(const FILETIME& time) {
    return (static_cast<std::uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

std::int64_t LocalTicks(std::int64_t utcTicks) {
    const std::uint64_t fileTime = static_cast<std::uint64_t>(utcTicks - kTicksTo1601);
    FILETIME utc{static_cast<DWORD>(fileTime), static_cast<DWORD>(fileTime >> 32)};
    FILETIME local{};
    if (!FileTimeToLocalFileTime(&utc, &local)) return utcTicks;
    return SerTicksFromFileTime(FileTimeTicks(local));
}

}  // namespace

std::int64_t SerTicksFromFileTime(std::uint64_t fileTime) { return static_cast<std::int64_t>(fileTime) + kTicksTo1601; }

std::int64_t SerTicksNowUtc() {
    FILETIME now{};
    GetSystemTimeAsFileTime(&now);
    return SerTicksFromFileTime(FileTimeTicks(now));
}

SerWriter::SerWriter(const std::wstring& path, const RecordingLayout& layout, const std::wstring& instrument)
    : FrameFile(layout, true, layout.RowBytes()),
      m_instrument(AsciiField(instrument)),
      m_startUtc(SerTicksNowUtc()),
      m_file(path) {
    const std::vector<std::uint8_t> header = Header();
    m_file.Append(header.data(), header.size());
    m_bytesWritten = m_file.Size();
}

SerWriter::~SerWriter() {
    try {
        Finish();
    } catch (...) {  // a destructor reports nothing; the main thread's own Finish did
    }
}

std::vector<std::uint8_t> SerWriter::Header() const {
    std::vector<std::uint8_t> header(kSerHeaderBytes, 0);
    std::memcpy(header.data(), "LUCAM-RECORDER", 14);
    Put32(header, 14, 0);  // LuID
    Put32(header, 18, m_layout.channels == 3 ? kSerColorBgr : kSerColorMono);
    Put32(header, 22, 0);  // little-endian samples, as Siril reads the field
    Put32(header, 26, m_layout.width);
    Put32(header, 30, m_layout.height);
    Put32(header, 34, 8 * m_layout.bytesPerSample);
    Put32(header, kFrameCountOffset, Frames());
    std::memcpy(header.data() + 42 + kTextFieldBytes, m_instrument.data(), m_instrument.size());
    Put64(header, 162, LocalTicks(m_startUtc));
    Put64(header, 170, m_startUtc);
    return header;
}

void SerWriter::WriteStoredFrame(const std::uint8_t* stored, std::int64_t utcTicks) {
    m_file.Append(stored, StoredFrameBytes());
    m_times.push_back(utcTicks);
    ++m_frames;
    // The frame is in the file before the count includes it.
    std::uint8_t count[4];
    Put32(count, 0, Frames());
    m_file.WriteAt(kFrameCountOffset, count, sizeof count);
    m_bytesWritten = m_file.Size();
}

void SerWriter::Finish() {
    if (m_finished) return;
    m_finished = true;
    std::vector<std::uint8_t> trailer(8 * m_times.size());
    for (std::size_t i = 0; i < m_times.size(); ++i) Put64(trailer, 8 * i, m_times[i]);
    m_file.Append(trailer.data(), trailer.size());
    m_bytesWritten = m_file.Size();
}

}  // namespace vyx::vyxcap
