#include "MfCapture.h"

#include <mfapi.h>
#include <mferror.h>
#include <mfidl.h>
#include <mfreadwrite.h>
#include <uuids.h>
#include <wrl/client.h>

#include <cmath>
#include <cstdio>
#include <optional>
#include <vector>

#include "CaptureReport.h"
#include "ConsoleInterrupt.h"
#include "FrameStats.h"
#include "ImageConvert.h"
#include "MfSources.h"
#include "OutputFile.h"
#include "PngOutput.h"
#include "Recording.h"
#include "SerWriter.h"
#include "SubtypeName.h"
#include "Text.h"
#include "ToolError.h"

namespace vyx::vyxcap {

using Microsoft::WRL::ComPtr;

namespace {

// Media Foundation's own subtypes for uncompressed video; the others are FOURCC GUIDs.
const struct {
    const GUID* subtype;
    const wchar_t* name;
} kMfSubtypes[] = {
    {&MFVideoFormat_NV12, L"NV12"}, {&MFVideoFormat_YUY2, L"YUY2"}, {&MFVideoFormat_RGB32, L"RGB32"},
    {&MFVideoFormat_RGB24, L"RGB24"}, {&MFVideoFormat_L8, L"L8"},   {&MFVideoFormat_L16, L"L16"},
};

std::wstring MfSubtypeName(const GUID& subtype) {
    for (const auto& known : kMfSubtypes)
        if (IsEqualGUID(*known.subtype, subtype)) return known.name;
    return SubtypeName(subtype);
}

// Media Foundation starts and stops with the command.
class MediaFoundation {
public:
    MediaFoundation() { ThrowIfFailed(MFStartup(MF_VERSION, MFSTARTUP_NOSOCKET), "MFStartup"); }
    ~MediaFoundation() { MFShutdown(); }
    MediaFoundation(const MediaFoundation&) = delete;
    MediaFoundation& operator=(const MediaFoundation&) = delete;
};

// The source's media types through its stream's type handler, where the current one is set.
ComPtr<IMFMediaTypeHandler> TypeHandler(IMFMediaSource* source) {
    ComPtr<IMFPresentationDescriptor> presentation;
    ComPtr<IMFStreamDescriptor> stream;
    ComPtr<IMFMediaTypeHandler> handler;
    BOOL selected = FALSE;
    ThrowIfFailed(source->CreatePresentationDescriptor(&presentation), "CreatePresentationDescriptor");
    ThrowIfFailed(presentation->GetStreamDescriptorByIndex(0, &selected, &stream), "GetStreamDescriptorByIndex");
    ThrowIfFailed(stream->GetMediaTypeHandler(&handler), "GetMediaTypeHandler");
    return handler;
}

struct TypeFacts {
    GUID subtype{};
    UINT32 width = 0, height = 0;
    UINT32 fpsNumerator = 0, fpsDenominator = 1;
    UINT32 minFps = 0, maxFps = 0, ignored = 0;
};

TypeFacts FactsOf(IMFMediaType* type) {
    TypeFacts facts;
    type->GetGUID(MF_MT_SUBTYPE, &facts.subtype);
    MFGetAttributeSize(type, MF_MT_FRAME_SIZE, &facts.width, &facts.height);
    MFGetAttributeRatio(type, MF_MT_FRAME_RATE, &facts.fpsNumerator, &facts.fpsDenominator);
    MFGetAttributeRatio(type, MF_MT_FRAME_RATE_RANGE_MIN, &facts.minFps, &facts.ignored);
    MFGetAttributeRatio(type, MF_MT_FRAME_RATE_RANGE_MAX, &facts.maxFps, &facts.ignored);
    if (facts.fpsDenominator == 0) facts.fpsDenominator = 1;
    return facts;
}

// The first type that fits the options, as `capture` chooses among a DirectShow pin's.
ComPtr<IMFMediaType> ChooseType(IMFMediaTypeHandler* handler, const CaptureOptions& options) {
    DWORD count = 0;
    handler->GetMediaTypeCount(&count);
    for (DWORD i = 0; i < count; ++i) {
        ComPtr<IMFMediaType> type;
        if (FAILED(handler->GetMediaTypeByIndex(i, &type))) continue;
        const TypeFacts facts = FactsOf(type.Get());
        if (!options.format.empty() &&
            CompareStringOrdinal(MfSubtypeName(facts.subtype).c_str(), -1, options.format.c_str(), -1, TRUE) != CSTR_EQUAL)
            continue;
        if (options.width > 0 && (facts.width != static_cast<UINT32>(options.width) ||
                                  facts.height != static_cast<UINT32>(options.height)))
            continue;
        if (options.fps > 0) {
            if (options.fps < facts.minFps || options.fps > facts.maxFps) continue;
            ThrowIfFailed(MFSetAttributeRatio(type.Get(), MF_MT_FRAME_RATE,
                                              static_cast<UINT32>(std::lround(options.fps * 1000)), 1000),
                          "setting the frame rate");
        }
        return type;
    }
    throw ToolError("the media source offers no " + (options.format.empty() ? std::string("type") : Narrow(options.format)) +
                    (options.width > 0 ? " at " + std::to_string(options.width) + "x" + std::to_string(options.height) : "") +
                    (options.fps > 0 ? " at that frame rate" : "") + " (see vyxcap caps DEVICE --api mf)");
}

// The DirectShow description of the same frames, for the picture and the recording writers:
// Media Foundation's frames here are top-down and packed.
struct DirectShowView {
    AM_MEDIA_TYPE type{};
    VIDEOINFOHEADER info{};
    bool stripToRgb24 = false;  // RGB32 frames recorded as RGB24
};

constexpr DWORD kFourccY800 = 0x30303859;
constexpr DWORD kFourccY16 = 0x20363159;
constexpr DWORD kFourccYuy2 = 0x32595559;

DirectShowView ViewOf(const TypeFacts& facts, REFERENCE_TIME interval, bool forRecording) {
    DirectShowView view;
    BITMAPINFOHEADER& header = view.info.bmiHeader;
    header.biSize = sizeof header;
    header.biWidth = static_cast<LONG>(facts.width);
    header.biHeight = -static_cast<LONG>(facts.height);
    header.biPlanes = 1;
    view.info.AvgTimePerFrame = interval;
    const std::wstring name = MfSubtypeName(facts.subtype);
    GUID subtype = facts.subtype;
    if (name == L"L8") {
        subtype = {kFourccY800, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};
        header.biCompression = kFourccY800;
        header.biBitCount = 8;
    } else if (name == L"L16") {
        subtype = {kFourccY16, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};
        header.biCompression = kFourccY16;
        header.biBitCount = 16;
    } else if (name == L"RGB32") {
        view.stripToRgb24 = forRecording;
        subtype = forRecording ? MEDIASUBTYPE_RGB24 : MEDIASUBTYPE_RGB32;
        header.biCompression = BI_RGB;
        header.biBitCount = forRecording ? 24 : 32;
    } else if (name == L"YUY2" || name == L"NV12") {
        // An NV12 picture goes through YUY2 (NV12ToYuy2); neither is recorded.
        subtype = MEDIASUBTYPE_YUY2;
        header.biCompression = kFourccYuy2;
        header.biBitCount = 16;
        if (name == L"NV12" && forRecording) subtype = facts.subtype;
    }
    header.biSizeImage = static_cast<DWORD>(facts.width * facts.height * header.biBitCount / 8);
    view.type.majortype = MEDIATYPE_Video;
    view.type.subtype = subtype;
    view.type.bFixedSizeSamples = TRUE;
    view.type.lSampleSize = header.biSizeImage;
    view.type.formattype = FORMAT_VideoInfo;
    view.type.cbFormat = sizeof view.info;
    view.type.pbFormat = reinterpret_cast<BYTE*>(&view.info);
    return view;
}

// Chroma rows repeated: enough for a picture to look at.
std::vector<std::uint8_t> Nv12ToYuy2(const std::vector<std::uint8_t>& nv12, UINT32 width, UINT32 height) {
    std::vector<std::uint8_t> yuy2(static_cast<size_t>(width) * height * 2);
    if (nv12.size() < static_cast<size_t>(width) * height * 3 / 2) return yuy2;
    const std::uint8_t* chroma = nv12.data() + static_cast<size_t>(width) * height;
    for (UINT32 y = 0; y < height; ++y)
        for (UINT32 x = 0; x < width; x += 2) {
            std::uint8_t* out = &yuy2[(static_cast<size_t>(y) * width + x) * 2];
            const std::uint8_t* uv = chroma + static_cast<size_t>(y / 2) * width + x;
            out[0] = nv12[static_cast<size_t>(y) * width + x];
            out[1] = uv[0];
            out[2] = nv12[static_cast<size_t>(y) * width + x + 1];
            out[3] = uv[1];
        }
    return yuy2;
}

std::vector<std::uint8_t> StripToRgb24(const std::vector<std::uint8_t>& bgrx) {
    std::vector<std::uint8_t> bgr(bgrx.size() / 4 * 3);
    for (size_t i = 0, o = 0; i + 3 < bgrx.size(); i += 4, o += 3) {
        bgr[o] = bgrx[i];
        bgr[o + 1] = bgrx[i + 1];
        bgr[o + 2] = bgrx[i + 2];
    }
    return bgr;
}

std::vector<std::uint8_t> Bytes(IMFSample* sample) {
    std::vector<std::uint8_t> bytes;
    ComPtr<IMFMediaBuffer> buffer;
    ThrowIfFailed(sample->ConvertToContiguousBuffer(&buffer), "ConvertToContiguousBuffer");
    BYTE* data = nullptr;
    DWORD length = 0;
    ThrowIfFailed(buffer->Lock(&data, nullptr, &length), "locking a sample");
    bytes.assign(data, data + length);
    buffer->Unlock();
    return bytes;
}

void Print(const std::string& text) {
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
}

}  // namespace

void RunMfList() {
    for (const MediaSourceEntry& source : EnumerateMediaSources())
        Print(Narrow(source.friendlyName) + "  " + Narrow(source.clsidText) + "\n");
}

void RunMfCaps(const std::wstring& spec) {
    const MediaFoundation mf;
    const MediaSourceEntry entry = FindMediaSource(spec);
    const ComPtr<IMFMediaSource> source = CreateMediaSource(entry);
    const ComPtr<IMFMediaTypeHandler> handler = TypeHandler(source.Get());
    DWORD count = 0;
    handler->GetMediaTypeCount(&count);
    char line[160];
    std::snprintf(line, sizeof line, "%-5s %-8s %6s %6s %7s %7s %7s\n", "index", "subtype", "width", "height", "fps",
                  "minFps", "maxFps");
    Print(line);
    for (DWORD i = 0; i < count; ++i) {
        ComPtr<IMFMediaType> type;
        if (FAILED(handler->GetMediaTypeByIndex(i, &type))) continue;
        const TypeFacts facts = FactsOf(type.Get());
        std::snprintf(line, sizeof line, "%-5lu %-8s %6u %6u %7.2f %7u %7u\n", static_cast<unsigned long>(i),
                      Narrow(MfSubtypeName(facts.subtype)).c_str(), facts.width, facts.height,
                      static_cast<double>(facts.fpsNumerator) / facts.fpsDenominator, facts.minFps, facts.maxFps);
        Print(line);
    }
    source->Shutdown();
}

void RunMfCapture(const std::wstring& spec, const CaptureOptions& options) {
    const MediaFoundation mf;
    const MediaSourceEntry entry = FindMediaSource(spec);
    const ComPtr<IMFMediaSource> source = CreateMediaSource(entry);
    // Shut down on every way out, which lets go of the camera at once.
    struct Closer {
        IMFMediaSource* source;
        ~Closer() { source->Shutdown(); }
    } closer{source.Get()};

    const ComPtr<IMFMediaTypeHandler> handler = TypeHandler(source.Get());
    const ComPtr<IMFMediaType> type = ChooseType(handler.Get(), options);
    const TypeFacts facts = FactsOf(type.Get());
    const REFERENCE_TIME interval =
        facts.fpsNumerator ? static_cast<REFERENCE_TIME>(10000000.0 * facts.fpsDenominator / facts.fpsNumerator) : 0;
    const DirectShowView picture = ViewOf(facts, interval, false);
    const DirectShowView recorded = ViewOf(facts, interval, true);
    if (!options.pngPath.empty() && !CanConvertToImage(picture.type))
        throw ToolError("cannot write a picture of " + Narrow(MfSubtypeName(facts.subtype)) + " frames");
    std::unique_ptr<FrameWriter> writer;
    if (!options.serPath.empty() || !options.aviPath.empty())
        writer = OpenRecording(options, recorded.type, entry.friendlyName);
    std::optional<OutputFile> raw;
    if (!options.rawPath.empty()) raw.emplace(options.rawPath);

    // The current type is the stream's: the reader starts the source with it.
    ThrowIfFailed(handler->SetCurrentMediaType(type.Get()), "choosing the media type");
    ComPtr<IMFSourceReader> reader;
    ThrowIfFailed(MFCreateSourceReaderFromMediaSource(source.Get(), nullptr, &reader),
                  "MFCreateSourceReaderFromMediaSource");

    const ConsoleInterrupt interrupt;
    LARGE_INTEGER frequency, runTick;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&runTick);
    CaptureReport report;
    const UINT32 sampleSize = MFGetAttributeUINT32(type.Get(), MF_MT_SAMPLE_SIZE, 0);
    report.stats = FrameStats(static_cast<long>(sampleSize));
    std::vector<std::uint8_t> last;
    while (report.stats.Frames() < options.frames && !interrupt.Signalled()) {
        DWORD stream = 0, flags = 0;
        LONGLONG time = 0;
        ComPtr<IMFSample> sample;
        ThrowIfFailed(reader->ReadSample(MF_SOURCE_READER_FIRST_VIDEO_STREAM, 0, &stream, &flags, &time, &sample),
                      "ReadSample");
        if (flags & (MF_SOURCE_READERF_ERROR | MF_SOURCE_READERF_ENDOFSTREAM) || !sample)
            throw ToolError("the media source ended the stream after " + std::to_string(report.stats.Frames()) +
                            " frames (the camera was unplugged or failed)");
        LARGE_INTEGER arrival;
        QueryPerformanceCounter(&arrival);
        std::vector<std::uint8_t> bytes = Bytes(sample.Get());
        LONGLONG duration = 0;
        sample->GetSampleDuration(&duration);
        SampleRecord record;
        record.hasTime = true;
        record.start = time;
        record.end = time + duration;
        record.syncPoint = MFGetAttributeUINT32(sample.Get(), MFSampleExtension_CleanPoint, FALSE) != FALSE;
        record.length = static_cast<long>(bytes.size());
        record.arrival = arrival.QuadPart;
        report.stats.Add(record);
        if (raw) raw->Append(bytes.data(), bytes.size());
        if (writer) {
            const std::vector<std::uint8_t> frame = recorded.stripToRgb24 ? StripToRgb24(bytes) : bytes;
            writer->WriteFrame(frame.data(), frame.size(), SerTicksNowUtc());
        }
        last = std::move(bytes);
    }
    if (writer) {
        writer->Finish();
        report.recording = RecordingSummary{writer->Path(), writer->BytesWritten(), writer->Frames()};
    }

    report.device = entry.friendlyName;
    report.subtype = MfSubtypeName(facts.subtype);
    report.width = static_cast<long>(facts.width);
    report.height = static_cast<long>(facts.height);
    report.bitCount = static_cast<int>(sampleSize * 8 / std::max<UINT32>(1, facts.width * facts.height));
    report.sizeImage = sampleSize;
    report.avgTimePerFrame = interval;
    ComputeRates(report, runTick.QuadPart, frequency.QuadPart);
    if (!options.pngPath.empty() && !last.empty()) {
        const std::vector<std::uint8_t> shown =
            MfSubtypeName(facts.subtype) == L"NV12" ? Nv12ToYuy2(last, facts.width, facts.height) : last;
        WritePng(ConvertToImage(picture.type, shown.data(), shown.size()), options.pngPath);
    }
    Print(options.json ? ToJson(report) : ToText(report));
    if (report.stats.Frames() < options.frames)
        throw ToolError("stopped by Ctrl+C after " + std::to_string(report.stats.Frames()) + " of " +
                        std::to_string(options.frames) + " frames",
                        kExitInterrupted);
}

}  // namespace vyx::vyxcap
