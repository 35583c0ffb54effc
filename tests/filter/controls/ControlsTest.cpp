// The pin's video-processing and camera-control interfaces, used through the platform's
// IAMVideoProcAmp and IAMCameraControl as applications use them, against simulated cameras.
#include <windows.h>
#include <strmif.h>
#include <vfwmsgs.h>

#include <gtest/gtest.h>

#include "CameraControlAdapter.h"
#include "CameraControls.h"
#include "TestCamera.h"
#include "VideoProcAmpAdapter.h"

namespace {

using vyx::CameraControl_HardwareBin;
using vyx::test::TestCamera;

// Stands in for the pin: the camera's controls over a frame the test sets, and the two
// adapters the pin hands out for the platform's identifiers, sharing one identity.
class TestPin : public IUnknown {
public:
    TestPin(std::int32_t sensorWidth, std::int32_t sensorHeight)
        : controls(sensorWidth, sensorHeight, [this] { return frame; }),
          m_procAmp(*this, controls),
          m_cameraControl(*this, controls) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
        if (!object) return E_POINTER;
        *object = nullptr;
        if (riid == IID_IUnknown)
            *object = static_cast<IUnknown*>(this);
        else if (riid == IID_IAMVideoProcAmp)
            *object = static_cast<IAMVideoProcAmp*>(&m_procAmp);
        else if (riid == IID_IAMCameraControl)
            *object = static_cast<IAMCameraControl*>(&m_cameraControl);
        else
            return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++m_references; }
    ULONG STDMETHODCALLTYPE Release() override { return --m_references; }

    IAMVideoProcAmp* ProcAmp() {
        IAMVideoProcAmp* amp = nullptr;
        EXPECT_EQ(QueryInterface(IID_IAMVideoProcAmp, reinterpret_cast<void**>(&amp)), S_OK);
        Release();
        return amp;
    }
    IAMCameraControl* Control() {
        IAMCameraControl* control = nullptr;
        EXPECT_EQ(QueryInterface(IID_IAMCameraControl, reinterpret_cast<void**>(&control)), S_OK);
        Release();
        return control;
    }
    vyx::ControlCache Cached() const { return controls.Cached(); }

    vyx::FrameGeometry frame;
    vyx::CameraControls controls;

private:
    vyx::VideoProcAmpAdapter m_procAmp;
    vyx::CameraControlAdapter m_cameraControl;
    ULONG m_references = 1;
};

struct Range {
    long min = 0, max = 0, step = 0, def = 0, caps = 0;
    bool operator==(const Range&) const = default;
};

template <typename Interface>
Range GetRange(Interface* controls, long property) {
    Range r;
    EXPECT_EQ(controls->GetRange(property, &r.min, &r.max, &r.step, &r.def, &r.caps), S_OK) << property;
    return r;
}

class ControlsTest : public ::testing::Test {
protected:
    // A pin over `camera` in its current configuration, for a sensor of the camera's size.
    void Attach(TestCamera& camera) {
        ASSERT_TRUE(camera.IsOpen());
        m_pin = std::make_unique<TestPin>(camera.Row().sensorWidth, camera.Row().sensorHeight);
        ASSERT_TRUE(camera->GetBin(&m_pin->frame.bin));
        ASSERT_TRUE(camera->GetImgSize(&m_pin->frame.width, &m_pin->frame.height));
        m_pin->controls.Attach(camera.Get(), vyx::ControlCache::ReadFrom(*camera));
    }

    std::unique_ptr<TestPin> m_pin;
};

TEST(ExposureUnits, Log2SecondsTruncateTowardZero) {
    struct Case {
        std::int32_t microseconds;
        long log2;
    };
    const Case cases[] = {{1000000, 0}, {2000000, 1},    {500000, -1}, {300000, -1}, {10000, -6},
                          {7, -17},     {2000000000, 10}, {1, -19},     {0, -17},     {-5, -17}};
    for (const Case& c : cases)
        EXPECT_EQ(vyx::CameraControls::ExposureToLog2Seconds(c.microseconds), c.log2) << c.microseconds;
}

