#include "Trace.h"

#include <windows.h>

#include <cstdarg>
#include <cstdio>

namespace vyx {
namespace trace_detail {
std::atomic<bool> g_enabled{false};
}  // namespace trace_detail

namespace {
TraceSink g_sink = nullptr;
void* g_context = nullptr;
}  // namespace

void SetTraceSink(TraceSink sink, void* context) {
    trace_detail::g_enabled.store(false);
    g_sink = sink;
    g_context = context;
    if (sink) trace_detail::g_enabled.store(true);
}

void TraceLine(const char* label, const char* format, ...) {
    if (!g_sink) return;
    char line[1024];
    va_list args;
    va_start(args, format);
    std::vsnprintf(line, sizeof line, format, args);
    va_end(args);

    char output[1200];
    std::snprintf(output, sizeof output, "%s: %s", label, line);
    OutputDebugStringA(output);
    g_sink(g_context, label, line);
}

}  // namespace vyx
