#include "ConsoleInterrupt.h"

#include <atomic>

namespace vyx::vyxcap {
namespace {

// The handler takes no context: the one live instance's event.
std::atomic<HANDLE> g_interruptEvent{nullptr};

}  // namespace

ConsoleInterrupt::ConsoleInterrupt() : m_event(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {
    g_interruptEvent = m_event.Get();
    m_installed = SetConsoleCtrlHandler(&ConsoleInterrupt::Handler, TRUE) != FALSE;
}

ConsoleInterrupt::~ConsoleInterrupt() {
    if (m_installed) SetConsoleCtrlHandler(&ConsoleInterrupt::Handler, FALSE);
    g_interruptEvent = nullptr;
}

BOOL WINAPI ConsoleInterrupt::Handler(DWORD type) {
    if (type != CTRL_C_EVENT && type != CTRL_BREAK_EVENT) return FALSE;
    const HANDLE event = g_interruptEvent.load();
    if (!event) return FALSE;
    SetEvent(event);
    return TRUE;
}

}  // namespace vyx::vyxcap
