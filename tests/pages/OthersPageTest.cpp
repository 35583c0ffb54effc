// The Others page: the hardware-bin box showing the camera's answer and its capability,
// both flips sent together, the other switches, and the frame-rate limit with its spin of
// 5 and its "no limit" 0.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include "PageResources.h"
#include "PageTestSupport.h"
#include "SimulatedBus.h"

using namespace vyx::pages::test;
namespace bus = vyx::sim::bus;

namespace {
bool HardBin(VyxonCamera& camera) {
    bool on = false;
    camera.GetHardBinEnable(&on);
    return on;
}

int FrameRateLimit(VyxonCamera& camera) {
    int limit = -1;
    camera.GetFrameRateLimit(&limit);
    return limit;
}
}  // namespace

TEST(OthersPage, WithoutHardwareBinTheBoxIsUncheckedAndDisabledWhateverTheCameraSays) {
    ComApartment com;
    CameraFixture camera(ColorModel());  // no hardware binning
    ASSERT_EQ(bus::SetSwitch(camera.InstanceId(), bus::kSwitchReportHardBin, 1), static_cast<DWORD>(ERROR_SUCCESS));
    ASSERT_TRUE(HardBin(*camera.Camera()));
    auto host = camera.OpenPage(kOthers);
    ASSERT_TRUE(host);
    EXPECT_FALSE(host->Checked(IDC_OT_HARDWARE_BIN));
    EXPECT_FALSE(host->Enabled(IDC_OT_HARDWARE_BIN));
    EXPECT_TRUE(host->Enabled(IDC_OT_BIN_SUM));
}

TEST(OthersPage, TheHardwareBinBoxShowsWhatTheCameraTook) {
    ComApartment com;
    CameraFixture camera(MonoModel());  // capable
    VyxonCamera& cam = *camera.Camera();
    cam.SetHardBinEnable(true);
    auto host = camera.OpenPage(kOthers);
    ASSERT_TRUE(host);
    EXPECT_TRUE(host->Enabled(IDC_OT_HARDWARE_BIN));
    EXPECT_TRUE(host->Checked(IDC_OT_HARDWARE_BIN));
    host->Click(IDC_OT_HARDWARE_BIN);
    EXPECT_FALSE(HardBin(cam));
    EXPECT_FALSE(host->Checked(IDC_OT_HARDWARE_BIN));

    ASSERT_EQ(bus::SetSwitch(camera.InstanceId(), bus::kSwitchRefuseSetHardBin, 1), static_cast<DWORD>(ERROR_SUCCESS));
    host->Click(IDC_OT_HARDWARE_BIN);
    EXPECT_FALSE(HardBin(cam));
    EXPECT_FALSE(host->Checked(IDC_OT_HARDWARE_BIN)) << "a refused change leaves the box unchecked";
    EXPECT_TRUE(host->Dirty());

    ASSERT_EQ(bus::SetSwitch(camera.InstanceId(), bus::kSwitchRefuseSetHardBin, 0), static_cast<DWORD>(ERROR_SUCCESS));
    host->Click(IDC_OT_HARDWARE_BIN);
    EXPECT_TRUE(HardBin(cam));
    EXPECT_TRUE(host->Checked(IDC_OT_HARDWARE_BIN));
}

TEST(OthersPage, EitherFlipBoxSendsBothFlipsAndTheSwitchesGoStraightToTheCamera) {
    ComApartment com;
    CameraFixture camera(MonoModel());
    VyxonCamera& cam = *camera.Camera();
    cam.SetImgFlip(false, true);
    cam.SetBinSumEnable(false);
    cam.SetImgHighQualityEnable(true);
    auto host = camera.OpenPage(kOthers);
    ASSERT_TRUE(host);
    EXPECT_FALSE(host->Checked(IDC_OT_FLIP_HORIZONTAL));
    EXPECT_TRUE(host->Checked(IDC_OT_FLIP_VERTICAL));
    EXPECT_TRUE(host->Checked(IDC_OT_HIGH_QUALITY));
    EXPECT_FALSE(host->Checked(IDC_OT_BIN_SUM));

    cam.SetImgFlip(false, false);  // behind the page's back
    host->Click(IDC_OT_FLIP_HORIZONTAL);
    bool horizontal = false, vertical = false;
    cam.GetImgFlip(&horizontal, &vertical);
    EXPECT_TRUE(horizontal);
    EXPECT_TRUE(vertical) << "the vertical box goes with the horizontal click";
    host->Click(IDC_OT_FLIP_VERTICAL);
    cam.GetImgFlip(&horizontal, &vertical);
    EXPECT_TRUE(horizontal);
    EXPECT_FALSE(vertical);

    host->Click(IDC_OT_BIN_SUM);
    host->Click(IDC_OT_HIGH_QUALITY);
    bool binSum = false, quality = true;
    cam.GetBinSumEnable(&binSum);
    cam.GetImgHighQualityEnable(&quality);
    EXPECT_TRUE(binSum);
    EXPECT_FALSE(quality);
    EXPECT_EQ(host->Apply(), S_OK);  // adds nothing
    cam.GetBinSumEnable(&binSum);
    EXPECT_TRUE(binSum);
}

