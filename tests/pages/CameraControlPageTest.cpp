// The Camera Control page: exposure units and their clamps, spins, gain and offset presets,
// Default, auto exposure and auto gain with their refresh timers, the USB label; checked on
// the simulated camera and on the page's texts.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include "PageResources.h"
#include "PageTestSupport.h"
#include "SimulatedBus.h"

using namespace vyx::pages::test;

namespace {
struct Range {
    int max = 0, min = 0, def = 0;
};

struct CameraControl : ::testing::Test {
    ComApartment com;
    CameraFixture camera{ColorModel()};
    VyxonCamera& cam = *camera.Camera();

    int Exposure() {
        int value = 0;
        bool automatic = false;
        cam.GetExposure(&value, &automatic);
        return value;
    }
    bool ExposureAuto() {
        int value = 0;
        bool automatic = false;
        cam.GetExposure(&value, &automatic);
        return automatic;
    }
    int Gain() {
        int value = 0;
        bool automatic = false;
        cam.GetGain(&value, &automatic);
        return value;
    }
    int Offset() {
        int value = 0;
        cam.GetOffset(&value);
        return value;
    }
    Range ExposureRange() {
        Range r;
        cam.GetExposureRange(&r.max, &r.min, &r.def);
        return r;
    }
};
}  // namespace

TEST_F(CameraControl, OpensInMicrosecondsBelowOneMillisecond) {
    cam.SetExposure(500, false);
    auto host = camera.OpenPage(kCameraControl);
    ASSERT_TRUE(host);
    EXPECT_TRUE(host->Checked(IDC_CC_UNIT_US));
    EXPECT_EQ(host->TrackbarMin(IDC_CC_EXPOSURE), ExposureRange().min);
    EXPECT_EQ(host->TrackbarMax(IDC_CC_EXPOSURE), 999);
    EXPECT_EQ(host->TrackbarPosition(IDC_CC_EXPOSURE), 500);
    EXPECT_EQ(host->Text(IDC_CC_EXPOSURE_TEXT), L"500us");

    // ms at 500 us raises the exposure to 1 ms and sends it.
    host->Click(IDC_CC_UNIT_MS);
    EXPECT_EQ(Exposure(), 1000);
    EXPECT_EQ(host->Text(IDC_CC_EXPOSURE_TEXT), L"1ms");
    EXPECT_EQ(host->TrackbarMin(IDC_CC_EXPOSURE), 1);
    EXPECT_EQ(host->TrackbarMax(IDC_CC_EXPOSURE), 999);

    // Back to us: above 999 becomes 999.
    host->Click(IDC_CC_UNIT_US);
    EXPECT_EQ(Exposure(), 999);
    EXPECT_EQ(host->Text(IDC_CC_EXPOSURE_TEXT), L"999us");
}

TEST_F(CameraControl, SecondsRaiseShortExposuresToOneSecondAndSpinsClamp) {
    cam.SetExposure(20000, false);
    auto host = camera.OpenPage(kCameraControl);
    ASSERT_TRUE(host);
    EXPECT_TRUE(host->Checked(IDC_CC_UNIT_MS));
    EXPECT_EQ(host->Text(IDC_CC_EXPOSURE_TEXT), L"20ms");
    host->Click(IDC_CC_UNIT_S);
    EXPECT_EQ(Exposure(), 1000000);
    EXPECT_EQ(host->Text(IDC_CC_EXPOSURE_TEXT), L"1s");
    EXPECT_EQ(host->TrackbarMax(IDC_CC_EXPOSURE), ExposureRange().max / 1000000);
    host->Spin(IDC_CC_EXPOSURE_SPIN, 1);  // down arrow: below 1 s stays at 1 s
    EXPECT_EQ(Exposure(), 1000000);
    host->Spin(IDC_CC_EXPOSURE_SPIN, -2);
    EXPECT_EQ(Exposure(), 3000000);
    EXPECT_EQ(host->Text(IDC_CC_EXPOSURE_TEXT), L"3s");
    host->Spin(IDC_CC_EXPOSURE_SPIN, -100000);  // far above: the camera's maximum, no overflow
    EXPECT_EQ(Exposure(), ExposureRange().max / 1000000 * 1000000);

    // ms: spins stop at 1 ms and at 999 ms.
    host->Click(IDC_CC_UNIT_MS);
    EXPECT_EQ(Exposure(), 999000);
    host->Spin(IDC_CC_EXPOSURE_SPIN, -1);
    EXPECT_EQ(Exposure(), 999000);
    EXPECT_EQ(host->Text(IDC_CC_EXPOSURE_TEXT), L"999ms");
    host->Scroll(IDC_CC_EXPOSURE, 2, TB_THUMBPOSITION);
    EXPECT_EQ(Exposure(), 2000);
    host->Spin(IDC_CC_EXPOSURE_SPIN, 5);
    EXPECT_EQ(Exposure(), 1000);
    EXPECT_EQ(host->TrackbarPosition(IDC_CC_EXPOSURE), 1);

    // us: spins stop at the camera's minimum.
    host->Click(IDC_CC_UNIT_US);
    host->Spin(IDC_CC_EXPOSURE_SPIN, 5000);
    EXPECT_EQ(Exposure(), ExposureRange().min);
}

