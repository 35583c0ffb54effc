#pragma once
// The filter library's one trace function. Builds without VYX_FILTER_TRACE (the shipped
// DLLs) compile every call out, arguments included, so tracing never costs a frame.
// Traced builds (tests, debugging) send each line to the debugger output and, when set,
// to a sink, so tests can see exactly which lines were written.

namespace vyx {

#ifdef VYX_FILTER_TRACE
void TraceLine(const char* label, const char* format, ...) __attribute__((format(printf, 2, 3)));

// Called for every line, after formatting; `line` is the text without the label.
using TraceSink = void (*)(void* context, const char* label, const char* line);
void SetTraceSink(TraceSink sink, void* context);
#define VYX_TRACE(label, ...) ::vyx::TraceLine(label, __VA_ARGS__)
#else
#define VYX_TRACE(label, ...) ((void)0)
#endif

}  // namespace vyx