TEST_F(ControlsTest, ExposureInLog2SecondsReachesTheCamera) {
    TestCamera camera("Kestrel 1C");
    Attach(camera);
    IAMCameraControl* control = m_pin->Control();
    int exposureMax = 0, exposureMin = 0, exposureDefault = 0;
    ASSERT_TRUE(camera->GetExposureRange(&exposureMax, &exposureMin, &exposureDefault));
    EXPECT_EQ(GetRange(control, CameraControl_Exposure),
              (Range{-17, 11, 1, vyx::CameraControls::ExposureToLog2Seconds(exposureDefault), 3}));

    auto cameraExposure = [&] {
        int microseconds = 0;
        bool autoMode = false;
        EXPECT_TRUE(camera->GetExposure(&microseconds, &autoMode));
        return std::make_pair(microseconds, autoMode);
    };
    long value = 0, flags = 0;

    // Values up to 11 are exponents of two seconds.
    EXPECT_EQ(control->Set(CameraControl_Exposure, -1, CameraControl_Flags_Manual), S_OK);
    EXPECT_EQ(cameraExposure(), std::make_pair(500000, false));
    EXPECT_EQ(m_pin->Cached().exposureLog2, -1);
    EXPECT_EQ(control->Get(CameraControl_Exposure, &value, &flags), S_OK);
    EXPECT_EQ(value, -1);
    EXPECT_EQ(flags, CameraControl_Flags_Manual);

    EXPECT_EQ(control->Set(CameraControl_Exposure, 10, CameraControl_Flags_Auto), S_OK);
    EXPECT_EQ(cameraExposure(), std::make_pair(1024000000, true));
    EXPECT_EQ(control->Get(CameraControl_Exposure, &value, &flags), S_OK);
    EXPECT_EQ(value, 10);
    EXPECT_EQ(flags, CameraControl_Flags_Auto);

    // Larger values are microseconds and leave the stored exponent alone.
    EXPECT_EQ(control->Set(CameraControl_Exposure, 5000, CameraControl_Flags_Manual), S_OK);
    EXPECT_EQ(cameraExposure(), std::make_pair(5000, false));
    EXPECT_EQ(m_pin->Cached().exposureLog2, 10);
    EXPECT_EQ(m_pin->Cached().exposureUs, 5000);
    EXPECT_EQ(control->Get(CameraControl_Exposure, &value, &flags), S_OK);
    EXPECT_EQ(value, -7);  // log2(0.005) = -7.64

    // 12 us, 7 us (-30 raised to -17) and 2048 s (11) all reach the camera.
    ASSERT_LE(exposureMin, 7);
    ASSERT_GE(exposureMax, 2048000000);
    EXPECT_EQ(control->Set(CameraControl_Exposure, 12, CameraControl_Flags_Manual), S_OK);
    EXPECT_EQ(cameraExposure(), std::make_pair(12, false));
    EXPECT_EQ(m_pin->Cached().exposureLog2, 10);
    EXPECT_EQ(control->Set(CameraControl_Exposure, -30, CameraControl_Flags_Manual), S_OK);
    EXPECT_EQ(cameraExposure(), std::make_pair(7, false));
    EXPECT_EQ(m_pin->Cached().exposureLog2, -17);
    EXPECT_EQ(control->Get(CameraControl_Exposure, &value, &flags), S_OK);
    EXPECT_EQ(value, -17);
    EXPECT_EQ(control->Set(CameraControl_Exposure, 11, CameraControl_Flags_Manual), S_OK);
    EXPECT_EQ(cameraExposure(), std::make_pair(2048000000, false));
    EXPECT_EQ(m_pin->Cached().exposureLog2, 11);
    EXPECT_EQ(m_pin->Cached().exposureUs, 2048000000);
}

