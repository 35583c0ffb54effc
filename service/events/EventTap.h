#pragma once
// A live copy of the event-log lines for a reader that connects to the process's own named
// pipe: a message per line, an EventTapHeader followed by the line's UTF-16 text without its
// NUL. Wine's event log stores nothing, so this is how the service's lines are watched there
// (and how the end-to-end tests check them).
//
// Each VYXCamService.exe process (the service and each command) serves its own pipe, named
// for its process ID, created as the name's first instance with an access list that lets
// only SYSTEM and the Administrators group open it: Windows, not the service, decides who
// reads. A pipe of that name that someone else created first only switches this process's
// tap off. The tap is off unless an administrator switches it on (a DWORD 1 under HKLM).
//
// A writer never waits on the reader: it only queues the line, numbered under the queue's
// lock so the numbers follow the order of the queue, and wakes the tap's thread. At most
// kEventTapBacklog lines wait; later ones are dropped and counted (their sequence numbers
// leave the gap). Lines written before a reader connects wait for it.
//
// Threads: Write from any thread; m_lock guards m_queue, m_sequence and m_dropped. Only
// m_thread issues I/O on the pipe (connects, writes, and a read kept pending, which ends
// when the reader goes away, so a departed reader is let go at once, not at the next line):
// Windows cancels a thread's pending I/O when that thread exits, so a write issued by a
// logging thread that then ends would drop the reader. The pipe and the events live from
// construction until the destructor has joined m_thread, which ends every I/O it started;
// the destructor first gives a reader up to kEventTapFlushMs to take the queued lines, so a
// short command's lines are not lost. A wait of the thread that fails ends the tap.

#include "UniqueResource.h"

#include <windows.h>

#include <deque>
#include <string>
#include <thread>
#include <vector>

namespace vyx::service {

inline constexpr wchar_t kEventTapSwitchKey[] = L"SOFTWARE\\VYXDShowDriver";  // 32-bit view
inline constexpr wchar_t kEventTapSwitchValue[] = L"ServiceEventTap";
inline constexpr std::size_t kEventTapBacklog = 1024;
inline constexpr DWORD kEventTapFlushMs = 2000;
// SYSTEM and the Administrators group only, not inherited from anywhere.
inline constexpr wchar_t kEventTapAccess[] = L"D:P(A;;FA;;;SY)(A;;FA;;;BA)";

struct EventTapHeader {
    DWORD type;
    DWORD id;
    DWORD processId;  // tells the install command's lines from the service's
    DWORD sequence;   // per process, from 1, counting dropped lines too
};

// "\\.\pipe\VYXDshowService.events.<process ID>".
std::wstring EventTapPipeName(DWORD processId);

// Whether the switch is on; read once by the executable at start.
bool IsEventTapEnabled();

class EventTap {
public:
    // Serves the pipe of the calling process.
    EventTap();
    ~EventTap();
    EventTap(const EventTap&) = delete;
    EventTap& operator=(const EventTap&) = delete;

    // False when the pipe could not be created (its name taken first, or no resources).
    bool IsServing() const { return static_cast<bool>(m_pipe); }
    void Write(WORD type, DWORD id, const wchar_t* line);
    std::size_t DroppedLines() const;

    // A ServiceEventSink; the context is the EventTap.
    static void Sink(void* context, WORD type, DWORD id, const wchar_t* line);

private:
    struct Flush;
    void Serve();
    // Until a reader connects (true), or the flush ends or a wait fails (false).
    bool Listen(Flush& flush);
    // Until the reader goes away (true: listen again), or the flush ends or a wait fails.
    bool ServeReader(Flush& flush);
    // Ends an overlapped operation still under way before its OVERLAPPED goes; true when it
    // had completed after all.
    bool Finish(OVERLAPPED& operation, bool& pending);

    win::UniqueFile m_pipe;
    win::UniqueHandle m_closing;  // manual reset, set by the destructor
    win::UniqueHandle m_wake;     // auto reset: a line was queued
    win::UniqueHandle m_connectDone;
    win::UniqueHandle m_writeDone;
    win::UniqueHandle m_readDone;

    mutable SRWLOCK m_lock = SRWLOCK_INIT;
    std::deque<std::vector<BYTE>> m_queue;
    DWORD m_sequence = 0;
    std::size_t m_dropped = 0;

    std::thread m_thread;
};

}  // namespace vyx::service
