// Live reads of a simulated camera's behaviour switches: DWORD values on its device
// instance key, which tests and vyxsim change while the camera is in use. Keeps the
// key open, so a read is one registry query and an unplugged camera is noticed.
// Thread-safe: registry queries on one key handle may run concurrently.
#pragma once

#include <windows.h>

#include <mutex>
#include <string>

#include "UniqueResource.h"

namespace vyx::sim {

class DeviceSwitches {
public:
    bool Open(const std::wstring& instanceId);
    // 0 when the value is absent or the camera is gone; *present turns false when the
    // camera's device instance has been removed. One registry query.
    DWORD Read(const wchar_t* name, bool* present = nullptr) const;
    bool On(const wchar_t* name) const { return Read(name) != 0; }
    bool Present() const;
    // Consumes one of the failures that the fail-reads switch asks for.
    bool TakeFailedRead(bool* present) const;

private:
    vyx::win::UniqueRegKey m_key;
    mutable std::mutex m_countLock;  // makes TakeFailedRead a read-and-decrement
};

}  // namespace vyx::sim
