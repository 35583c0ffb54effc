#pragma once
// The line a recording shows on a terminal once a second: frames, rate, dropped frames, bytes
// written and time. Nothing is shown when standard error is not a console (a pipe, a file)
// or the report is JSON, so scripts see only the report.
#include <cstdint>
#include <optional>
#include <string>

namespace vyx::vyxcap {

struct ProgressFigures {
    int frames = 0;
    double fps = 0;
    std::optional<long> dropped;  // absent when the device does not count them
    std::uint64_t bytesWritten = 0;
    double elapsedSeconds = 0;
};

// "  frames 120  fps 29.97  dropped 0  written 745.3 MB  elapsed 4 s"
std::string FormatProgress(const ProgressFigures& figures);

class ProgressLine {
public:
    explicit ProgressLine(bool json);
    bool Shown() const { return m_shown; }
    // Rewrites the line in place.
    void Update(const ProgressFigures& figures);
    // Ends the line, so the report starts on a fresh one.
    void Close();

private:
    const bool m_shown;
    bool m_written = false;
};

}  // namespace vyx::vyxcap
