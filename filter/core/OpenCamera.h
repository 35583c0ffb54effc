#pragma once
// The one owner of the pin's camera library object: from the opened object it is handed
// to until Reset or destruction, which stop its stream and close it. Replacing the camera
// never leaves the previous one open, but frees it (Destory) only with this owner: a page
// handed the pointer by ICameraInstance::GetCamera may call it until it lets go of the
// pin, and its calls on a closed camera fail instead of touching freed memory.
//
// Threads: the pin changes it while stopped (construction, ICameraInstance::SetCamera under
// the instance lock, destruction) and mirrors it into PinState::camera, which the pin's
// interface parts read under the same lock.
#include <vector>

#include "VyxonCamera.h"

namespace vyx {

class OpenCamera {
public:
    OpenCamera() = default;
    ~OpenCamera();
    OpenCamera(const OpenCamera&) = delete;
    OpenCamera& operator=(const OpenCamera&) = delete;

    // Creates and opens the camera of `cameraId`; false (owning nothing) when either fails.
    bool Open(int cameraId);
    // Takes over `camera`; the previous object, unless it is the same, is closed, and freed
    // with this owner.
    void Reset(VyxonCamera* camera = nullptr);

    VyxonCamera* Get() const { return m_camera; }

private:
    VyxonCamera* m_camera = nullptr;
    std::vector<VyxonCamera*> m_closed;  // replaced, closed, not yet freed
};

}  // namespace vyx
