#include "Commands.h"

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>

#include "CaptureGraph.h"
#include "CaptureReport.h"
#include "CapturePin.h"
#include "ConsoleInterrupt.h"
#include "DeviceControls.h"
#include "DeviceList.h"
#include "FrameCollector.h"
#include "ImageConvert.h"
#include "OutputFile.h"
#include "PngOutput.h"
#include "ProgressLine.h"
#include "Recording.h"
#include "RecordingSink.h"
#include "StreamCapabilities.h"
#include "SubtypeName.h"
#include "Text.h"
#include "ToolError.h"

using Microsoft::WRL::ComPtr;

namespace vyx::vyxcap {
namespace {

void Print(const std::string& text) {
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
}

std::string Line(const char* format, ...) __attribute__((format(gnu_printf, 1, 2)));
std::string Line(const char* format, ...) {
    char text[512];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    return text;
}

const ControlProperty& PropertyNamed(const std::wstring& name) {
    const ControlProperty* property = FindControlProperty(name);
    if (!property)
        throw ToolError("unknown property \"" + Narrow(name) + "\" (see vyxcap help for the names)");
    return *property;
}

// How long to wait for the next frame before calling the graph stuck: generous, and longer
// than a frame or an exposure, whichever is longer.
DWORD FrameTimeoutMs(REFERENCE_TIME frameInterval, const DeviceControls& controls) {
    double frameSeconds = frameInterval > 0 ? frameInterval / 1e7 : 0;
    if (const ControlProperty* exposure = FindControlProperty(L"Exposure")) {
        long value = 0, flags = 0;
        // Exposure is in log2 seconds.
        if (controls.Get(*exposure, &value, &flags) == S_OK && value <= 11)
            frameSeconds = std::max(frameSeconds, std::ldexp(1.0, static_cast<int>(value)));
    }
    return static_cast<DWORD>(30000 + 3000 * std::min(frameSeconds, 4096.0));
}

std::wstring FullPath(const std::wstring& path) {
    wchar_t full[MAX_PATH * 2] = {};
    const DWORD length = GetFullPathNameW(path.c_str(), MAX_PATH * 2, full, nullptr);
    return length > 0 && length < MAX_PATH * 2 ? std::wstring(full, length) : path;
}

}  // namespace

void RunList() {
    for (const VideoDevice& device : EnumerateVideoDevices()) Print(Narrow(device.friendlyName) + "\n");
}

void RunCaps(const std::wstring& spec) {
    const VideoDevice device = FindVideoDevice(spec);
    const ComPtr<IBaseFilter> filter = CreateDeviceFilter(device);
    const ComPtr<IPin> pin = FindCapturePin(filter.Get());
    const ComPtr<IAMStreamConfig> config = StreamConfigOf(pin.Get());
    const std::vector<StreamCapability> capabilities = ReadCapabilities(config.Get());
    Print(Line("%-5s %-8s %6s %6s %4s %12s %12s\n", "index", "subtype", "width", "height", "bits",
               "minInterval", "maxInterval"));
    for (size_t i = 0; i < capabilities.size(); ++i) {
        const StreamCapability& capability = capabilities[i];
        const BITMAPINFOHEADER* header = capability.type ? vyx::win::BitmapHeader(*capability.type.Get()) : nullptr;
        if (!header) {
            Print(Line("%-5zu %-8s (no video format: GetStreamCaps gave %s)\n", i,
                       capability.type ? Narrow(SubtypeName(capability.type->subtype)).c_str() : "-",
                       capability.type ? "another format block" : "no type"));
            continue;
        }
        Print(Line("%-5zu %-8s %6ld %6ld %4u %12lld %12lld\n", i,
                   Narrow(SubtypeName(capability.type->subtype)).c_str(), header->biWidth,
                   std::labs(header->biHeight), header->biBitCount,
                   static_cast<long long>(capability.caps.MinFrameInterval),
                   static_cast<long long>(capability.caps.MaxFrameInterval)));
    }
}

void RunControls(const std::wstring& spec) {
    const VideoDevice device = FindVideoDevice(spec);
    const ComPtr<IBaseFilter> filter = CreateDeviceFilter(device);
    const DeviceControls controls(filter.Get());
    if (!controls.HasAny()) throw ToolError("\"" + Narrow(device.friendlyName) + "\" has no controls");
    Print(Line("%-22s %10s %10s %6s %10s %10s %-7s %s\n", "property", "min", "max", "step", "default",
               "value", "flags", "caps"));
    for (const ControlProperty& property : ControlProperties()) {
        ControlRange range;
        if (controls.GetRange(property, &range) != S_OK) continue;
        long value = 0, flags = 0;
        const bool known = controls.Get(property, &value, &flags) == S_OK;
        Print(Line("%-22s %10ld %10ld %6ld %10ld %10s %-7s %s\n", Narrow(property.name).c_str(),
                   range.min, range.max, range.step, range.def,
                   known ? std::to_string(value).c_str() : "-", known ? FlagsText(flags).c_str() : "-",
                   FlagsText(range.caps).c_str()));
    }
}

void RunSet(const Command& command) {
    const ControlProperty& property = PropertyNamed(command.property);
    const VideoDevice device = FindVideoDevice(command.device);
    const ComPtr<IBaseFilter> filter = CreateDeviceFilter(device);
    const DeviceControls controls(filter.Get());
    const long flags = command.autoMode.value_or(false) ? 1 : 2;
    const HRESULT hr = controls.Set(property, command.value, flags);
    if (hr == E_PROP_ID_UNSUPPORTED)
        throw ToolError("\"" + Narrow(device.friendlyName) + "\" does not support " + Narrow(property.name));
    ThrowIfFailed(hr, "setting " + Narrow(property.name));
    long value = 0, current = 0;
    if (controls.Get(property, &value, &current) == S_OK)
        Print(Narrow(property.name) + " = " + std::to_string(value) + " (" + FlagsText(current) + ")\n");
    else
        Print(Narrow(property.name) + " set to " + std::to_string(command.value) + "\n");
}

void RunCapture(const std::wstring& spec, const CaptureOptions& options) {
    const VideoDevice device = FindVideoDevice(spec);
    ComPtr<IBaseFilter> filter = CreateDeviceFilter(device);
    const DeviceControls controls(filter.Get());
    CaptureGraph graph(filter);

    const std::vector<StreamCapability> capabilities = graph.Capabilities();
    if (capabilities.empty()) throw ToolError("\"" + Narrow(device.friendlyName) + "\" offers no formats");
    FormatRequest request;
    request.subtype = options.format;
    request.width = options.width;
    request.height = options.height;
    request.fps = options.fps;
    const vyx::win::MediaTypePtr current = graph.CurrentFormat();
    const ChosenFormat chosen = ChooseFormat(capabilities, request, current.Get());
    if (!options.pngPath.empty() && !CanConvertToImage(*chosen.type.Get()))
        throw ToolError("cannot write a picture of " + Narrow(SubtypeName(chosen.type->subtype)) + " frames");
    // Refused before any file is created.
    if (!options.serPath.empty()) RecordingLayoutOf(*chosen.type.Get(), RecordingContainer::Ser);
    if (!options.aviPath.empty()) RecordingLayoutOf(*chosen.type.Get(), RecordingContainer::Avi);
    graph.SetFormat(*chosen.type.Get());

    // The recording is set up for the chosen type; the connected one must then match it.
    RecordingSink* sink = nullptr;
    ComPtr<IBaseFilter> sinkFilter;
    if (!options.serPath.empty() || !options.aviPath.empty())
        sinkFilter = RecordingSink::Create(OpenRecording(options, *chosen.type.Get(), device.friendlyName),
                                           chosen.type->subtype, options.frames, &sink);
    graph.Build(*chosen.type.Get(), sinkFilter.Get());

    const vyx::win::MediaTypePtr connected = graph.ConnectedType();
    const BITMAPINFOHEADER* header = vyx::win::BitmapHeader(*connected.Get());
    if (!header) throw ToolError("the connected type has no video format block");
    const REFERENCE_TIME interval = *vyx::win::AvgTimePerFrame(*connected.Get());
    // Adopt the reference `new` made: MinGW's ComPtr::Attach would add a second one.
    ComPtr<FrameCollector> collector;
    *collector.GetAddressOf() =
        new FrameCollector(options.frames, static_cast<long>(header->biSizeImage), !options.pngPath.empty());
    std::optional<OutputFile> raw;
    if (!options.rawPath.empty()) {
        raw.emplace(options.rawPath);
        collector->DumpTo(&*raw);
    }
    graph.SetCallback(collector.Get());
    const DWORD timeoutMs = FrameTimeoutMs(interval, controls);

    const ConsoleInterrupt interrupt;
    ProgressLine progress(options.json || !sink);
    LARGE_INTEGER frequency, runTick;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&runTick);
    graph.Run();
    int seen = 0;
    int shown = 0;
    ULONGLONG lastFrameAt = GetTickCount64();
    ULONGLONG lastShownAt = lastFrameAt;
    const ULONGLONG runAt = lastFrameAt;
    while (!collector->Done() && !interrupt.Signalled()) {
        const DWORD waitMs = progress.Shown() ? 1000 : timeoutMs;
        // A handle may appear only once in a wait.
        const WaitResult result =
            sink ? graph.Wait({collector->DoneEvent(), interrupt.Event(), sink->FailureEvent()}, waitMs)
                 : graph.Wait({collector->DoneEvent(), interrupt.Event()}, waitMs);
        if (sink && sink->Failed()) throw ToolError(sink->Failure());
        const ULONGLONG now = GetTickCount64();
        if (collector->Frames() != seen) {
            seen = collector->Frames();
            lastFrameAt = now;
        } else if (result == WaitResult::TimedOut && now - lastFrameAt >= timeoutMs) {
            throw ToolError("graph failure: no frame for " + std::to_string(timeoutMs / 1000) + " s after " +
                            std::to_string(seen) + " frames");
        }
        if (progress.Shown() && now - lastShownAt >= 1000) {
            ProgressFigures figures;
            figures.frames = seen;
            figures.fps = 1000.0 * (seen - shown) / static_cast<double>(now - lastShownAt);
            figures.dropped = graph.DroppedFrames();
            figures.bytesWritten = sink->Writer().BytesWritten();
            figures.elapsedSeconds = static_cast<double>(now - runAt) / 1000.0;
            progress.Update(figures);
            shown = seen;
            lastShownAt = now;
        }
    }
    progress.Close();
    // The grabber counts a frame just before the sink receives it on the same thread; the
    // graph may stop the sink first, so the last frame must be in before the stop.
    if (sink && collector->Done()) WaitForSingleObject(sink->CompleteEvent(), timeoutMs);
    CaptureReport report;
    report.dropped = graph.DroppedFrames();
    graph.Stop();
    if (const std::string failure = collector->DumpFailure(); !failure.empty()) throw ToolError(failure);
    if (sink) {
        if (sink->Failed()) throw ToolError(sink->Failure());
        sink->Writer().Finish();
        report.recording = RecordingSummary{FullPath(sink->Writer().Path()), sink->Writer().BytesWritten(),
                                            sink->Writer().Frames()};
    }

    report.device = device.friendlyName;
    report.subtype = SubtypeName(connected->subtype);
    report.width = header->biWidth;
    report.height = std::labs(header->biHeight);
    report.bitCount = header->biBitCount;
    report.sizeImage = header->biSizeImage;
    report.avgTimePerFrame = interval;
    report.stats = collector->Stats();
    ComputeRates(report, runTick.QuadPart, frequency.QuadPart);

    if (!options.pngPath.empty() && collector->Done()) {
        const std::vector<std::uint8_t> frame = collector->LastFrame();
        WritePng(ConvertToImage(*connected.Get(), frame.data(), frame.size()), options.pngPath);
    }
    Print(options.json ? ToJson(report) : ToText(report));
    if (!collector->Done())
        throw ToolError("stopped by Ctrl+C after " + std::to_string(report.stats.Frames()) + " of " +
                        std::to_string(options.frames) + " frames",
                        kExitInterrupted);
}

}  // namespace vyx::vyxcap