TEST_F(ControlsTest, PanAndTiltMoveTheRegionAroundTheCentredPosition) {
    TestCamera camera("Kestrel 1C");  // 1280 x 960
    ASSERT_TRUE(camera->SetBin(1) && camera->SetImgSize(1280, 960));
    Attach(camera);
    IAMCameraControl* control = m_pin->Control();
    long value = 0, flags = 0;

    // Full binned sensor: nothing to move.
    EXPECT_EQ(GetRange(control, CameraControl_Pan), (Range{0, 0, 2, 0, 2}));
    EXPECT_EQ(GetRange(control, CameraControl_Tilt), (Range{0, 0, 2, 0, 2}));
    int x = -1, y = -1;
    ASSERT_TRUE(camera->GetImgStartPos(&x, &y));
    EXPECT_EQ(control->Get(CameraControl_Pan, &value, &flags), S_OK);
    EXPECT_EQ(value, x);
    EXPECT_EQ(flags, CameraControl_Flags_Manual);

    // 640 x 480 at bin 1: centred at (320, 240).
    ASSERT_TRUE(camera->SetImgSize(640, 480) && camera->SetImgStartPos(320, 240));
    m_pin->frame.width = 640;
    m_pin->frame.height = 480;
    EXPECT_EQ(GetRange(control, CameraControl_Pan), (Range{-320, 320, 2, 0, 2}));
    EXPECT_EQ(GetRange(control, CameraControl_Tilt), (Range{-240, 240, 2, 0, 2}));
    EXPECT_EQ(control->Set(CameraControl_Pan, 10, CameraControl_Flags_Manual), S_OK);
    ASSERT_TRUE(camera->GetImgStartPos(&x, &y));
    EXPECT_EQ(std::make_pair(x, y), std::make_pair(330, 240));
    EXPECT_EQ(control->Set(CameraControl_Tilt, -20, CameraControl_Flags_Manual), S_OK);
    ASSERT_TRUE(camera->GetImgStartPos(&x, &y));
    EXPECT_EQ(std::make_pair(x, y), std::make_pair(330, 220));
    EXPECT_EQ(control->Get(CameraControl_Pan, &value, &flags), S_OK);
    EXPECT_EQ(value, 10);
    EXPECT_EQ(control->Get(CameraControl_Tilt, &value, &flags), S_OK);
    EXPECT_EQ(value, -20);
    EXPECT_EQ(m_pin->Cached().startX, 330);
    EXPECT_EQ(m_pin->Cached().startY, 220);

    // Bin 2 halves the sensor: 320 x 240 is centred at (160, 120).
    ASSERT_TRUE(camera->SetBin(2) && camera->SetImgSize(320, 240));
    m_pin->frame = {2, 320, 240};
    EXPECT_EQ(control->Set(CameraControl_Pan, 0, CameraControl_Flags_Manual), S_OK);
    EXPECT_EQ(control->Set(CameraControl_Tilt, 0, CameraControl_Flags_Manual), S_OK);
    ASSERT_TRUE(camera->GetImgStartPos(&x, &y));
    EXPECT_EQ(std::make_pair(x, y), std::make_pair(160, 120));

    // A 1920-wide frame on a sensor 3000 wide at bin 1.
    TestPin widePin(3000, 2000);
    widePin.frame = {1, 1920, 1080};
    EXPECT_EQ(GetRange(widePin.Control(), CameraControl_Pan), (Range{-540, 540, 2, 0, 2}));
    EXPECT_EQ(GetRange(widePin.Control(), CameraControl_Tilt), (Range{-460, 460, 2, 0, 2}));
}

TEST_F(ControlsTest, WhiteBalanceModeChangesAndColoursStay) {
    TestCamera camera("Kestrel 1C");
    Attach(camera);
    IAMVideoProcAmp* amp = m_pin->ProcAmp();
    int max = 0, min = 0, red = 0, green = 0, blue = 0;
    ASSERT_TRUE(camera->GetWhiteBalanceRange(&max, &min, &red, &green, &blue));
    EXPECT_EQ(GetRange(amp, VideoProcAmp_WhiteBalance), (Range{min, max, 100, red, 3}));

    ASSERT_TRUE(camera->SetWhiteBalance(60, 45, 70, false));
    bool autoMode = false;
    long value = 0, flags = 0;
    EXPECT_EQ(amp->Set(VideoProcAmp_WhiteBalance, 999, VideoProcAmp_Flags_Auto), S_OK);
    ASSERT_TRUE(camera->GetWhiteBalance(&red, &green, &blue, &autoMode));
    EXPECT_EQ(std::make_tuple(red, green, blue, autoMode), std::make_tuple(60, 45, 70, true));
    EXPECT_EQ(amp->Get(VideoProcAmp_WhiteBalance, &value, &flags), S_OK);
    EXPECT_EQ(value, 60);
    EXPECT_EQ(flags, VideoProcAmp_Flags_Auto);

    EXPECT_EQ(amp->Set(VideoProcAmp_WhiteBalance, 1, VideoProcAmp_Flags_Manual), S_OK);
    ASSERT_TRUE(camera->GetWhiteBalance(&red, &green, &blue, &autoMode));
    EXPECT_EQ(std::make_tuple(red, green, blue, autoMode), std::make_tuple(60, 45, 70, false));
    EXPECT_EQ(amp->Get(VideoProcAmp_WhiteBalance, &value, &flags), S_OK);
    EXPECT_EQ(flags, VideoProcAmp_Flags_Manual);
}

