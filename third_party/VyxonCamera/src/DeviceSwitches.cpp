#include "DeviceSwitches.h"

#include "SimulatedBus.h"

namespace vyxcam {

bool DeviceSwitches::Open(const std::wstring& instanceId) {
    return vyxsim::OpenInstanceKey(instanceId, KEY_QUERY_VALUE | KEY_SET_VALUE, m_key.Put()) == ERROR_SUCCESS;
}

DWORD DeviceSwitches::Read(const wchar_t* name) const {
    DWORD value = 0;
    DWORD size = sizeof value;
    DWORD type = 0;
    if (!m_key || RegQueryValueExW(m_key.Get(), name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) !=
                      ERROR_SUCCESS ||
        type != REG_DWORD)
        return 0;
    return value;
}

bool DeviceSwitches::Present() const {
    if (!m_key) return false;
    DWORD values = 0;
    // A deleted key still has a valid handle; every query on it fails.
    return RegQueryInfoKeyW(m_key.Get(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values, nullptr,
                            nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

bool DeviceSwitches::TakeFailedRead() const {
    std::lock_guard<std::mutex> lock(m_countLock);
    const DWORD remaining = Read(vyxsim::kSwitchFailReads);
    if (remaining == 0) return false;
    const DWORD next = remaining - 1;
    RegSetValueExW(m_key.Get(), vyxsim::kSwitchFailReads, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&next),
                   sizeof next);
    return true;
}

}  // namespace vyxcam
