#include "DeviceSwitches.h"

#include <cwchar>

#include "BusChanges.h"

namespace vyx::sim {
namespace {

std::size_t IndexOf(const wchar_t* name) {
    for (std::size_t i = 0; i < std::size(vyx::sim::bus::kSwitchNames); ++i)
        if (std::wcscmp(vyx::sim::bus::kSwitchNames[i], name) == 0) return i;
    return std::size(vyx::sim::bus::kSwitchNames);
}

}  // namespace

bool DeviceSwitches::Open(const std::wstring& instanceId) {
    return vyx::sim::bus::OpenInstanceKey(instanceId, KEY_QUERY_VALUE | KEY_SET_VALUE, m_key.Put()) == ERROR_SUCCESS;
}

void DeviceSwitches::RefreshIfChangedLocked() const {
    if (!m_key) return;
    // Taken before the registry reads: a change made during them moves the count again.
    LONG changes = 0;
    const bool counted = vyx::sim::bus::ReadChangeCount(&changes);
    if (m_loaded && counted && changes == m_seenChanges) return;
    bool present = true;
    for (std::size_t i = 0; i < kCount; ++i) {
        DWORD value = 0;
        DWORD size = sizeof value;
        DWORD type = 0;
        const LONG error = RegQueryValueExW(m_key.Get(), vyx::sim::bus::kSwitchNames[i], nullptr, &type,
                                            reinterpret_cast<BYTE*>(&value), &size);
        // A deleted key keeps a valid handle; every query on it fails this way.
        if (error == ERROR_KEY_DELETED) present = false;
        m_values[i] = error == ERROR_SUCCESS && type == REG_DWORD ? value : 0;
    }
    m_present = present;
    m_seenChanges = changes;
    m_loaded = counted;  // without the shared count, every read goes to the registry
}

DWORD DeviceSwitches::Read(const wchar_t* name, bool* present) const {
    std::lock_guard<std::mutex> lock(m_lock);
    RefreshIfChangedLocked();
    if (present) *present = m_present;
    const std::size_t index = IndexOf(name);
    return m_present && index < kCount ? m_values[index] : 0;
}

bool DeviceSwitches::Present() const {
    if (!m_key) return false;
    DWORD values = 0;
    return RegQueryInfoKeyW(m_key.Get(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values, nullptr,
                            nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

bool DeviceSwitches::TakeFailedRead(bool* present) const {
    std::lock_guard<std::mutex> lock(m_lock);
    RefreshIfChangedLocked();
    if (present) *present = m_present;
    const std::size_t index = IndexOf(vyx::sim::bus::kSwitchFailReads);
    if (!m_present || m_values[index] == 0) return false;
    // The registry keeps what is left, for vyxsim and every other process; the count
    // tells their caches.
    const DWORD next = m_values[index] - 1;
    if (RegSetValueExW(m_key.Get(), vyx::sim::bus::kSwitchFailReads, 0, REG_DWORD,
                       reinterpret_cast<const BYTE*>(&next), sizeof next) == ERROR_SUCCESS)
        vyx::sim::bus::CountChange();
    m_values[index] = next;
    return true;
}

}  // namespace vyx::sim
