#include "OpenCamera.h"

#include <new>

namespace vyx {

bool OpenCamera::Open(int cameraId) {
    VyxonCamera* camera = VyxonCamera::CreateCamera(cameraId);
    if (!camera) return false;
    if (!camera->OpenCamera()) {
        camera->Destory();
        return false;
    }
    Reset(camera);
    return true;
}

OpenCamera::~OpenCamera() {
    Reset();
    for (VyxonCamera* closed : m_closed) closed->Destory();
}

void OpenCamera::Reset(VyxonCamera* camera) {
    if (camera == m_camera) return;
    VyxonCamera* previous = m_camera;
    m_camera = camera;
    if (!previous) return;
    previous->StopVideoStream();
    previous->CloseCamera();
    try {
        m_closed.push_back(previous);
    } catch (const std::bad_alloc&) {
        previous->Destory();  // out of memory: freed now, as before a page could hold it
    }
}

}  // namespace vyx
