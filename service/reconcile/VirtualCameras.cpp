#include "VirtualCameras.h"

#include "VirtualCameraAction.h"

namespace vyx::service {

bool VirtualCameras::Update(std::uint32_t modelIndex, bool wanted, bool x64Unregistered, HANDLE stopEvent)
{
    const bool add = wanted && !m_added[modelIndex];
    const bool remove = !wanted && (m_added[modelIndex] || x64Unregistered);
    if (m_unavailable || (!add && !remove)) {
        return false;
    }
    const CameraModel& model = CameraModelTable::Row(modelIndex);
    const VirtualCameraOutcome outcome = RunVirtualCameraAction(model, add, stopEvent);
    if (outcome == VirtualCameraOutcome::Unavailable) {
        m_unavailable = true;
        return true;
    }
    // A failed removal is not retried: the camera may be gone already, and the line says so.
    m_added[modelIndex] = add && outcome == VirtualCameraOutcome::Done;
    return true;
}

}  // namespace vyx::service
