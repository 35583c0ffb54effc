#pragma once
// The one owner of the camera library objects the core holds: the current one until the
// owner goes, and every one it replaced, which is closed at once but freed only with the
// owner. A page handed the pointer by ICameraInstance::GetCamera may call it until it lets
// go of the pin, and calls on a closed camera fail instead of touching freed memory. A
// replaced camera handed back is current again and no longer among the replaced ones, so
// no camera is ever freed twice.
//
// Threads: the core changes it while the source is stopped, under its lock.
#include <algorithm>
#include <new>
#include <vector>

namespace vyx {

template <class Camera>
class BasicCameraOwner {
public:
    BasicCameraOwner() = default;
    ~BasicCameraOwner() {
        if (m_current) {
            m_current->StopVideoStream();
            m_current->CloseCamera();
            m_current->Destory();
        }
        for (Camera* replaced : m_replaced) replaced->Destory();
    }
    BasicCameraOwner(const BasicCameraOwner&) = delete;
    BasicCameraOwner& operator=(const BasicCameraOwner&) = delete;

    // Makes `camera` (null: none) the current one; the previous one is stopped, closed and
    // kept. False, with nothing changed, when there is no memory to keep it.
    bool Replace(Camera* camera) {
        if (camera == m_current) return true;
        if (m_current) {
            // Room first, so nothing fails once the previous camera is closed.
            try {
                m_replaced.reserve(m_replaced.size() + 1);
            } catch (const std::bad_alloc&) {
                return false;
            }
        }
        const auto again = std::find(m_replaced.begin(), m_replaced.end(), camera);
        if (camera && again != m_replaced.end()) m_replaced.erase(again);
        Camera* previous = m_current;
        m_current = camera;
        if (!previous) return true;
        previous->StopVideoStream();
        previous->CloseCamera();
        m_replaced.push_back(previous);
        return true;
    }

    Camera* Current() const { return m_current; }

private:
    Camera* m_current = nullptr;
    std::vector<Camera*> m_replaced;  // closed, freed with the owner
};

}  // namespace vyx
