// A simulated camera's behaviour switches: DWORD values on its device instance key, which
// tests and vyxsim change while the camera is in use. All of them are read from the
// registry at once, and again only when the bus's shared change count has moved since
// (a switch set, a device plugged or unplugged), so the per-frame calls (IsDataReady,
// GetImageData, GetFrameTime) read memory instead of querying the registry.
// Thread-safe: m_lock guards the cached values, the count they belong to and the refresh.
#pragma once

#include <windows.h>

#include <array>
#include <iterator>
#include <mutex>
#include <string>

#include "SimulatedBus.h"
#include "UniqueResource.h"

namespace vyx::sim {

class DeviceSwitches {
public:
    bool Open(const std::wstring& instanceId);
    // 0 when the value is absent or the camera is gone; *present turns false when the
    // camera's device instance has been removed.
    DWORD Read(const wchar_t* name, bool* present = nullptr) const;
    bool On(const wchar_t* name) const { return Read(name) != 0; }
    bool Present() const;
    // Consumes one of the failures that the fail-reads switch asks for.
    bool TakeFailedRead(bool* present) const;

private:
    static constexpr std::size_t kCount = std::size(vyx::sim::bus::kSwitchNames);

    void RefreshIfChangedLocked() const;

    vyx::win::UniqueRegKey m_key;
    mutable std::mutex m_lock;
    mutable bool m_loaded = false;
    mutable LONG m_seenChanges = 0;  // the bus's change count the values belong to
    mutable std::array<DWORD, kCount> m_values{};
    mutable bool m_present = false;
};

}  // namespace vyx::sim