TEST_F(CameraControl, GainOffsetAndBandwidthSpinsAndTrackbarsReachTheCamera) {
    Range gain, offset, usb;
    cam.GetGainRange(&gain.max, &gain.min, &gain.def);
    cam.GetOffsetRange(&offset.max, &offset.min, &offset.def);
    cam.GetUsbBandwidthRange(&usb.max, &usb.min, &usb.def);
    cam.SetGain(gain.min + 10, false);
    cam.SetUsbBandwidthLimit(usb.min);
    auto host = camera.OpenPage(kCameraControl);
    ASSERT_TRUE(host);
    host->Spin(IDC_CC_GAIN_SPIN, -1);
    EXPECT_EQ(Gain(), gain.min + 11);
    EXPECT_EQ(host->Text(IDC_CC_GAIN_TEXT), std::to_wstring(gain.min + 11));
    host->Spin(IDC_CC_GAIN_SPIN, 1000000);
    EXPECT_EQ(Gain(), gain.min);
    host->Spin(IDC_CC_USB_SPIN, 1);
    int limit = 0;
    cam.GetUsbBandwidthLimit(&limit);
    EXPECT_EQ(limit, usb.min);
    EXPECT_EQ(host->Text(IDC_CC_USB_TEXT), std::to_wstring(usb.min) + L"%");
    host->Scroll(IDC_CC_OFFSET, offset.min + 7, TB_THUMBPOSITION);
    EXPECT_EQ(Offset(), offset.min + 7);
    EXPECT_EQ(host->Text(IDC_CC_OFFSET_TEXT), std::to_wstring(offset.min + 7));
    host->Spin(IDC_CC_OFFSET_SPIN, -1000000);
    EXPECT_EQ(Offset(), offset.max);
}

TEST_F(CameraControl, PresetsOpenSelectedWhenMatchedAndSendGainAndOffset) {
    int presets[8] = {};
    cam.GetGainsAndOffsets(&presets[0], &presets[1], &presets[2], &presets[3], &presets[4], &presets[5], &presets[6],
                           &presets[7]);
    cam.SetGain(presets[1], false);
    cam.SetOffset(presets[5]);
    {
        auto host = camera.OpenPage(kCameraControl);
        ASSERT_TRUE(host);
        ASSERT_EQ(host->ItemCount(IDC_CC_PRESETS), 4);
        EXPECT_EQ(host->ItemText(IDC_CC_PRESETS, 0), L"HighestDR");
        EXPECT_EQ(host->ItemText(IDC_CC_PRESETS, 3), L"LowestRN");
        EXPECT_EQ(host->Selection(IDC_CC_PRESETS), 1);  // HCG
        host->Select(IDC_CC_PRESETS, 3);
        EXPECT_EQ(Gain(), presets[3]);
        EXPECT_EQ(Offset(), presets[7]);
        EXPECT_EQ(host->Text(IDC_CC_GAIN_TEXT), std::to_wstring(presets[3]));
        EXPECT_EQ(host->TrackbarPosition(IDC_CC_OFFSET), presets[7]);
    }
    cam.SetGain(presets[1] + 1, false);
    auto host = camera.OpenPage(kCameraControl);
    EXPECT_EQ(host->Selection(IDC_CC_PRESETS), CB_ERR);
}