TEST_F(ControlsTest, GainAndBrightnessAreClampedIntoTheCameraRangesGammaStaysInThePin) {
    TestCamera camera("Kestrel 1C");
    Attach(camera);
    IAMVideoProcAmp* amp = m_pin->ProcAmp();
    int gainMax = 0, gainMin = 0, gainDefault = 0, offsetMax = 0, offsetMin = 0, offsetDefault = 0;
    ASSERT_TRUE(camera->GetGainRange(&gainMax, &gainMin, &gainDefault));
    ASSERT_TRUE(camera->GetOffsetRange(&offsetMax, &offsetMin, &offsetDefault));
    EXPECT_EQ(GetRange(amp, VideoProcAmp_Gain), (Range{gainMin, gainMax, 1, gainDefault, 3}));
    EXPECT_EQ(GetRange(amp, VideoProcAmp_Brightness), (Range{offsetMin, offsetMax, 1, offsetDefault, 2}));

    int gain = -1, offset = -1;
    bool autoMode = false;
    long value = 0, flags = 0;
    struct GainCase {
        long set;
        long flags;
        int expected;
    };
    for (const GainCase& c : {GainCase{gainMin - 50, VideoProcAmp_Flags_Manual, gainMin},
                              GainCase{gainMax + 50, VideoProcAmp_Flags_Auto, gainMax},
                              GainCase{gainMin + 7, VideoProcAmp_Flags_Manual, gainMin + 7}}) {
        EXPECT_EQ(amp->Set(VideoProcAmp_Gain, c.set, c.flags), S_OK);
        ASSERT_TRUE(camera->GetGain(&gain, &autoMode));
        EXPECT_EQ(gain, c.expected) << c.set;
        EXPECT_EQ(autoMode, c.flags == VideoProcAmp_Flags_Auto) << c.set;
        EXPECT_EQ(m_pin->Cached().gain, c.expected);
        EXPECT_EQ(amp->Get(VideoProcAmp_Gain, &value, &flags), S_OK);
        EXPECT_EQ(value, c.expected);
        EXPECT_EQ(flags, c.flags);
    }
    for (const auto& [set, expected] : {std::pair<long, int>{offsetMin - 1, offsetMin},
                                        std::pair<long, int>{offsetMax + 1000, offsetMax},
                                        std::pair<long, int>{offsetMin + 3, offsetMin + 3}}) {
        EXPECT_EQ(amp->Set(VideoProcAmp_Brightness, set, VideoProcAmp_Flags_Manual), S_OK);
        ASSERT_TRUE(camera->GetOffset(&offset));
        EXPECT_EQ(offset, expected) << set;
        EXPECT_EQ(amp->Get(VideoProcAmp_Brightness, &value, &flags), S_OK);
        EXPECT_EQ(value, expected);
        EXPECT_EQ(flags, VideoProcAmp_Flags_Manual);
    }

    // Gamma reads 0 until the first Set although its range starts at 1.
    EXPECT_EQ(amp->Get(VideoProcAmp_Gamma, &value, &flags), S_OK);
    EXPECT_EQ(std::make_pair(value, flags), std::make_pair(0L, long{VideoProcAmp_Flags_Manual}));
    EXPECT_EQ(GetRange(amp, VideoProcAmp_Gamma), (Range{1, 100, 1, 50, 2}));
    for (const auto& [set, expected] : {std::pair<long, long>{0, 1}, {500, 100}, {42, 42}}) {
        EXPECT_EQ(amp->Set(VideoProcAmp_Gamma, set, VideoProcAmp_Flags_Manual), S_OK);
        EXPECT_EQ(amp->Get(VideoProcAmp_Gamma, &value, &flags), S_OK);
        EXPECT_EQ(value, expected);
    }
}

