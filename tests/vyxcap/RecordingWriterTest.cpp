// The recording writers on files of a few pixels: what each format's readers rely on (header
// fields, row order, sample order, counts, indexes), and what a killed run leaves behind.
#include <gtest/gtest.h>

#include <windows.h>
#include <dshow.h>

#include <cstdint>
#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "AviWriter.h"
#include "FourccSubtype.h"
#include "FrameFile.h"
#include "QueuedFrameWriter.h"
#include "RecordingLayout.h"
#include "SerWriter.h"
#include "ToolError.h"

using namespace vyx::vyxcap;

namespace {

using Bytes = std::vector<std::uint8_t>;

class VideoType {
public:
    VideoType(const GUID& subtype, LONG width, LONG height, WORD bits, DWORD compression) {
        m_header.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        m_header.bmiHeader.biWidth = width;
        m_header.bmiHeader.biHeight = height;
        m_header.bmiHeader.biBitCount = bits;
        m_header.bmiHeader.biCompression = compression;
        m_header.AvgTimePerFrame = 400000;
        m_type.majortype = MEDIATYPE_Video;
        m_type.subtype = subtype;
        m_type.formattype = FORMAT_VideoInfo;
        m_type.cbFormat = sizeof m_header;
        m_type.pbFormat = reinterpret_cast<BYTE*>(&m_header);
    }
    const AM_MEDIA_TYPE& get() const { return m_type; }

private:
    VIDEOINFOHEADER m_header{};
    AM_MEDIA_TYPE m_type{};
};

const GUID kY16 = FourccSubtype(0x20363159);
const GUID kY800 = FourccSubtype(0x30303859);

std::wstring TempPath(const wchar_t* name) {
    wchar_t folder[MAX_PATH];
    const DWORD length = GetTempPathW(MAX_PATH, folder);
    return std::wstring(folder, length) + name;
}

Bytes ReadFile(const std::wstring& path) {
    std::ifstream file(std::filesystem::path(path), std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

std::uint32_t U32(const Bytes& bytes, std::size_t at) {
    std::uint32_t value;
    std::memcpy(&value, bytes.data() + at, 4);
    return value;
}
std::int64_t I64(const Bytes& bytes, std::size_t at) {
    std::int64_t value;
    std::memcpy(&value, bytes.data() + at, 8);
    return value;
}
std::string Code(const Bytes& bytes, std::size_t at) { return std::string(bytes.begin() + at, bytes.begin() + at + 4); }

// Offsets of every chunk with this code, walking the RIFF tree.
void FindChunks(const Bytes& file, std::size_t begin, std::size_t end, const std::string& code,
                std::vector<std::size_t>& found) {
    while (begin + 8 <= end) {
        const std::string id = Code(file, begin);
        const std::size_t size = U32(file, begin + 4);
        if (id == code) found.push_back(begin);
        if (id == "RIFF" || id == "LIST") FindChunks(file, begin + 12, begin + 8 + size, code, found);
        begin += 8 + size + (size & 1);
    }
}
std::vector<std::size_t> Chunks(const Bytes& file, const std::string& code) {
    std::vector<std::size_t> found;
    FindChunks(file, 0, file.size(), code, found);
    return found;
}

}  // namespace

TEST(RecordingLayout, ReadsRowOrderStrideAndSampleSizeOfEachRecordableType) {
    struct Case {
        VideoType type;
        int channels, bytesPerSample;
        bool bottomUp;
        std::size_t stride;
    };
    const Case cases[] = {
        {{MEDIASUBTYPE_RGB24, 5, 2, 24, BI_RGB}, 3, 1, true, 16},  // rows padded to 4 bytes
        {{MEDIASUBTYPE_RGB24, 4, -2, 24, BI_RGB}, 3, 1, false, 12},
        {{MEDIASUBTYPE_RGB8, 6, 2, 8, BI_RGB}, 1, 1, true, 8},
        {{kY800, 4, 2, 8, BI_RGB}, 1, 1, true, 4},
        {{kY16, 5, 2, 16, 0x20363159}, 1, 2, false, 10},  // a FOURCC layout: top-down, packed
    };
    for (const Case& c : cases) {
        const RecordingLayout layout = RecordingLayoutOf(c.type.get(), RecordingContainer::Ser);
        EXPECT_EQ(layout.channels, c.channels);
        EXPECT_EQ(layout.bytesPerSample, c.bytesPerSample);
        EXPECT_EQ(layout.bottomUp, c.bottomUp);
        EXPECT_EQ(layout.stride, c.stride);
        EXPECT_EQ(layout.height, 2);
        EXPECT_EQ(layout.frameInterval, 400000);
    }
}

TEST(RecordingLayout, RefusesWhatIsNotLosslessOrDoesNotFitTheContainer) {
    const VideoType yuy2(MEDIASUBTYPE_YUY2, 4, 2, 16, 0x32595559);
    const VideoType y16(kY16, 4, 2, 16, 0x20363159);
    const VideoType rgb32(MEDIASUBTYPE_RGB32, 4, 2, 32, BI_RGB);
    auto message = [](const VideoType& type, RecordingContainer container) {
        try {
            RecordingLayoutOf(type.get(), container);
        } catch (const ToolError& error) {
            return std::string(error.what());
        }
        return std::string("accepted");
    };
    EXPECT_NE(message(yuy2, RecordingContainer::Ser).find("YUY2 frames"), std::string::npos);
    EXPECT_NE(message(yuy2, RecordingContainer::Avi).find("YUY2 frames"), std::string::npos);
    EXPECT_NE(message(y16, RecordingContainer::Avi).find("--ser"), std::string::npos);
    EXPECT_EQ(message(y16, RecordingContainer::Ser), "accepted");
    EXPECT_NE(message(rgb32, RecordingContainer::Ser).find("RGB32"), std::string::npos);
}

TEST(SerWriter, WritesBgrTopRowFirstCountsAsItGoesAndEndsWithTheTimes) {
    const std::wstring path = TempPath(L"vyxcap_ser_writer_test.ser");
    // 2 x 2 RGB24 as DirectShow delivers it: bottom row first, rows padded to 8 bytes.
    const VideoType type(MEDIASUBTYPE_RGB24, 2, 2, 24, BI_RGB);
    const Bytes sample = {1, 2, 3, 4, 5, 6, 0, 0, 7, 8, 9, 10, 11, 12, 0, 0};
    {
        SerWriter writer(path, RecordingLayoutOf(type.get(), RecordingContainer::Ser), L"VYX Test \x00e9 Camera");
        writer.WriteFrame(sample.data(), sample.size(), 1000);
        writer.WriteFrame(sample.data(), sample.size() - 2, 2000);  // the last row's padding may be missing
        // What a killed run leaves: both frames counted, no trailer yet.
        const Bytes killed = ReadFile(path);
        ASSERT_EQ(killed.size(), kSerHeaderBytes + 2 * 12);
        EXPECT_EQ(U32(killed, 38), 2u);
        EXPECT_THROW(writer.WriteFrame(sample.data(), 9, 3000), ToolError);
        EXPECT_EQ(U32(ReadFile(path), 38), 2u) << "a short frame must not be counted";
        writer.Finish();
    }
    const Bytes file = ReadFile(path);
    DeleteFileW(path.c_str());
    ASSERT_EQ(file.size(), kSerHeaderBytes + 2 * 12 + 2 * 8);
    EXPECT_EQ(std::string(file.begin(), file.begin() + 14), "LUCAM-RECORDER");
    EXPECT_EQ(U32(file, 18), 101u) << "ColorID BGR: DirectShow's byte order, kept";
    EXPECT_EQ(U32(file, 22), 0u) << "LittleEndian field as Siril reads it";
    EXPECT_EQ(U32(file, 26), 2u);
    EXPECT_EQ(U32(file, 30), 2u);
    EXPECT_EQ(U32(file, 34), 8u);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(file.data()) + 82), "VYX Test ? Camera");
    const Bytes topRowFirst = {7, 8, 9, 10, 11, 12, 1, 2, 3, 4, 5, 6};
    EXPECT_EQ(Bytes(file.begin() + kSerHeaderBytes, file.begin() + kSerHeaderBytes + 12), topRowFirst);
    EXPECT_EQ(I64(file, kSerHeaderBytes + 24), 1000);
    EXPECT_EQ(I64(file, kSerHeaderBytes + 32), 2000);
    EXPECT_GT(I64(file, 170), SerTicksFromFileTime(0)) << "DateTime_UTC";
}

