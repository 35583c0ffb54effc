// The Auto Control page: the unit of the exposure limit, its clamps and spins, Default, and
// Apply sending all three limits again.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include "PageResources.h"
#include "PageTestSupport.h"

using namespace vyx::pages::test;

namespace {
struct AutoControl : ::testing::Test {
    ComApartment com;
    CameraFixture camera{ColorModel()};
    VyxonCamera& cam = *camera.Camera();
    int maxMs = 0, minMs = 0, defMs = 0;

    void SetUp() override { cam.GetAutoExpMaxRange(&maxMs, &minMs, &defMs); }
    int ExposureMax() {
        int value = 0;
        cam.GetAutoExpMax(&value);
        return value;
    }
};
}  // namespace

TEST_F(AutoControl, OpensInMillisecondsOrSecondsByTheLimit) {
    cam.SetAutoExpMax(500);
    {
        auto host = camera.OpenPage(kAutoControl);
        ASSERT_TRUE(host);
        EXPECT_TRUE(host->Checked(IDC_AC_UNIT_MS));
        EXPECT_EQ(host->TrackbarMin(IDC_AC_EXPOSURE_MAX), 1);
        EXPECT_EQ(host->TrackbarMax(IDC_AC_EXPOSURE_MAX), 999);
        EXPECT_EQ(host->TrackbarPosition(IDC_AC_EXPOSURE_MAX), 500);
        EXPECT_EQ(host->Text(IDC_AC_EXPOSURE_MAX_TEXT), L"500ms");
    }
    cam.SetAutoExpMax(2000);
    auto host = camera.OpenPage(kAutoControl);
    EXPECT_TRUE(host->Checked(IDC_AC_UNIT_S));
    EXPECT_EQ(host->TrackbarPosition(IDC_AC_EXPOSURE_MAX), 2);
    EXPECT_EQ(host->TrackbarMax(IDC_AC_EXPOSURE_MAX), maxMs / 1000);
    EXPECT_EQ(host->Text(IDC_AC_EXPOSURE_MAX_TEXT), L"2s");
}

// Limits the application set after the page connected, or while another tab was shown,
// stay in the camera: 1.5 s is not cut to the trackbar's whole seconds.
TEST_F(AutoControl, ActivationShowsTheCamerasLimitsAndSendsNone) {
    int gainMax = 0, gainMin = 0, gainDef = 0, brightMax = 0, brightMin = 0, brightDef = 0;
    cam.GetAutoGainMaxRange(&gainMax, &gainMin, &gainDef);
    cam.GetTargetBrightnessRange(&brightMax, &brightMin, &brightDef);
    cam.SetAutoExpMax(300);
    auto host = camera.OpenPage(kAutoControl, false);
    ASSERT_TRUE(host);
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        cam.SetAutoExpMax(1500 + round);
        cam.SetAutoGainMax(gainMin + 3 + round);
        cam.SetTargetBrightness(brightMin + 4 + round);
        ASSERT_EQ(host->Activate(), S_OK);
        EXPECT_EQ(ExposureMax(), 1500 + round);
        int value = 0;
        cam.GetAutoGainMax(&value);
        EXPECT_EQ(value, gainMin + 3 + round);
        cam.GetTargetBrightness(&value);
        EXPECT_EQ(value, brightMin + 4 + round);
        EXPECT_EQ(host->Text(IDC_AC_EXPOSURE_MAX_TEXT), L"1s");
        EXPECT_EQ(host->Text(IDC_AC_GAIN_MAX_TEXT), std::to_wstring(gainMin + 3 + round));
        EXPECT_EQ(host->Text(IDC_AC_BRIGHTNESS_TEXT), std::to_wstring(brightMin + 4 + round));
        EXPECT_FALSE(host->Dirty());
        ASSERT_EQ(host->Deactivate(), S_OK);
    }
}

TEST_F(AutoControl, SpinReleasesReachNothingAndKeyboardMovesApply) {
    int gainMax = 0, gainMin = 0, gainDef = 0;
    cam.GetAutoGainMaxRange(&gainMax, &gainMin, &gainDef);
    cam.SetAutoExpMax(400);
    cam.SetAutoGainMax(gainMin + 10);
    auto host = camera.OpenPage(kAutoControl);
    ASSERT_TRUE(host);
    for (int spin : {IDC_AC_EXPOSURE_MAX_SPIN, IDC_AC_GAIN_MAX_SPIN, IDC_AC_BRIGHTNESS_SPIN})
        host->SpinNotification(spin, NM_RELEASEDCAPTURE, -3);
    EXPECT_EQ(ExposureMax(), 400);
    int value = 0;
    cam.GetAutoGainMax(&value);
    EXPECT_EQ(value, gainMin + 10);
    host->Key(IDC_AC_GAIN_MAX, VK_RIGHT);
    cam.GetAutoGainMax(&value);
    EXPECT_EQ(value, gainMin + 11);
    host->Key(IDC_AC_EXPOSURE_MAX, VK_LEFT);
    EXPECT_EQ(ExposureMax(), 399);
    EXPECT_EQ(host->Text(IDC_AC_EXPOSURE_MAX_TEXT), L"399ms");
}

