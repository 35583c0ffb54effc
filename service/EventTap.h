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
// A writer never waits on the reader: a line is queued and written with an overlapped write
// that is never waited for, so a reader that is absent, slow or stuck costs one short lock.
// At most kEventTapBacklog lines wait; later ones are dropped and counted (their sequence
// numbers leave the gap). Lines written before a reader connects wait for it.
//
// Threads: Write from any thread; m_lock guards m_queue, m_connected, m_writing, m_broken
// and the write OVERLAPPED. m_thread alone connects readers, completes pending writes and
// drops a reader that went away. The pipe and the events live from construction until the
// destructor has joined m_thread and ended every write; the destructor first gives a reader
// up to kEventTapFlushMs to take the queued lines, so a short command's lines are not lost.

#include "UniqueResource.h"

#include <windows.h>

#include <atomic>
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
    void Serve();
    // The deadline is 0 until the destructor asks for the flush.
    bool WaitForReader(ULONGLONG& deadline);
    bool ServeReader(ULONGLONG& deadline);
    void StartWritesLocked();
    bool IsDrainedLocked() const { return m_queue.empty() && !m_writing; }

    win::UniqueFile m_pipe;
    win::UniqueHandle m_closing;  // manual reset, set by the destructor
    win::UniqueHandle m_wake;     // auto reset: a write became pending or the pipe broke
    win::UniqueHandle m_connectDone;
    win::UniqueHandle m_writeDone;
    OVERLAPPED m_connect = {};
    OVERLAPPED m_write = {};
    std::atomic<DWORD> m_sequence{0};

    mutable SRWLOCK m_lock = SRWLOCK_INIT;
    std::deque<std::vector<BYTE>> m_queue;
    std::size_t m_dropped = 0;
    bool m_connected = false;
    bool m_writing = false;  // m_write is in flight for m_queue.front()
    bool m_broken = false;   // the reader went away; m_thread disconnects it

    std::thread m_thread;
};

}  // namespace vyx::service
