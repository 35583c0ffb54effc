#pragma once
// Which models' Windows 11 virtual cameras this process has added, so that a model has one
// exactly while it is plugged in and its x64 filter is registered (the frame server is a
// 64-bit process and loads the media source from that library). Windows keeps a camera of
// system lifetime across restarts, and adding one that is there only starts it again, so
// each run adds once per plugged model and removes what it added, or what belonged to an
// x64 filter it unregistered. Where the helper finds no MFCreateVirtualCamera, one event
// line says so and nothing more is tried in this process.
//
// Threads: one thread uses an object (the reconcile worker, or the uninstall command).

#include "CameraModelTable.h"

#include <windows.h>

#include <array>
#include <cstdint>

namespace vyx::service {

class VirtualCameras {
public:
    // `wanted`: plugged in with its x64 filter registered. `x64Unregistered`: the filter's
    // x64 registration was just removed. True when it ran the helper.
    bool Update(std::uint32_t modelIndex, bool wanted, bool x64Unregistered, HANDLE stopEvent);

private:
    std::array<bool, kCameraModelCount> m_added{};
    bool m_unavailable = false;
};

}  // namespace vyx::service
