#pragma once
// A live copy of the event-log lines for whoever listens on a named pipe: a message per
// line, an EventTapHeader followed by the line's UTF-16 text without its NUL. Wine's event
// log stores nothing, so this is how the service's lines are watched there (and how the
// end-to-end tests check them). Without a listener a line costs one failed open.
//
// Threads: any thread may write; the sequence counter is atomic.
// The service connects anonymously, so a listener can never act in its name, and never
// waits on a listener for longer than kEventTapWaitMs. The tap is off unless an
// administrator switches it on (a DWORD 1 under HKLM), and even then a line goes only to a
// pipe whose server process runs as an administrator or SYSTEM: a pipe that another user
// created first gets nothing and costs the service one open and one token query.

#include <windows.h>

namespace vyx::service {

inline constexpr wchar_t kEventTapPipe[] = L"\\\\.\\pipe\\VYXDshowService.events";
inline constexpr DWORD kEventTapWaitMs = 2000;
inline constexpr wchar_t kEventTapSwitchKey[] = L"SOFTWARE\\VYXDShowDriver";  // 32-bit view
inline constexpr wchar_t kEventTapSwitchValue[] = L"ServiceEventTap";

struct EventTapHeader {
    DWORD type;
    DWORD id;
    DWORD processId;  // tells the install command's lines from the service's
    DWORD sequence;   // per process, from 1: listeners may read connections out of order
};

// Whether the switch is on; read once by the executable at start.
bool IsEventTapEnabled();

// A ServiceEventSink; the context is unused.
void WriteToEventTap(void* context, WORD type, DWORD id, const wchar_t* line);

}  // namespace vyx::service
