#pragma once
// The filter library's one trace function. Every build compiles the same lines, and they go
// nowhere until a sink is set: the shipped DLLs set none (nor export a way to), so there a
// trace costs one relaxed load and its arguments are never evaluated. Programs that link the
// core (tests, a debugging host) set a sink to see exactly which lines were written; each
// line then goes to the debugger output too.
#include <atomic>

namespace vyx {

// Called for every line, after formatting; `line` is the text without the label. It runs on
// the thread that traced, so it must take lines from several threads at once.
using TraceSink = void (*)(void* context, const char* label, const char* line);
// Sets the sink, or with null switches tracing off. Call it while no other thread traces.
void SetTraceSink(TraceSink sink, void* context);

namespace trace_detail {
extern std::atomic<bool> g_enabled;
}  // namespace trace_detail
inline bool TraceEnabled() { return trace_detail::g_enabled.load(std::memory_order_relaxed); }

void TraceLine(const char* label, const char* format, ...) __attribute__((format(printf, 2, 3)));

}  // namespace vyx

#define VYX_TRACE(label, ...) (::vyx::TraceEnabled() ? ::vyx::TraceLine(label, __VA_ARGS__) : (void)0)
