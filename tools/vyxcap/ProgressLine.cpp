#include "ProgressLine.h"

#include <windows.h>

#include <cstdio>

namespace vyx::vyxcap {
namespace {

bool ErrorIsConsole() {
    const HANDLE error = GetStdHandle(STD_ERROR_HANDLE);
    return error && error != INVALID_HANDLE_VALUE && GetFileType(error) == FILE_TYPE_CHAR;
}

}  // namespace

std::string FormatProgress(const ProgressFigures& f) {
    char text[160];
    std::snprintf(text, sizeof text, "  frames %d  fps %.2f  dropped %s  written %.1f MB  elapsed %.0f s", f.frames,
                  f.fps, f.dropped ? std::to_string(*f.dropped).c_str() : "-",
                  static_cast<double>(f.bytesWritten) / 1e6, f.elapsedSeconds);
    return text;
}

ProgressLine::ProgressLine(bool json) : m_shown(!json && ErrorIsConsole()) {}

void ProgressLine::Update(const ProgressFigures& figures) {
    if (!m_shown) return;
    // Padded so a shorter line covers a longer one.
    std::fprintf(stderr, "\r%-78s", FormatProgress(figures).c_str());
    std::fflush(stderr);
    m_written = true;
}

void ProgressLine::Close() {
    if (!m_written) return;
    std::fputc('\n', stderr);
    std::fflush(stderr);
    m_written = false;
}

}  // namespace vyx::vyxcap