TEST(SerWriter, Stores16BitSamplesLittleEndianAsTheyCome) {
    const std::wstring path = TempPath(L"vyxcap_ser_writer_16.ser");
    const VideoType type(kY16, 2, 1, 16, 0x20363159);
    const Bytes sample = {0x34, 0x12, 0xCD, 0xAB};
    {
        SerWriter writer(path, RecordingLayoutOf(type.get(), RecordingContainer::Ser), L"mono");
        writer.WriteFrame(sample.data(), sample.size(), 1);
    }  // finished by its destructor, as after an error
    const Bytes file = ReadFile(path);
    DeleteFileW(path.c_str());
    ASSERT_EQ(file.size(), kSerHeaderBytes + 4 + 8);
    EXPECT_EQ(U32(file, 18), 0u);
    EXPECT_EQ(U32(file, 22), 0u);
    EXPECT_EQ(U32(file, 34), 16u);
    EXPECT_EQ(Bytes(file.begin() + kSerHeaderBytes, file.begin() + kSerHeaderBytes + 4), sample);
}

TEST(AviWriter, SplitsIntoOpenDmlSegmentsWithEveryFrameIndexed) {
    const std::wstring path = TempPath(L"vyxcap_avi_writer_test.avi");
    // 64 x 2 grey, top-down: the AVI wants bottom-up DIB rows. The limit leaves the first
    // segment, after the 5 kB of headers, room for a few frames, and the others for more.
    const VideoType type(kY800, 64, -2, 8, BI_RGB);
    Bytes sample(128, 1);
    std::fill(sample.begin() + 64, sample.end(), 2);
    constexpr int kFrames = 150;
    constexpr std::uint32_t kLimit = 8192;
    {
        AviWriter writer(path, RecordingLayoutOf(type.get(), RecordingContainer::Avi), kLimit);
        for (int i = 0; i < kFrames; ++i) writer.WriteFrame(sample.data(), sample.size(), i);
        writer.Finish();
        EXPECT_EQ(writer.BytesWritten(), ReadFile(path).size());
    }
    const Bytes file = ReadFile(path);
    DeleteFileW(path.c_str());

    // The top-level chunks cover the file exactly: sizes were patched.
    std::size_t at = 0, riffs = 0;
    while (at + 8 <= file.size()) {
        EXPECT_EQ(Code(file, at), "RIFF");
        EXPECT_EQ(Code(file, at + 8), riffs == 0 ? "AVI " : "AVIX");
        EXPECT_LE(U32(file, at + 4) + 8, kLimit);
        at += 8 + U32(file, at + 4);
        ++riffs;
    }
    EXPECT_EQ(at, file.size());
    EXPECT_GE(riffs, 3u);

    const std::vector<std::size_t> frames = Chunks(file, "00db");
    ASSERT_EQ(frames.size(), static_cast<std::size_t>(kFrames));
    EXPECT_EQ(file[frames[0] + 8], 2) << "the bottom row first";
    EXPECT_EQ(file[frames[0] + 8 + 64], 1);
    const std::vector<std::size_t> standardIndexes = Chunks(file, "ix00");
    EXPECT_EQ(standardIndexes.size(), riffs);
    std::uint32_t indexed = 0;
    for (const std::size_t ix : standardIndexes) indexed += U32(file, ix + 12);
    EXPECT_EQ(indexed, static_cast<std::uint32_t>(kFrames));

    const std::vector<std::size_t> idx1 = Chunks(file, "idx1");
    ASSERT_EQ(idx1.size(), 1u);
    const std::uint32_t firstSegmentFrames = U32(file, idx1[0] + 4) / 16;
    const std::size_t avih = Chunks(file, "avih").at(0);
    EXPECT_EQ(U32(file, avih + 8 + 16), firstSegmentFrames) << "avih counts the first RIFF's frames";
    EXPECT_EQ(U32(file, Chunks(file, "dmlh").at(0) + 8), static_cast<std::uint32_t>(kFrames));
    const std::size_t indx = Chunks(file, "indx").at(0);
    EXPECT_EQ(U32(file, indx + 12), riffs) << "one super index entry per segment";
    const std::size_t strf = Chunks(file, "strf").at(0);
    EXPECT_EQ(U32(file, strf + 8 + 32), 256u) << "a grey palette follows the bitmap header";
    EXPECT_EQ(U32(file, strf + 8 + 40 + 4 * 200), 0x00C8C8C8u);
}

