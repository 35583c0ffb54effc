#include "ServiceEvents.h"

#include "SrwLock.h"
#include "UniqueResource.h"

#include <cstdarg>
#include <cwchar>
#include <iterator>

namespace vyx::service {

namespace {

// Writers hold the lock shared while they call the sink, so once SetServiceEventSink
// returns, no thread still calls the sink it replaced.
SRWLOCK g_sinkLock = SRWLOCK_INIT;
ServiceEventSink g_sink = nullptr;
void* g_sinkContext = nullptr;

}  // namespace

void SetServiceEventSink(ServiceEventSink sink, void* context)
{
    win::ExclusiveLock hold(g_sinkLock);
    g_sink = sink;
    g_sinkContext = context;
}

void WriteServiceEvent(WORD type, DWORD id, const wchar_t* format, ...)
{
    wchar_t line[kEventLineCapacity] = {};
    va_list args;
    va_start(args, format);
    // One character short of the buffer, so a cut line stays terminated.
    _vsnwprintf(line, kEventLineCapacity - 1, format, args);
    va_end(args);

    // Opened per line: the source key may be created or deleted while the process runs.
    win::UniqueEventSource source(::RegisterEventSourceW(nullptr, kServiceName));
    if (source) {
        const wchar_t* strings[] = {line};
        ::ReportEventW(source.Get(), type, 0, id, nullptr, 1, 0, strings, nullptr);
    }

    win::SharedLock hold(g_sinkLock);
    if (g_sink != nullptr) {
        g_sink(g_sinkContext, type, id, line);
    }
}

void LogApiFailure(const wchar_t* operation, DWORD error, DWORD id)
{
    wchar_t message[512] = {};
    ::FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0, message,
                     static_cast<DWORD>(std::size(message) - 1), nullptr);
    WriteServiceEvent(EVENTLOG_ERROR_TYPE, id, L"%ls failed. error=%lu message=%ls", operation,
                      static_cast<unsigned long>(error), message);
}

}  // namespace vyx::service
