#include "CaptureReport.h"

#include <cstdio>

#include "Text.h"

namespace vyx::vyxcap {
namespace {

std::string Format(const char* format, double value) {
    char text[64];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

}  // namespace

void ComputeRates(CaptureReport& report, std::int64_t runTick, std::int64_t ticksPerSecond) {
    const FrameStats& stats = report.stats;
    if (stats.Frames() == 0 || ticksPerSecond <= 0) return;
    report.elapsedMs = 1000.0 * static_cast<double>(stats.LastArrival() - runTick) / ticksPerSecond;
    const std::int64_t span = stats.LastArrival() - stats.FirstArrival();
    if (stats.Frames() >= 2 && span > 0)
        report.fps = (stats.Frames() - 1) * static_cast<double>(ticksPerSecond) / span;
}

std::string JsonString(const std::wstring& text) {
    std::string out = "\"";
    for (const char c : Narrow(text)) {
        const unsigned char u = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (u < 0x20) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", u);
            out += escape;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

std::string ToJson(const CaptureReport& r) {
    const FrameStats& s = r.stats;
    std::string json = "{";
    json += "\"device\":" + JsonString(r.device);
    json += ",\"subtype\":" + JsonString(r.subtype);
    json += ",\"width\":" + std::to_string(r.width);
    json += ",\"height\":" + std::to_string(r.height);
    json += ",\"bitCount\":" + std::to_string(r.bitCount);
    json += ",\"sizeImage\":" + std::to_string(r.sizeImage);
    json += ",\"avgTimePerFrame\":" + std::to_string(r.avgTimePerFrame);
    json += ",\"frames\":" + std::to_string(s.Frames());
    json += ",\"firstStart\":" + std::to_string(s.FirstStart());
    json += ",\"lastEnd\":" + std::to_string(s.LastEnd());
    json += ",\"gaps\":" + std::to_string(s.Gaps());
    json += ",\"untimed\":" + std::to_string(s.Untimed());
    json += ",\"syncPoints\":" + std::to_string(s.SyncPoints());
    json += ",\"wrongLength\":" + std::to_string(s.WrongLength());
    json += ",\"minDuration\":" + std::to_string(s.MinDuration());
    json += ",\"maxDuration\":" + std::to_string(s.MaxDuration());
    json += ",\"elapsedMs\":" + Format("%.3f", r.elapsedMs);
    json += ",\"fps\":" + Format("%.3f", r.fps);
    json += ",\"dropped\":" + (r.dropped ? std::to_string(*r.dropped) : std::string("null"));
    if (r.recording) {
        json += ",\"recording\":{\"path\":" + JsonString(r.recording->path);
        json += ",\"bytes\":" + std::to_string(r.recording->bytes);
        json += ",\"frames\":" + std::to_string(r.recording->frames) + "}";
    }
    return json + "}\n";
}

std::string ToText(const CaptureReport& r) {
    const FrameStats& s = r.stats;
    std::string text;
    text += "device:      " + Narrow(r.device) + "\n";
    text += "format:      " + Narrow(r.subtype) + " " + std::to_string(r.width) + "x" +
            std::to_string(r.height) + ", " + std::to_string(r.bitCount) + " bits, " +
            std::to_string(r.sizeImage) + " bytes per frame, frame interval " +
            std::to_string(r.avgTimePerFrame) + "\n";
    text += "frames:      " + std::to_string(s.Frames()) + " (" + std::to_string(s.SyncPoints()) +
            " sync points, " + std::to_string(s.WrongLength()) + " of a wrong length)\n";
    text += "times:       " + std::to_string(s.FirstStart()) + " to " + std::to_string(s.LastEnd()) +
            ", durations " + std::to_string(s.MinDuration()) + " to " + std::to_string(s.MaxDuration()) +
            ", " + std::to_string(s.Gaps()) + " gaps, " + std::to_string(s.Untimed()) + " untimed\n";
    text += "elapsed:     " + Format("%.1f", r.elapsedMs) + " ms, " + Format("%.2f", r.fps) + " fps\n";
    text += "dropped:     " + (r.dropped ? std::to_string(*r.dropped) : std::string("not reported")) + "\n";
    if (r.recording)
        text += "recording:   " + Narrow(r.recording->path) + ", " + std::to_string(r.recording->frames) +
                " frames, " + std::to_string(r.recording->bytes) + " bytes\n";
    return text;
}

}  // namespace vyx::vyxcap