namespace {

// Records what reaches the file, and fails from a chosen frame on. Its frames are two rows of
// four grey bytes, delivered bottom row first and stored top row first, as a SER stores them.
RecordingLayout TwoRowLayout() {
    RecordingLayout layout;
    layout.width = 4;
    layout.height = 2;
    layout.channels = 1;
    layout.bytesPerSample = 1;
    layout.bottomUp = true;
    layout.stride = 4;
    return layout;
}

class ScriptedWriter final : public FrameFile {
public:
    ScriptedWriter(std::vector<std::int64_t>* written, int failFrom)
        : FrameFile(TwoRowLayout(), true, 4), m_written(written), m_failFrom(failFrom) {}
    void WriteStoredFrame(const std::uint8_t* stored, std::int64_t utcTicks) override {
        if (static_cast<int>(m_written->size()) >= m_failFrom) throw ToolError("disk full");
        // Runs on the writing thread: the test body checks what it recorded.
        m_written->push_back(utcTicks * 1000 + stored[0]);
        ++m_frames;
        m_bytesWritten = m_bytesWritten + StoredFrameBytes();
    }
    void Finish() override { m_written->push_back(-1); }
    const std::wstring& Path() const override { return m_path; }

private:
    std::vector<std::int64_t>* m_written;
    const int m_failFrom;
    std::wstring m_path = L"scripted";
};

}  // namespace

