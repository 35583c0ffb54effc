#pragma once
// A simulated camera of a catalogue model, plugged on the simulated bus and opened through
// the camera library, closed and freed when the test ends.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "SimulatedBus.h"
#include "VyxonCamera.h"
#include "vyx_catalogue.h"

namespace vyx::test {

inline const vyx::catalogue::ModelRow& ModelRow(const char* displayName) {
    for (const auto& row : vyx::catalogue::kModels)
        if (std::strcmp(row.displayName, displayName) == 0) return row;
    ADD_FAILURE() << "no catalogue model " << displayName;
    return vyx::catalogue::kModels[0];
}

// Plugs the model unless a camera of it is plugged already.
inline bool PlugModel(const char* displayName) {
    const std::wstring wideName(ModelRow(displayName).displayNameW);
    for (const auto& device : vyx::sim::bus::ListPlugged())
        if (device.model == wideName) return true;
    return vyx::sim::bus::Plug(wideName) == ERROR_SUCCESS;
}

class TestCamera {
public:
    // Plugs the model (when it is not plugged yet) and opens its first camera.
    explicit TestCamera(const char* displayName) : m_row(ModelRow(displayName)) {
        EXPECT_TRUE(PlugModel(displayName));

        const int count = VyxonCamera::GetCamerasCount();
        for (int index = 0; index < count && !m_camera; ++index) {
            CameraProp prop{};
            if (!VyxonCamera::GetCameraProp(index, &prop) || prop.productId != m_row.productId) continue;
            m_camera = VyxonCamera::CreateCamera(prop.cameraId);
        }
        EXPECT_NE(m_camera, nullptr) << "no simulated camera of " << displayName;
        if (m_camera && !m_camera->OpenCamera()) {
            ADD_FAILURE() << "cannot open the simulated " << displayName;
            m_camera->Destory();
            m_camera = nullptr;
        }
    }
    ~TestCamera() {
        if (!m_camera) return;
        m_camera->CloseCamera();
        m_camera->Destory();
    }
    TestCamera(const TestCamera&) = delete;
    TestCamera& operator=(const TestCamera&) = delete;

    bool IsOpen() const { return m_camera != nullptr; }
    VyxonCamera& operator*() const { return *m_camera; }
    VyxonCamera* operator->() const { return m_camera; }
    VyxonCamera* Get() const { return m_camera; }
    const vyx::catalogue::ModelRow& Row() const { return m_row; }

private:
    const vyx::catalogue::ModelRow& m_row;
    VyxonCamera* m_camera = nullptr;
};

}  // namespace vyx::test
