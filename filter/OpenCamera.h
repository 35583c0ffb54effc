#pragma once
// The one owner of the pin's camera library object: from the opened object it is handed
// to until Reset or destruction, which stop its stream, close it and free it (Destory).
// Replacing the camera never leaves the previous one open.
//
// Threads: the pin changes it while stopped (construction, ICameraInstance::SetCamera under
// the instance lock, destruction) and mirrors it into PinState::camera, which the pin's
// interface parts read.
#include "VyxonCamera.h"

namespace vyx {

class OpenCamera {
public:
    OpenCamera() = default;
    ~OpenCamera() { Reset(); }
    OpenCamera(const OpenCamera&) = delete;
    OpenCamera& operator=(const OpenCamera&) = delete;

    // Creates and opens the camera of `cameraId`; false (owning nothing) when either fails.
    bool Open(int cameraId);
    // Takes over `camera`; the previous object, unless it is the same, is closed and freed.
    void Reset(VyxonCamera* camera = nullptr);

    VyxonCamera* Get() const { return m_camera; }

private:
    VyxonCamera* m_camera = nullptr;
};

}  // namespace vyx
