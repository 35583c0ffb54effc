#include "AviWriter.h"

#include <cstring>
#include <numeric>

#include "Text.h"
#include "ToolError.h"

namespace vyx::vyxcap {
namespace {

constexpr std::size_t kSuperIndexCapacity = 256;  // segments: 256 GB at the OpenDML gigabyte
constexpr std::uint32_t kAvifHasIndex = 0x10;
constexpr std::uint32_t kAviifKeyframe = 0x10;
constexpr std::uint8_t kAviIndexOfIndexes = 0x00;
constexpr std::uint8_t kAviIndexOfChunks = 0x01;
constexpr std::size_t kSegmentHeaderBytes = 24;  // RIFF size 'AVIX' LIST size 'movi'
constexpr std::size_t kStandardIndexHeaderBytes = 32;

// Little-endian bytes, with chunk sizes patched when a chunk ends.
class Bytes {
public:
    void Fourcc(const char* code) { m_bytes.insert(m_bytes.end(), code, code + 4); }
    void U16(std::uint16_t value) { Put(value, 2); }
    void U32(std::uint32_t value) { Put(value, 4); }
    void U64(std::uint64_t value) { Put(value, 8); }
    void Zeros(std::size_t count) { m_bytes.insert(m_bytes.end(), count, 0); }
    // 'code' and a size to patch; for a LIST or RIFF, `form` follows.
    std::size_t Begin(const char* code, const char* form = nullptr) {
        Fourcc(code);
        const std::size_t sizeAt = m_bytes.size();
        U32(0);
        if (form) Fourcc(form);
        return sizeAt;
    }
    void End(std::size_t sizeAt) { PatchU32(sizeAt, static_cast<std::uint32_t>(m_bytes.size() - sizeAt - 4)); }
    void PatchU32(std::size_t at, std::uint32_t value) {
        for (int i = 0; i < 4; ++i) m_bytes[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
    }
    std::vector<std::uint8_t>& Data() { return m_bytes; }

private:
    void Put(std::uint64_t value, int count) {
        for (int i = 0; i < count; ++i) m_bytes.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
    }
    std::vector<std::uint8_t> m_bytes;
};

std::uint32_t U32Of(std::uint64_t value) { return static_cast<std::uint32_t>(value); }

// DIB rows are padded to four bytes.
std::size_t DibStride(const RecordingLayout& layout) { return (layout.RowBytes() + 3) / 4 * 4; }

}  // namespace

AviWriter::AviWriter(const std::wstring& path, const RecordingLayout& layout, std::uint64_t segmentBytes)
    : FrameFile(layout, false, DibStride(layout)),
      m_segmentLimit(segmentBytes),
      m_frameBytes(StoredFrameBytes()),
      m_file(path) {
    if (layout.bytesPerSample != 1 || (layout.channels != 1 && layout.channels != 3))
        throw ToolError("an AVI file holds RGB24 or 8-bit frames only");
    const std::vector<std::uint8_t> header = Header();
    m_headerBytes = header.size();
    m_file.Append(header.data(), header.size());
    m_riffStart = 0;
    m_moviStart = m_headerBytes - 12;
    m_bytesWritten = m_file.Size();
}

AviWriter::~AviWriter() {
    try {
        Finish();
    } catch (...) {  // a destructor reports nothing; the main thread's own Finish did
    }
}

std::vector<std::uint8_t> AviWriter::Header() const {
    const bool grey = m_layout.channels == 1;
    REFERENCE_TIME interval = m_layout.frameInterval > 0 ? m_layout.frameInterval : 333333;
    const std::uint64_t divisor = std::gcd<std::uint64_t, std::uint64_t>(interval, 10000000);
    const auto scale = static_cast<std::uint32_t>(interval / divisor);
    const auto rate = static_cast<std::uint32_t>(10000000 / divisor);
    const auto totalFrames = static_cast<std::uint32_t>(Frames());
    const auto bufferBytes = static_cast<std::uint32_t>(m_frameBytes + 8);

    Bytes b;
    const std::size_t riff = b.Begin("RIFF", "AVI ");
    const std::size_t hdrl = b.Begin("LIST", "hdrl");
    const std::size_t avih = b.Begin("avih");
    b.U32(static_cast<std::uint32_t>(interval / 10));                          // dwMicroSecPerFrame
    b.U32(static_cast<std::uint32_t>(m_frameBytes * 10000000ull / interval));  // dwMaxBytesPerSec
    b.U32(0);                                                                  // dwPaddingGranularity
    b.U32(kAvifHasIndex);
    b.U32(m_superIndex.empty() ? totalFrames : m_firstSegmentFrames);  // the first RIFF's frames
    b.U32(0);                                                          // dwInitialFrames
    b.U32(1);                                                          // dwStreams
    b.U32(bufferBytes);
    b.U32(static_cast<std::uint32_t>(m_layout.width));
    b.U32(static_cast<std::uint32_t>(m_layout.height));
    b.Zeros(16);
    b.End(avih);

    const std::size_t strl = b.Begin("LIST", "strl");
    const std::size_t strh = b.Begin("strh");
    b.Fourcc("vids");
    b.U32(0);  // fccHandler: uncompressed
    b.U32(0);  // dwFlags
    b.U16(0);  // wPriority
    b.U16(0);  // wLanguage
    b.U32(0);  // dwInitialFrames
    b.U32(scale);
    b.U32(rate);
    b.U32(0);  // dwStart
    b.U32(totalFrames);
    b.U32(bufferBytes);
    b.U32(0xFFFFFFFFu);  // dwQuality: default
    b.U32(static_cast<std::uint32_t>(m_frameBytes));
    b.U16(0);
    b.U16(0);
    b.U16(static_cast<std::uint16_t>(m_layout.width));
    b.U16(static_cast<std::uint16_t>(m_layout.height));
    b.End(strh);

    const std::size_t strf = b.Begin("strf");
    b.U32(40);
    b.U32(static_cast<std::uint32_t>(m_layout.width));
    b.U32(static_cast<std::uint32_t>(m_layout.height));  // positive: bottom row first
    b.U16(1);
    b.U16(grey ? 8 : 24);
    b.U32(0);  // BI_RGB
    b.U32(static_cast<std::uint32_t>(m_frameBytes));
    b.U32(0);
    b.U32(0);
    b.U32(grey ? 256 : 0);
    b.U32(0);
    if (grey)
        for (std::uint32_t level = 0; level < 256; ++level) b.U32(level * 0x010101u);
    b.End(strf);

    const std::size_t indx = b.Begin("indx");
    b.U16(4);               // wLongsPerEntry
    b.Data().push_back(0);  // bIndexSubType
    b.Data().push_back(kAviIndexOfIndexes);
    b.U32(static_cast<std::uint32_t>(m_superIndex.size()));
    b.Fourcc("00db");
    b.Zeros(12);
    for (const SuperIndexEntry& entry : m_superIndex) {
        b.U64(entry.offset);
        b.U32(entry.size);
        b.U32(entry.frames);
    }
    b.Zeros(16 * (kSuperIndexCapacity - m_superIndex.size()));
    b.End(indx);
    b.End(strl);

    const std::size_t odml = b.Begin("LIST", "odml");
    const std::size_t dmlh = b.Begin("dmlh");
    b.U32(totalFrames);
    b.Zeros(244);
    b.End(dmlh);
    b.End(odml);
    b.End(hdrl);

    const std::size_t movi = b.Begin("LIST", "movi");
    // Both sizes as the first segment had them when it closed (none yet while recording).
    b.PatchU32(riff, m_firstRiffBytes);
    b.PatchU32(movi, m_firstMoviBytes);
    return std::move(b.Data());
}

std::uint64_t AviWriter::SegmentBytesWith(std::size_t frameBytes) const {
    const std::uint64_t frames = m_chunkOffsets.size() + 1;
    std::uint64_t bytes = m_file.Size() + 8 + frameBytes - m_riffStart;
    bytes += kStandardIndexHeaderBytes + 8 * frames;
    if (m_superIndex.empty()) bytes += 8 + 16 * frames;  // the first segment's idx1
    return bytes;
}

void AviWriter::WriteStoredFrame(const std::uint8_t* stored, std::int64_t) {
    if (!m_chunkOffsets.empty() && SegmentBytesWith(m_frameBytes) > m_segmentLimit) {
        CloseSegment();
        OpenSegment();
    }
    const auto size = static_cast<std::uint32_t>(m_frameBytes);
    const std::uint8_t chunk[8] = {'0', '0', 'd', 'b', static_cast<std::uint8_t>(size), static_cast<std::uint8_t>(size >> 8),
                                   static_cast<std::uint8_t>(size >> 16), static_cast<std::uint8_t>(size >> 24)};
    const std::uint64_t chunkAt = m_file.Size();
    m_file.Append(chunk, sizeof chunk);
    m_file.Append(stored, m_frameBytes);
    m_chunkOffsets.push_back(chunkAt);
    ++m_frames;
    m_bytesWritten = m_file.Size();
}

void AviWriter::OpenSegment() {
    if (m_superIndex.size() == kSuperIndexCapacity)
        throw ToolError("\"" + Narrow(Path()) + "\" is full: an AVI file holds " + std::to_string(kSuperIndexCapacity) +
                        " segments of " + std::to_string(m_segmentLimit) + " bytes; the recording stops here");
    m_riffStart = m_file.Size();
    Bytes b;
    b.Begin("RIFF", "AVIX");
    b.Begin("LIST", "movi");
    m_file.Append(b.Data().data(), b.Data().size());
    m_moviStart = m_riffStart + 12;
}

void AviWriter::CloseSegment() {
    const bool first = m_superIndex.empty();
    const auto frames = static_cast<std::uint32_t>(m_chunkOffsets.size());
    Bytes ix;
    const std::size_t ixSize = ix.Begin("ix00");
    ix.U16(2);  // wLongsPerEntry
    ix.Data().push_back(0);
    ix.Data().push_back(kAviIndexOfChunks);
    ix.U32(frames);
    ix.Fourcc("00db");
    ix.U64(m_moviStart);  // qwBaseOffset
    ix.U32(0);
    for (const std::uint64_t chunkAt : m_chunkOffsets) {
        ix.U32(U32Of(chunkAt + 8 - m_moviStart));          // the data, past the chunk header
        ix.U32(static_cast<std::uint32_t>(m_frameBytes));  // bit 31 clear: a key frame
    }
    ix.End(ixSize);
    const std::uint64_t ixAt = m_file.Size();
    m_file.Append(ix.Data().data(), ix.Data().size());
    m_superIndex.push_back({ixAt, static_cast<std::uint32_t>(ix.Data().size()), frames});

    Bytes sizes;
    sizes.U32(U32Of(m_file.Size() - m_moviStart - 8));
    m_file.WriteAt(m_moviStart + 4, sizes.Data().data(), 4);
    if (first) {
        m_firstMoviBytes = U32Of(m_file.Size() - m_moviStart - 8);
        m_firstSegmentFrames = frames;
        Bytes idx1;
        const std::size_t idx1Size = idx1.Begin("idx1");
        for (const std::uint64_t chunkAt : m_chunkOffsets) {
            idx1.Fourcc("00db");
            idx1.U32(kAviifKeyframe);
            idx1.U32(U32Of(chunkAt - (m_moviStart + 8)));  // from the 'movi' code
            idx1.U32(static_cast<std::uint32_t>(m_frameBytes));
        }
        idx1.End(idx1Size);
        m_file.Append(idx1.Data().data(), idx1.Data().size());
        m_firstRiffBytes = U32Of(m_file.Size() - 8);
    }
    Bytes riff;
    riff.U32(U32Of(m_file.Size() - m_riffStart - 8));
    m_file.WriteAt(m_riffStart + 4, riff.Data().data(), 4);
    m_chunkOffsets.clear();
    m_bytesWritten = m_file.Size();
}

void AviWriter::Finish() {
    if (m_finished) return;
    m_finished = true;
    CloseSegment();
    const std::vector<std::uint8_t> header = Header();
    m_file.WriteAt(0, header.data(), header.size());
}

}  // namespace vyx::vyxcap
