// Enumeration, opening and the safety rules of the camera library, through its DLL.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "CameraTestSupport.h"

namespace {

using vyx::sim::test::CameraPtr;

TEST(CameraEnumeration, ListsPluggedCamerasOfKnownModelsInStableOrderWithStableIds) {
    vyx::sim::test::CleanBus bus;
    EXPECT_EQ(VyxonCamera::GetCamerasCount(), 0);
    ASSERT_EQ(vyx::sim::bus::Plug(L"Osprey 2C", L"B2"), static_cast<DWORD>(ERROR_SUCCESS));
    ASSERT_EQ(vyx::sim::bus::Plug(L"Osprey 2C", L"A1"), static_cast<DWORD>(ERROR_SUCCESS));
    ASSERT_EQ(vyx::sim::bus::Plug(L"Heron 9M", L"C3"), static_cast<DWORD>(ERROR_SUCCESS));
    // Neither an unknown product ID nor an interface of a composite device is a camera.
    ASSERT_EQ(vyx::sim::bus::PlugInstance(L"USB\\VID_2A5C&PID_0001\\X9"), static_cast<DWORD>(ERROR_SUCCESS));
    ASSERT_EQ(vyx::sim::bus::PlugInstance(L"USB\\VID_2A5C&PID_1B23&MI_00\\X8"), static_cast<DWORD>(ERROR_SUCCESS));
    ASSERT_EQ(vyx::sim::bus::PlugInstance(L"USB\\VID_1234&PID_1B23\\X7"), static_cast<DWORD>(ERROR_SUCCESS));

    ASSERT_EQ(VyxonCamera::GetCamerasCount(), 3);
    std::vector<std::string> serials;
    std::vector<int> ids;
    for (int i = 0; i < 3; ++i) {
        CameraProp prop{};
        ASSERT_TRUE(VyxonCamera::GetCameraProp(i, &prop));
        EXPECT_GT(prop.cameraId, 0);
        EXPECT_EQ(std::count(ids.begin(), ids.end(), prop.cameraId), 0) << "two cameras with one id";
        ids.push_back(prop.cameraId);
        EXPECT_EQ(prop.vendorId, 0x2A5C);
        serials.push_back(prop.extraInfo);
        // The capabilities are the catalogue's (the pages' tests see each one at work); here
        // the identity and the ends of the two lists.
        const bool heron = std::strcmp(prop.extraInfo, "C3") == 0;
        EXPECT_STREQ(prop.modelName, heron ? "Heron 9M" : "Osprey 2C");
        EXPECT_EQ(prop.productId, heron ? 0x14D8 : 0x1B23);
        EXPECT_EQ(prop.isColorCamera, !heron);
        EXPECT_EQ(prop.supportedBins[heron ? 4 : 3], 0);
        EXPECT_EQ(prop.supportedFormats[heron ? 2 : 5], -1);
    }
    // The same order on every enumeration.
    for (int i = 0; i < 3; ++i) {
        CameraProp prop{};
        ASSERT_TRUE(VyxonCamera::GetCameraProp(i, &prop));
        EXPECT_EQ(serials[i], prop.extraInfo);
    }
    CameraProp untouched{};
    untouched.cameraId = 77;
    EXPECT_FALSE(VyxonCamera::GetCameraProp(3, &untouched));
    EXPECT_FALSE(VyxonCamera::GetCameraProp(-1, &untouched));
    EXPECT_FALSE(VyxonCamera::GetCameraProp(0, nullptr));
    EXPECT_EQ(untouched.cameraId, 77);
    EXPECT_EQ(VyxonCamera::CreateCamera(0), nullptr);
    EXPECT_EQ(VyxonCamera::CreateCamera(-1), nullptr);

    // As a USB camera keeps its identity: the ones that stay keep their ids when one before
    // them goes, and the id of a camera gone opens nothing.
    const int goneId = ids[std::find(serials.begin(), serials.end(), "A1") - serials.begin()];
    ASSERT_EQ(vyx::sim::bus::Unplug(L"Osprey 2C", L"A1"), static_cast<DWORD>(ERROR_SUCCESS));
    ASSERT_EQ(VyxonCamera::GetCamerasCount(), 2);
    for (int i = 0; i < 2; ++i) {
        CameraProp prop{};
        ASSERT_TRUE(VyxonCamera::GetCameraProp(i, &prop));
        const auto listed = std::find(serials.begin(), serials.end(), std::string(prop.extraInfo));
        ASSERT_NE(listed, serials.end());
        EXPECT_EQ(prop.cameraId, ids[listed - serials.begin()]) << prop.extraInfo;
    }
    EXPECT_EQ(VyxonCamera::CreateCamera(goneId), nullptr);

    ASSERT_EQ(vyx::sim::bus::Unplug(L"Osprey 2C", L""), static_cast<DWORD>(ERROR_SUCCESS));
    EXPECT_EQ(VyxonCamera::GetCamerasCount(), 1);
}

TEST(CameraEnumeration, OpensOnceAndRefusesWhenClosedOrSwitchedOff) {
    vyx::sim::test::CleanBus bus;
    CameraPtr camera = vyx::sim::test::PlugAndOpen(L"Kestrel 2M", L"K1");
    ASSERT_TRUE(camera);
    EXPECT_TRUE(camera->IsOpened());
    CameraProp prop{};
    ASSERT_TRUE(camera->GetTheProp(&prop));
    EXPECT_STREQ(prop.modelName, "Kestrel 2M");
    EXPECT_STREQ(prop.extraInfo, "K1");

    // A camera is open in one place at a time.
    CameraPtr second(VyxonCamera::CreateCamera(prop.cameraId));
    ASSERT_TRUE(second);
    EXPECT_FALSE(second->OpenCamera());
    EXPECT_FALSE(second->IsOpened());

    EXPECT_TRUE(camera->CloseCamera());
    EXPECT_FALSE(camera->IsOpened());
    int width = -5, height = -5;
    EXPECT_FALSE(camera->GetImgSize(&width, &height));
    EXPECT_EQ(width, -5);
    EXPECT_FALSE(camera->SetBin(2));
    EXPECT_FALSE(camera->StartVideoStream());
    EXPECT_FALSE(camera->GetTheProp(&prop));
    EXPECT_TRUE(second->OpenCamera());  // free again

    ASSERT_TRUE(second->CloseCamera());
    ASSERT_EQ(vyx::sim::bus::SetSwitch(vyx::sim::test::InstanceOf(L"Kestrel 2M", L"K1"), vyx::sim::bus::kSwitchRefuseOpen, 1),
              static_cast<DWORD>(ERROR_SUCCESS));
    EXPECT_FALSE(second->OpenCamera());
    ASSERT_EQ(vyx::sim::bus::SetSwitch(vyx::sim::test::InstanceOf(L"Kestrel 2M", L"K1"), vyx::sim::bus::kSwitchRefuseOpen, 0),
              static_cast<DWORD>(ERROR_SUCCESS));
    EXPECT_TRUE(second->OpenCamera());

    // Unplugged while open: frames stop, getters refuse as a USB camera's do and leave their
    // outputs, and the object stays safe to use and free.
    ASSERT_EQ(vyx::sim::bus::Unplug(L"Kestrel 2M", L"K1"), static_cast<DWORD>(ERROR_SUCCESS));
    EXPECT_FALSE(second->StartVideoStream());
    int gain = -3, exposure = -3;
    bool automatic = true;
    EXPECT_FALSE(second->GetGain(&gain, &automatic));
    EXPECT_FALSE(second->GetExposure(&exposure, &automatic));
    EXPECT_FALSE(second->GetImgSize(&width, &height));
    EXPECT_EQ(gain, -3);
    EXPECT_EQ(exposure, -3);
    EXPECT_TRUE(automatic);
    EXPECT_TRUE(second->CloseCamera());
    EXPECT_FALSE(second->OpenCamera());
}

}  // namespace