// The Heron 9C is cooled: its default exposure is 2 s, shown in seconds, so the next spin
// click or key move starts from 2 s.
TEST_F(CameraControl, DefaultSwitchesAutoOffShowsTheDefaultInItsUnitAndSendsAllFour) {
    Range gain, offset, usb;
    cam.GetGainRange(&gain.max, &gain.min, &gain.def);
    cam.GetOffsetRange(&offset.max, &offset.min, &offset.def);
    cam.GetUsbBandwidthRange(&usb.max, &usb.min, &usb.def);
    ASSERT_EQ(ExposureRange().def, 2000000);
    cam.SetExposure(300, true);
    cam.SetGain(gain.max, true);
    cam.SetOffset(offset.max);
    cam.SetUsbBandwidthLimit(usb.min);
    auto host = camera.OpenPage(kCameraControl);
    ASSERT_TRUE(host);
    EXPECT_FALSE(host->Enabled(IDC_CC_EXPOSURE));
    EXPECT_FALSE(host->Enabled(IDC_CC_GAIN_SPIN));
    host->Click(IDC_CC_DEFAULT);
    EXPECT_EQ(Exposure(), 2000000);
    EXPECT_FALSE(ExposureAuto());
    bool automatic = true;
    int value = 0;
    cam.GetGain(&value, &automatic);
    EXPECT_EQ(value, gain.def);
    EXPECT_FALSE(automatic);
    EXPECT_EQ(Offset(), offset.def);
    cam.GetUsbBandwidthLimit(&value);
    EXPECT_EQ(value, usb.def);
    EXPECT_FALSE(host->Checked(IDC_CC_EXPOSURE_AUTO));
    EXPECT_FALSE(host->Checked(IDC_CC_GAIN_AUTO));
    EXPECT_TRUE(host->Enabled(IDC_CC_EXPOSURE));
    EXPECT_TRUE(host->Enabled(IDC_CC_GAIN));

    EXPECT_TRUE(host->Checked(IDC_CC_UNIT_S));
    EXPECT_FALSE(host->Checked(IDC_CC_UNIT_MS));
    EXPECT_EQ(host->Text(IDC_CC_EXPOSURE_TEXT), L"2s");
    EXPECT_EQ(host->TrackbarMax(IDC_CC_EXPOSURE), ExposureRange().max / 1000000);
    EXPECT_EQ(host->TrackbarPosition(IDC_CC_EXPOSURE), 2);
    host->Spin(IDC_CC_EXPOSURE_SPIN, -1);
    EXPECT_EQ(Exposure(), 3000000);
    host->Key(IDC_CC_EXPOSURE, VK_LEFT);
    EXPECT_EQ(Exposure(), 2000000);
}

TEST_F(CameraControl, AutoExposureFollowsTheCameraEverySecondTick) {
    cam.SetExposure(20000, false);
    auto host = camera.OpenPage(kCameraControl);
    ASSERT_TRUE(host);
    host->Click(IDC_CC_EXPOSURE_AUTO);
    EXPECT_TRUE(ExposureAuto());
    for (int id : {IDC_CC_EXPOSURE, IDC_CC_UNIT_US, IDC_CC_UNIT_MS, IDC_CC_UNIT_S, IDC_CC_EXPOSURE_SPIN})
        EXPECT_FALSE(host->Enabled(id)) << id;
    // The refresh timer runs (the probe ends it; the ticks below are the test's own).
    EXPECT_TRUE(KillTimer(host->Dialog(), 2021));
    // The camera's regulation moves the exposure; the timer shows it in a fitting unit.
    cam.SetExposure(2500000, true);
    host->Tick(2021);
    EXPECT_EQ(host->Text(IDC_CC_EXPOSURE_TEXT), L"2s");
    EXPECT_TRUE(host->Checked(IDC_CC_UNIT_S));
    EXPECT_EQ(host->TrackbarPosition(IDC_CC_EXPOSURE), 2);
    cam.SetExposure(700, true);
    host->Tick(2021);
    EXPECT_EQ(host->Text(IDC_CC_EXPOSURE_TEXT), L"700us");
    EXPECT_TRUE(host->Checked(IDC_CC_UNIT_US));

    // Off: the camera's value stays, in its unit, with manual control again.
    cam.SetExposure(45000, true);
    host->Click(IDC_CC_EXPOSURE_AUTO);
    EXPECT_FALSE(ExposureAuto());
    EXPECT_EQ(Exposure(), 45000);
    EXPECT_TRUE(host->Checked(IDC_CC_UNIT_MS));
    EXPECT_EQ(host->Text(IDC_CC_EXPOSURE_TEXT), L"45ms");
    EXPECT_TRUE(host->Enabled(IDC_CC_EXPOSURE));
    EXPECT_TRUE(host->Enabled(IDC_CC_UNIT_S));
}

