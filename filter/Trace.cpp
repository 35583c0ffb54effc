#include "Trace.h"

#ifdef VYX_FILTER_TRACE
#include <windows.h>

#include <atomic>
#include <cstdarg>
#include <cstdio>

namespace vyx {
namespace {
struct SinkRegistration {
    TraceSink sink;
    void* context;
};
std::atomic<SinkRegistration*> g_sink{nullptr};
SinkRegistration g_registration{};
}  // namespace

void SetTraceSink(TraceSink sink, void* context) {
    g_sink.store(nullptr);
    g_registration = {sink, context};
    if (sink) g_sink.store(&g_registration);
}

void TraceLine(const char* label, const char* format, ...) {
    char line[1024];
    va_list args;
    va_start(args, format);
    std::vsnprintf(line, sizeof line, format, args);
    va_end(args);

    char output[1200];
    std::snprintf(output, sizeof output, "%s: %s", label, line);
    OutputDebugStringA(output);
    if (SinkRegistration* registration = g_sink.load()) registration->sink(registration->context, label, line);
}

}  // namespace vyx
#endif
