#include "SettingsFileLock.h"

SettingsFileLock::SettingsFileLock(DWORD timeoutMs) : m_mutex(CreateMutexW(nullptr, FALSE, kName)) {
    if (!m_mutex) return;
    const DWORD wait = WaitForSingleObject(m_mutex.Get(), timeoutMs);
    m_held = wait == WAIT_OBJECT_0 || wait == WAIT_ABANDONED;
}

SettingsFileLock::~SettingsFileLock() {
    if (m_held) ReleaseMutex(m_mutex.Get());
}
