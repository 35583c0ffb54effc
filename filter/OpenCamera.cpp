#include "OpenCamera.h"

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

void OpenCamera::Reset(VyxonCamera* camera) {
    if (camera == m_camera) return;
    VyxonCamera* previous = m_camera;
    m_camera = camera;
    if (!previous) return;
    previous->StopVideoStream();
    previous->CloseCamera();
    previous->Destory();
}

}  // namespace vyx