TEST(QueuedFrameWriter, WritesEveryFrameInOrderFromCopiesInTheFilesRowOrderThenFinishes) {
    std::vector<std::int64_t> written;
    QueuedFrameWriter writer(std::make_unique<ScriptedWriter>(&written, 1000));
    constexpr int kFrames = 3 * QueuedFrameWriter::kQueuedFrames;
    for (int i = 0; i < kFrames; ++i) {
        Bytes frame(8, static_cast<std::uint8_t>(i));
        std::fill(frame.begin() + 4, frame.end(), static_cast<std::uint8_t>(100 + i));  // the top row
        writer.WriteFrame(frame.data(), frame.size(), i);
        frame.assign(8, 0xEE);  // the caller's buffer goes back to the camera at once
    }
    // A short sample is refused at once, and its buffer serves the frames after it.
    const Bytes shortFrame(5, 1);
    EXPECT_THROW(writer.WriteFrame(shortFrame.data(), shortFrame.size(), 99), ToolError);
    for (int i = 0; i <= QueuedFrameWriter::kQueuedFrames; ++i) {
        const Bytes frame(8, 200);
        writer.WriteFrame(frame.data(), frame.size(), kFrames + i);
    }
    const int total = kFrames + QueuedFrameWriter::kQueuedFrames + 1;
    EXPECT_EQ(writer.Frames(), total);
    writer.Finish();
    ASSERT_EQ(written.size(), static_cast<std::size_t>(total + 1));
    for (int i = 0; i < kFrames; ++i) EXPECT_EQ(written[i], i * 1000 + 100 + i) << "the top row first";
    EXPECT_EQ(written[total - 1], (total - 1) * 1000 + 200);
    EXPECT_EQ(written.back(), -1) << "finished after the last frame";
    EXPECT_EQ(writer.BytesWritten(), 8u * total);
}

TEST(QueuedFrameWriter, ReportsAFailedWriteOnTheNextFrameAndAtFinish) {
    std::vector<std::int64_t> written;
    QueuedFrameWriter writer(std::make_unique<ScriptedWriter>(&written, 2));
    const Bytes frame(8, 1);
    bool refused = false;
    // The failure shows once the writing thread has met it: within a queue's worth of frames.
    for (int i = 0; i < 100 * QueuedFrameWriter::kQueuedFrames && !refused; ++i) {
        try {
            writer.WriteFrame(frame.data(), frame.size(), i);
        } catch (const ToolError& error) {
            refused = std::string(error.what()) == "disk full";
        }
        if (i == QueuedFrameWriter::kQueuedFrames) Sleep(50);
    }
    EXPECT_TRUE(refused);
    EXPECT_THROW(writer.Finish(), ToolError);
    EXPECT_EQ(written.size(), 2u) << "nothing written after the failure, and no finish";
}