TEST_F(CameraControl, AutoGainFollowsTheCameraAndStopsWhenSwitchedOff) {
    Range gain;
    cam.GetGainRange(&gain.max, &gain.min, &gain.def);
    cam.SetGain(gain.min, false);
    auto host = camera.OpenPage(kCameraControl);
    ASSERT_TRUE(host);
    host->Click(IDC_CC_GAIN_AUTO);
    bool automatic = false;
    int value = 0;
    cam.GetGain(&value, &automatic);
    EXPECT_TRUE(automatic);
    EXPECT_FALSE(host->Enabled(IDC_CC_GAIN));
    cam.SetGain(gain.min + 42, true);
    host->Tick(2020);
    EXPECT_EQ(host->Text(IDC_CC_GAIN_TEXT), std::to_wstring(gain.min + 42));
    EXPECT_EQ(host->TrackbarPosition(IDC_CC_GAIN), gain.min + 42);
    cam.SetGain(gain.min + 50, true);
    host->Click(IDC_CC_GAIN_AUTO);
    EXPECT_FALSE(KillTimer(host->Dialog(), 2020)) << "switching auto off ends the refresh timer";
    cam.GetGain(&value, &automatic);
    EXPECT_FALSE(automatic);
    EXPECT_EQ(value, gain.min + 50);
    EXPECT_TRUE(host->Enabled(IDC_CC_GAIN));
    EXPECT_EQ(host->Text(IDC_CC_GAIN_TEXT), std::to_wstring(gain.min + 50));
}

TEST_F(CameraControl, SwitchingAutoExposureOffKeepsTheCamerasExposureToTheMicrosecond) {
    struct Case {
        int exposure;
        const wchar_t* text;
        int unit;
    };
    for (const Case& c : {Case{1900000, L"1s", IDC_CC_UNIT_S}, Case{45500, L"45ms", IDC_CC_UNIT_MS}}) {
        cam.SetExposure(c.exposure, true);
        auto host = camera.OpenPage(kCameraControl);
        ASSERT_TRUE(host);
        host->Click(IDC_CC_EXPOSURE_AUTO);
        EXPECT_FALSE(ExposureAuto());
        EXPECT_EQ(Exposure(), c.exposure) << "not cut to whole units of the trackbar";
        EXPECT_EQ(host->Text(IDC_CC_EXPOSURE_TEXT), c.text);
        EXPECT_TRUE(host->Checked(c.unit));
    }
}

// A real up-down control also sends NM_RELEASEDCAPTURE (a bare header) when the button is
// released, and WM_VSCROLL with its own handle: none of these is a step.
TEST_F(CameraControl, SpinNotificationsOtherThanAClickReachNothing) {
    Range gain, offset, usb;
    cam.GetGainRange(&gain.max, &gain.min, &gain.def);
    cam.GetOffsetRange(&offset.max, &offset.min, &offset.def);
    cam.GetUsbBandwidthRange(&usb.max, &usb.min, &usb.def);
    cam.SetExposure(20000, false);
    cam.SetGain(gain.min + 50, false);
    cam.SetOffset(offset.min + 5);
    cam.SetUsbBandwidthLimit(usb.min + 10);
    auto host = camera.OpenPage(kCameraControl);
    ASSERT_TRUE(host);
    for (int spin : {IDC_CC_EXPOSURE_SPIN, IDC_CC_GAIN_SPIN, IDC_CC_OFFSET_SPIN, IDC_CC_USB_SPIN}) {
        for (UINT code : {static_cast<UINT>(NM_RELEASEDCAPTURE), static_cast<UINT>(NM_CUSTOMDRAW)})
            host->SpinNotification(spin, code, -3);
        for (int request : {SB_THUMBPOSITION, SB_ENDSCROLL})
            SendMessageW(host->Dialog(), WM_VSCROLL, MAKEWPARAM(request, 0),
                         reinterpret_cast<LPARAM>(host->Control(spin)));
    }
    EXPECT_EQ(Exposure(), 20000);
    EXPECT_EQ(Gain(), gain.min + 50);
    EXPECT_EQ(Offset(), offset.min + 5);
    int limit = 0;
    cam.GetUsbBandwidthLimit(&limit);
    EXPECT_EQ(limit, usb.min + 10);
    EXPECT_EQ(host->Text(IDC_CC_GAIN_TEXT), std::to_wstring(gain.min + 50));
    host->Spin(IDC_CC_GAIN_SPIN, -1);  // a click still steps
    EXPECT_EQ(Gain(), gain.min + 51);
}

