#include "CameraTestSupport.h"

#include <gtest/gtest.h>

namespace vyx::sim::test {

CleanBus::CleanBus() { EXPECT_EQ(vyx::sim::bus::UnplugAll(), static_cast<DWORD>(ERROR_SUCCESS)); }

CleanBus::~CleanBus() { vyx::sim::bus::UnplugAll(); }

int FindCamera(const std::string& serial) {
    const int count = VyxonCamera::GetCamerasCount();
    for (int i = 0; i < count; ++i) {
        CameraProp prop{};
        if (VyxonCamera::GetCameraProp(i, &prop) && serial == prop.extraInfo) return i;
    }
    return -1;
}

std::wstring InstanceOf(const std::wstring& model, const std::wstring& serial) {
    const auto* row = vyx::sim::bus::FindModel(model);
    return row ? std::wstring(L"USB\\") + row->hardwareId + L"\\" + serial : std::wstring();
}

CameraPtr PlugAndOpen(const std::wstring& model, const std::wstring& serial) {
    EXPECT_EQ(vyx::sim::bus::Plug(model, serial), static_cast<DWORD>(ERROR_SUCCESS));
    const int index = FindCamera(std::string(serial.begin(), serial.end()));
    EXPECT_GE(index, 0);
    CameraProp prop{};
    EXPECT_TRUE(VyxonCamera::GetCameraProp(index, &prop));
    CameraPtr camera(VyxonCamera::CreateCamera(prop.cameraId));
    EXPECT_NE(camera, nullptr);
    if (camera) {
        EXPECT_TRUE(camera->OpenCamera());
    }
    return camera;
}

}  // namespace vyx::sim::test