TEST(OthersPage, TheFrameRateLimitSpinsInFivesWithinItsRangeAndKeepsNoLimit) {
    ComApartment com;
    CameraFixture camera(MonoModel());
    VyxonCamera& cam = *camera.Camera();
    int maximum = 0, minimum = 0, def = 0;
    cam.GetFrameRateLimitRange(&maximum, &minimum, &def);
    ASSERT_GT(minimum, 0) << "the camera's range is that of a real limit";
    ASSERT_TRUE(cam.SetFrameRateLimit(0));
    auto host = camera.OpenPage(kOthers);
    ASSERT_TRUE(host);
    EXPECT_EQ(FrameRateLimit(cam), 0);
    EXPECT_EQ(host->Text(IDC_OT_FPS_TEXT), L"0");
    EXPECT_EQ(host->TrackbarMin(IDC_OT_FPS), 0);
    EXPECT_EQ(host->TrackbarMax(IDC_OT_FPS), maximum);

    host->Spin(IDC_OT_FPS_SPIN, -1);
    EXPECT_EQ(FrameRateLimit(cam), 5);
    host->Spin(IDC_OT_FPS_SPIN, -3);
    EXPECT_EQ(FrameRateLimit(cam), 20);
    EXPECT_EQ(host->TrackbarPosition(IDC_OT_FPS), 20);
    EXPECT_EQ(host->Text(IDC_OT_FPS_TEXT), L"20");
    host->Spin(IDC_OT_FPS_SPIN, 1);
    EXPECT_EQ(FrameRateLimit(cam), 15);
    host->Spin(IDC_OT_FPS_SPIN, 1000);
    EXPECT_EQ(FrameRateLimit(cam), 0);
    host->Spin(IDC_OT_FPS_SPIN, -1000000);
    EXPECT_EQ(FrameRateLimit(cam), maximum);

    // The trackbar applies on release and paging, not while dragged.
    host->Scroll(IDC_OT_FPS, 33, TB_THUMBTRACK);
    EXPECT_EQ(FrameRateLimit(cam), maximum);
    host->Scroll(IDC_OT_FPS, 33, TB_THUMBPOSITION);
    EXPECT_EQ(FrameRateLimit(cam), 33);
    EXPECT_EQ(host->Text(IDC_OT_FPS_TEXT), L"33");
}

// A limit the application set after the page connected (during negotiation, say), or
// while another tab was shown, stays in the camera and shows on the page.
TEST(OthersPage, ActivationShowsTheCamerasLimitAndSendsNone) {
    ComApartment com;
    CameraFixture camera(MonoModel());
    VyxonCamera& cam = *camera.Camera();
    ASSERT_TRUE(cam.SetFrameRateLimit(25));
    auto host = camera.OpenPage(kOthers, false);
    ASSERT_TRUE(host);
    for (int limit : {40, 30}) {
        SCOPED_TRACE(limit);
        ASSERT_TRUE(cam.SetFrameRateLimit(limit));
        ASSERT_EQ(host->Activate(), S_OK);
        EXPECT_EQ(FrameRateLimit(cam), limit);
        EXPECT_EQ(host->Text(IDC_OT_FPS_TEXT), std::to_wstring(limit));
        EXPECT_EQ(host->TrackbarPosition(IDC_OT_FPS), limit);
        EXPECT_FALSE(host->Dirty()) << "writing the read-only limit text is no change";
        ASSERT_EQ(host->Deactivate(), S_OK);
    }
}

TEST(OthersPage, SpinReleasesReachNothingAndKeyboardMovesApply) {
    ComApartment com;
    CameraFixture camera(MonoModel());
    VyxonCamera& cam = *camera.Camera();
    ASSERT_TRUE(cam.SetFrameRateLimit(20));
    auto host = camera.OpenPage(kOthers);
    ASSERT_TRUE(host);
    host->SpinNotification(IDC_OT_FPS_SPIN, NM_RELEASEDCAPTURE, -3);
    EXPECT_EQ(FrameRateLimit(cam), 20);
    host->Key(IDC_OT_FPS, VK_RIGHT);
    EXPECT_EQ(FrameRateLimit(cam), 21);
    EXPECT_EQ(host->Text(IDC_OT_FPS_TEXT), L"21");
    host->Key(IDC_OT_FPS, VK_HOME);
    EXPECT_EQ(FrameRateLimit(cam), 0) << "Home reaches no limit";
}
