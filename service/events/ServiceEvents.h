#pragma once
// The service's only output: lines in the Windows event log under the source
// "VYXDshowService". Every line goes through WriteServiceEvent, which also hands it to the
// installed sink (the executable's live tap, or a test's recorder), so whoever watches the
// sink sees exactly the lines, types and identifiers the event log was given, in order.
//
// Threads: any thread may write; a sink may be called from several threads at once and
// must guard its own state. g_sinkLock (in the source) guards the installed sink.

#include <windows.h>

namespace vyx::service {

inline constexpr wchar_t kServiceName[] = L"VYXDshowService";

// Identifiers go to the event log as they stand; the message table holds each as "%1".
enum EventId : DWORD {
    kEventServiceStarted = 1000,
    kEventServiceStopped = 1001,
    kEventDeviceChange = 1100,
    kEventUnknownCamera = 1102,
    kEventReconcileSummary = 1200,
    kEventModelDegraded = 1201,
    kEventActionSucceeded = 1300,
    kEventActionFailed = 1301,
    kEventAttemptTimedOut = 1302,
    kEventVirtualCamerasUnavailable = 1303,
    kEventApiFailure = 1400,
    kEventCommandComplete = 1500,
    kEventCommandFailed = 1501,
};

inline constexpr size_t kEventLineCapacity = 1024;

// Receives each formatted line after it was handed to the event log.
using ServiceEventSink = void (*)(void* context, WORD type, DWORD id, const wchar_t* line);
void SetServiceEventSink(ServiceEventSink sink, void* context);

// Wide printf-style format; use %ls for wide strings. A line longer than the buffer is
// cut, never dropped.
void WriteServiceEvent(WORD type, DWORD id, const wchar_t* format, ...);

// "<operation> failed. error=<n> message=<system text>" as an error event.
void LogApiFailure(const wchar_t* operation, DWORD error, DWORD id);

}  // namespace vyx::service
