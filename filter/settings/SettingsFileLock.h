#pragma once
// Cross-process lock of the settings file: every process of the user's session that
// reads or rewrites CamSettings.ini holds it, so a load-modify-save of one model's build
// never runs beside another's and drops its section.
//
// Threads: any; the lock belongs to the thread that took it and is released by the
// destructor on that thread. A holder that died leaves the lock abandoned; the next
// waiter takes it over, which is safe because the file is only ever replaced whole.
#include <windows.h>

#include "UniqueResource.h"

class SettingsFileLock {
public:
    // Waits at most `timeoutMs` for the lock; IsHeld() tells whether it was taken.
    explicit SettingsFileLock(DWORD timeoutMs = kDefaultTimeoutMs);
    ~SettingsFileLock();

    SettingsFileLock(const SettingsFileLock&) = delete;
    SettingsFileLock& operator=(const SettingsFileLock&) = delete;

    bool IsHeld() const { return m_held; }

    // Holders touch the file for milliseconds; a wait this long means a holder is stuck.
    static constexpr DWORD kDefaultTimeoutMs = 10000;
    static constexpr wchar_t kName[] = L"Local\\VYXDShowDriver.CamSettings";

private:
    vyx::win::UniqueHandle m_mutex;
    bool m_held = false;
};
