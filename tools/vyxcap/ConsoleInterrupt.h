#pragma once
// Ctrl+C and Ctrl+Break while it lives set an event instead of ending the process, so a
// recording can stop its graph and complete its file.
//
// Threads: the system calls the handler on a thread of its own; it only sets the event.
#include <windows.h>

#include "UniqueResource.h"

namespace vyx::vyxcap {

class ConsoleInterrupt {
public:
    ConsoleInterrupt();
    ~ConsoleInterrupt();
    ConsoleInterrupt(const ConsoleInterrupt&) = delete;
    ConsoleInterrupt& operator=(const ConsoleInterrupt&) = delete;

    HANDLE Event() const { return m_event.Get(); }
    bool Signalled() const { return WaitForSingleObject(m_event.Get(), 0) == WAIT_OBJECT_0; }

private:
    static BOOL WINAPI Handler(DWORD type);
    vyx::win::UniqueHandle m_event;
    bool m_installed = false;
};

}  // namespace vyx::vyxcap