TEST_F(ControlsTest, HardwareBinSwitchesAndLeavesFlagsAlone) {
    TestCamera camera("Kestrel 1M");  // a camera with hardware binning
    Attach(camera);
    IAMCameraControl* control = m_pin->Control();
    bool enabled = false;
    long value = -1, flags = 12345;
    EXPECT_EQ(control->Set(CameraControl_HardwareBin, 7, 0), S_OK);
    ASSERT_TRUE(camera->GetHardBinEnable(&enabled));
    EXPECT_TRUE(enabled);
    EXPECT_EQ(control->Get(CameraControl_HardwareBin, &value, &flags), S_OK);
    EXPECT_EQ(std::make_pair(value, flags), std::make_pair(1L, 12345L));
    EXPECT_EQ(control->Set(CameraControl_HardwareBin, 0, 0), S_OK);
    ASSERT_TRUE(camera->GetHardBinEnable(&enabled));
    EXPECT_FALSE(enabled);
    EXPECT_EQ(control->Get(CameraControl_HardwareBin, &value, nullptr), S_OK);
    EXPECT_EQ(value, 0);
}

TEST_F(ControlsTest, UnsupportedPropertiesMissingPointersAndNoCamera) {
    TestCamera camera("Kestrel 1C");
    Attach(camera);
    IAMVideoProcAmp* amp = m_pin->ProcAmp();
    IAMCameraControl* control = m_pin->Control();
    Range r;
    long value = 0, flags = 0;
    for (long property : {long{VideoProcAmp_Contrast}, long{VideoProcAmp_Hue}, long{VideoProcAmp_Saturation},
                          long{VideoProcAmp_Sharpness}, long{VideoProcAmp_ColorEnable},
                          long{VideoProcAmp_BacklightCompensation}, -1L, 10001L}) {
        EXPECT_EQ(amp->GetRange(property, &r.min, &r.max, &r.step, &r.def, &r.caps), E_PROP_ID_UNSUPPORTED);
        EXPECT_EQ(amp->Set(property, 1, VideoProcAmp_Flags_Manual), E_PROP_ID_UNSUPPORTED);
        EXPECT_EQ(amp->Get(property, &value, &flags), E_PROP_ID_UNSUPPORTED);
    }
    // Guide-pulse properties can only be set; hardware binning has no range.
    for (long property : {long{CameraControl_Roll}, long{CameraControl_Zoom}, long{CameraControl_Iris},
                          long{CameraControl_Focus}, CameraControl_HardwareBin}) {
        EXPECT_EQ(control->GetRange(property, &r.min, &r.max, &r.step, &r.def, &r.caps), E_PROP_ID_UNSUPPORTED);
        if (property != CameraControl_HardwareBin) {
            EXPECT_EQ(control->Get(property, &value, &flags), E_PROP_ID_UNSUPPORTED);
        }
    }
    for (long property : {7L, 10000L, 10002L, -1L}) {
        EXPECT_EQ(control->GetRange(property, &r.min, &r.max, &r.step, &r.def, &r.caps), E_PROP_ID_UNSUPPORTED);
        EXPECT_EQ(control->Set(property, 1, CameraControl_Flags_Manual), E_PROP_ID_UNSUPPORTED);
        EXPECT_EQ(control->Get(property, &value, &flags), E_PROP_ID_UNSUPPORTED);
    }

    EXPECT_EQ(amp->GetRange(VideoProcAmp_Gain, nullptr, &r.max, &r.step, &r.def, &r.caps), E_POINTER);
    EXPECT_EQ(amp->Get(VideoProcAmp_Gamma, &value, nullptr), E_POINTER);
    EXPECT_EQ(control->GetRange(CameraControl_Pan, &r.min, &r.max, &r.step, &r.def, nullptr), E_POINTER);
    EXPECT_EQ(control->Get(CameraControl_Exposure, nullptr, &flags), E_POINTER);
    EXPECT_EQ(control->Get(CameraControl_HardwareBin, nullptr, &flags), E_POINTER);

    // Before the camera opens, only the pin's own gamma answers.
    m_pin->controls.Attach(nullptr, {});
    EXPECT_EQ(amp->Set(VideoProcAmp_Gain, 1, VideoProcAmp_Flags_Manual), E_UNEXPECTED);
    EXPECT_EQ(control->Set(CameraControl_Roll, 1, CameraControl_Flags_Manual), E_UNEXPECTED);
    EXPECT_EQ(control->Get(CameraControl_Exposure, &value, &flags), E_UNEXPECTED);
    EXPECT_EQ(amp->Set(VideoProcAmp_Gamma, 30, VideoProcAmp_Flags_Manual), S_OK);
    EXPECT_EQ(amp->Get(VideoProcAmp_Gamma, &value, &flags), S_OK);
    EXPECT_EQ(value, 30);
}

}  // namespace