// Writing the read-only value texts, on opening and on every refresh tick, is no change
// of the user's; a click is.
TEST_F(CameraControl, OpeningAndRefreshTicksLeaveThePageUnchanged) {
    cam.SetExposure(20000, true);
    cam.SetGain(100, true);
    auto host = camera.OpenPage(kCameraControl);
    ASSERT_TRUE(host);
    EXPECT_FALSE(host->Dirty());
    cam.SetExposure(30000, true);
    host->Tick(2021);
    host->Tick(2020);
    EXPECT_EQ(host->Text(IDC_CC_EXPOSURE_TEXT), L"30ms");
    EXPECT_FALSE(host->Dirty());
    EXPECT_EQ(host->StatusChanges(), 0);
    host->Click(IDC_CC_GAIN_AUTO);
    EXPECT_TRUE(host->Dirty());
}

// Home, End and the arrow keys move the thumb through the real trackbar, which ends each
// move with TB_ENDTRACK: the value reaches the camera in the page's unit.
TEST_F(CameraControl, KeyboardMovesOfATrackbarReachTheCameraInThePagesUnit) {
    Range gain;
    cam.GetGainRange(&gain.max, &gain.min, &gain.def);
    cam.SetGain(gain.min + 10, false);
    cam.SetExposure(20000, false);
    auto host = camera.OpenPage(kCameraControl);
    ASSERT_TRUE(host);
    host->Key(IDC_CC_GAIN, VK_HOME);
    EXPECT_EQ(Gain(), gain.min);
    host->Key(IDC_CC_GAIN, VK_END);
    EXPECT_EQ(Gain(), gain.max);
    EXPECT_EQ(host->Text(IDC_CC_GAIN_TEXT), std::to_wstring(gain.max));
    host->Key(IDC_CC_EXPOSURE, VK_LEFT);
    EXPECT_EQ(Exposure(), 19000);
    EXPECT_EQ(host->Text(IDC_CC_EXPOSURE_TEXT), L"19ms");
    host->Key(IDC_CC_USB, VK_HOME);
    int limit = 0;
    cam.GetUsbBandwidthLimit(&limit);
    EXPECT_EQ(limit, host->TrackbarMin(IDC_CC_USB));
}

// Values the application set after the page connected, or while another tab was shown,
// stay in the camera and show on the page.
TEST_F(CameraControl, ActivationShowsTheCamerasValuesAndSendsNone) {
    Range gain, offset, usb;
    cam.GetGainRange(&gain.max, &gain.min, &gain.def);
    cam.GetOffsetRange(&offset.max, &offset.min, &offset.def);
    cam.GetUsbBandwidthRange(&usb.max, &usb.min, &usb.def);
    cam.SetExposure(20000, false);
    cam.SetGain(gain.min + 1, false);
    auto host = camera.OpenPage(kCameraControl, false);
    ASSERT_TRUE(host);
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        cam.SetExposure(35000 + round, false);
        cam.SetGain(gain.min + 20 + round, false);
        cam.SetOffset(offset.min + 3 + round);
        cam.SetUsbBandwidthLimit(usb.min + 4 + round);
        ASSERT_EQ(host->Activate(), S_OK);
        EXPECT_EQ(Exposure(), 35000 + round);
        EXPECT_EQ(Gain(), gain.min + 20 + round);
        EXPECT_EQ(Offset(), offset.min + 3 + round);
        int limit = 0;
        cam.GetUsbBandwidthLimit(&limit);
        EXPECT_EQ(limit, usb.min + 4 + round);
        EXPECT_EQ(host->Text(IDC_CC_EXPOSURE_TEXT), L"35ms");
        EXPECT_EQ(host->Text(IDC_CC_GAIN_TEXT), std::to_wstring(gain.min + 20 + round));
        EXPECT_EQ(host->TrackbarPosition(IDC_CC_OFFSET), offset.min + 3 + round);
        EXPECT_EQ(host->Text(IDC_CC_USB_TEXT), std::to_wstring(usb.min + 4 + round) + L"%");
        ASSERT_EQ(host->Deactivate(), S_OK);
    }
}

TEST_F(CameraControl, ConnectionLabelNamesTheUsbLink) {
    auto host = camera.OpenPage(kCameraControl);
    ASSERT_TRUE(host);
    EXPECT_EQ(host->Text(IDC_CC_CONNECTION), L"USB3.0");
}

TEST(CameraControlOnUsb2, ConnectionLabelReadsUsb2) {
    ComApartment com;
    CameraFixture camera(ColorModel(), vyx::sim::bus::kSwitchUsb2Link);
    auto host = camera.OpenPage(kCameraControl);
    ASSERT_TRUE(host);
    EXPECT_EQ(host->Text(IDC_CC_CONNECTION), L"USB2.0");
}
