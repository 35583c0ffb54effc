#include "DeviceSwitches.h"

#include "SimulatedBus.h"

namespace vyx::sim {

bool DeviceSwitches::Open(const std::wstring& instanceId) {
    return vyx::sim::bus::OpenInstanceKey(instanceId, KEY_QUERY_VALUE | KEY_SET_VALUE, m_key.Put()) == ERROR_SUCCESS;
}

DWORD DeviceSwitches::Read(const wchar_t* name, bool* present) const {
    if (!m_key) {
        if (present) *present = false;
        return 0;
    }
    DWORD value = 0;
    DWORD size = sizeof value;
    DWORD type = 0;
    const LONG error = RegQueryValueExW(m_key.Get(), name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size);
    // A deleted key keeps a valid handle; every query on it fails this way.
    if (present) *present = error != ERROR_KEY_DELETED;
    return error == ERROR_SUCCESS && type == REG_DWORD ? value : 0;
}

bool DeviceSwitches::Present() const {
    if (!m_key) return false;
    DWORD values = 0;
    return RegQueryInfoKeyW(m_key.Get(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values, nullptr,
                            nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

bool DeviceSwitches::TakeFailedRead(bool* present) const {
    std::lock_guard<std::mutex> lock(m_countLock);
    const DWORD remaining = Read(vyx::sim::bus::kSwitchFailReads, present);
    if (remaining == 0) return false;
    const DWORD next = remaining - 1;
    RegSetValueExW(m_key.Get(), vyx::sim::bus::kSwitchFailReads, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&next),
                   sizeof next);
    return true;
}

}  // namespace vyx::sim
