#pragma once
// What `vyxcap capture` prints at the end: the format, the sample statistics and the rate,
// as one JSON object or as lines for people.
#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>

#include "FrameStats.h"

namespace vyx::vyxcap {

struct RecordingSummary {
    std::wstring path;
    std::uint64_t bytes = 0;
    int frames = 0;
};

struct CaptureReport {
    std::wstring device;
    std::wstring subtype;
    long width = 0;
    long height = 0;
    int bitCount = 0;
    unsigned long sizeImage = 0;
    REFERENCE_TIME avgTimePerFrame = 0;
    FrameStats stats{0};
    double elapsedMs = 0;       // from Run to the last counted frame
    double fps = 0;             // frames after the first over the time from first to last
    std::optional<long> dropped;  // absent when the device does not count dropped frames
    std::optional<RecordingSummary> recording;
};

// Fills elapsedMs and fps from the stats' arrival ticks and the tick at Run.
void ComputeRates(CaptureReport& report, std::int64_t runTick, std::int64_t ticksPerSecond);

std::string ToJson(const CaptureReport& report);
std::string ToText(const CaptureReport& report);

// A JSON string literal: quoted, with quotes, backslashes and control characters escaped.
std::string JsonString(const std::wstring& text);

}  // namespace vyx::vyxcap
