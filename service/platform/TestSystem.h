#pragma once
// The test build's answers to the service's system calls (System.h): each one is the
// system's own unless a test has put a hook in its place. Only the service's test build and
// the test programs link this; the shipped executable links SystemCalls.cpp.
// Threads: hooks are set and cleared by a test while no service code runs on another
// thread; they may then be called from any thread.

#include "System.h"

#include <functional>
#include <string>

namespace vyx::service::sys {

struct TestHooks {
    std::function<SERVICE_STATUS_HANDLE(LPHANDLER_FUNCTION_EX handler, void* context)> registerControlHandler;
    std::function<BOOL(SERVICE_STATUS_HANDLE handle, SERVICE_STATUS* status)> sendServiceStatus;
    std::function<HDEVNOTIFY(SERVICE_STATUS_HANDLE handle)> registerDeviceNotification;
    std::function<BOOL(HDEVNOTIFY notification)> unregisterDeviceNotification;
    // Returns the wait's result; a failure sets the last error itself.
    std::function<DWORD(DWORD count, const HANDLE* handles, DWORD timeoutMs)> waitForAny;
    std::function<HANDLE(const wchar_t* path, DWORD access, DWORD sharing, DWORD flags)> openExisting;
    std::function<HDEVINFO()> openPresentUsbDevices;
    std::function<BOOL(HANDLE job, HANDLE process)> assignToJob;
    // Non-empty: the program run in place of every regsvr32.
    std::wstring regsvr32;
};

// The hooks in place; whatever a scope changes through it is undone when the scope ends,
// so no test leaves a hook behind for the next. Scopes nest.
class ScopedTestHooks {
public:
    ScopedTestHooks();
    ~ScopedTestHooks();
    ScopedTestHooks(const ScopedTestHooks&) = delete;
    ScopedTestHooks& operator=(const ScopedTestHooks&) = delete;

    TestHooks* operator->();

private:
    TestHooks m_saved;
};

}  // namespace vyx::service::sys