TEST_F(AutoControl, SwitchingUnitsClampsAndSends) {
    cam.SetAutoExpMax(500);
    auto host = camera.OpenPage(kAutoControl);
    ASSERT_TRUE(host);
    host->Click(IDC_AC_UNIT_S);
    EXPECT_EQ(ExposureMax(), 1000);
    EXPECT_EQ(host->Text(IDC_AC_EXPOSURE_MAX_TEXT), L"1s");
    // In s the spin stays between 1 s and the camera's maximum.
    host->Spin(IDC_AC_EXPOSURE_MAX_SPIN, 3);
    EXPECT_EQ(ExposureMax(), 1000);
    host->Spin(IDC_AC_EXPOSURE_MAX_SPIN, -1000000);
    EXPECT_EQ(ExposureMax(), maxMs / 1000 * 1000);
    host->Click(IDC_AC_UNIT_MS);
    EXPECT_EQ(ExposureMax(), 999);
    EXPECT_EQ(host->Text(IDC_AC_EXPOSURE_MAX_TEXT), L"999ms");
    host->Spin(IDC_AC_EXPOSURE_MAX_SPIN, -1);
    EXPECT_EQ(ExposureMax(), 999);
    host->Spin(IDC_AC_EXPOSURE_MAX_SPIN, 5000);
    EXPECT_EQ(ExposureMax(), 1);
}

TEST_F(AutoControl, TrackbarsApplyWhileDraggedAndSpinsClampGainAndBrightness) {
    int gainMax = 0, gainMin = 0, gainDef = 0, brightMax = 0, brightMin = 0, brightDef = 0;
    cam.GetAutoGainMaxRange(&gainMax, &gainMin, &gainDef);
    cam.GetTargetBrightnessRange(&brightMax, &brightMin, &brightDef);
    auto host = camera.OpenPage(kAutoControl);
    ASSERT_TRUE(host);
    host->Scroll(IDC_AC_GAIN_MAX, gainMin + 5, TB_THUMBTRACK);
    int value = 0;
    cam.GetAutoGainMax(&value);
    EXPECT_EQ(value, gainMin + 5);
    EXPECT_EQ(host->Text(IDC_AC_GAIN_MAX_TEXT), std::to_wstring(gainMin + 5));
    host->Scroll(IDC_AC_GAIN_MAX, gainMin + 9, TB_THUMBPOSITION);  // the release adds nothing
    cam.GetAutoGainMax(&value);
    EXPECT_EQ(value, gainMin + 5);
    host->Spin(IDC_AC_GAIN_MAX_SPIN, 1000000);
    cam.GetAutoGainMax(&value);
    EXPECT_EQ(value, gainMin);
    host->Spin(IDC_AC_BRIGHTNESS_SPIN, -1000000);
    cam.GetTargetBrightness(&value);
    EXPECT_EQ(value, brightMax);
    EXPECT_EQ(host->Text(IDC_AC_BRIGHTNESS_TEXT), std::to_wstring(brightMax));
}

TEST_F(AutoControl, DefaultRestoresAndSendsAllThreeLimits) {
    int gainMax = 0, gainMin = 0, gainDef = 0, brightMax = 0, brightMin = 0, brightDef = 0;
    cam.GetAutoGainMaxRange(&gainMax, &gainMin, &gainDef);
    cam.GetTargetBrightnessRange(&brightMax, &brightMin, &brightDef);
    cam.SetAutoExpMax(defMs >= 1000 ? 300 : 5000);
    cam.SetAutoGainMax(gainMin);
    cam.SetTargetBrightness(brightMin);
    auto host = camera.OpenPage(kAutoControl);
    ASSERT_TRUE(host);
    host->Click(IDC_AC_DEFAULT);
    EXPECT_EQ(ExposureMax(), defMs >= 1000 ? defMs / 1000 * 1000 : defMs);
    EXPECT_TRUE(host->Checked(defMs >= 1000 ? IDC_AC_UNIT_S : IDC_AC_UNIT_MS));
    EXPECT_FALSE(host->Checked(defMs >= 1000 ? IDC_AC_UNIT_MS : IDC_AC_UNIT_S));
    int value = 0;
    cam.GetAutoGainMax(&value);
    EXPECT_EQ(value, gainDef);
    cam.GetTargetBrightness(&value);
    EXPECT_EQ(value, brightDef);
}

TEST_F(AutoControl, ApplySendsAllThreeAgainEvenWithoutChanges) {
    cam.SetAutoExpMax(400);
    auto host = camera.OpenPage(kAutoControl);
    ASSERT_TRUE(host);
    int gain = 0, brightness = 0;
    cam.GetAutoGainMax(&gain);
    cam.GetTargetBrightness(&brightness);
    host->Click(IDC_AC_UNIT_MS);  // already ms: changes nothing, marks the page
    cam.SetAutoExpMax(123);
    cam.SetAutoGainMax(gain - 1);
    cam.SetTargetBrightness(brightness - 1);
    EXPECT_EQ(host->Apply(), S_OK);
    int value = 0;
    EXPECT_EQ(ExposureMax(), 400);
    cam.GetAutoGainMax(&value);
    EXPECT_EQ(value, gain);
    cam.GetTargetBrightness(&value);
    EXPECT_EQ(value, brightness);
}
