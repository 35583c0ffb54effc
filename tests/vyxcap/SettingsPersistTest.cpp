// A control changed with `vyxcap set` is saved when the tool's filter goes away, and a
// filter created afterwards, in another process, starts with it.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "CameraRig.h"
#include "ComApartment.h"
#include "ToolProcess.h"

using namespace vyx::vyxcap::test;
using Microsoft::WRL::ComPtr;

namespace {

class SettingsPersist : public ::testing::Test {
protected:
    vyx::win::ComApartment m_apartment;
};

std::wstring Quoted(const std::wstring& text) { return L"\"" + text + L"\""; }

// Console output in text mode ends its lines with CR LF.
std::string WithoutCarriageReturns(std::string text) {
    std::erase(text, '\r');
    return text;
}

// The device's line number in `vyxcap list`, which the tool also takes as DEVICE.
int ListIndexOf(const std::wstring& name) {
    const std::string list = WithoutCarriageReturns(RunVyxcap(L"list").out);
    const std::string wanted(name.begin(), name.end());
    int index = 0;
    for (size_t start = 0; start < list.size(); ++index) {
        const size_t end = list.find('\n', start);
        if (list.substr(start, end - start) == wanted) return index;
        if (end == std::string::npos) break;
        start = end + 1;
    }
    return -1;
}

}  // namespace

TEST_F(SettingsPersist, VyxcapSetSurvivesTheApplicationAndANewFilter) {
    CameraRig rig(L"Kestrel 1C");
    ASSERT_TRUE(rig.Ready());
    long gainMin = 0, gainMax = 0, step = 0, gainDefault = 0, caps = 0;
    long exposure = 0, flags = 0;
    {
        const ComPtr<IBaseFilter> filter = rig.CreateFilter();
        ComPtr<IAMVideoProcAmp> procAmp;
        ASSERT_EQ(filter->QueryInterface(IID_PPV_ARGS(&procAmp)), S_OK);
        ASSERT_EQ(procAmp->GetRange(VideoProcAmp_Gain, &gainMin, &gainMax, &step, &gainDefault, &caps), S_OK);
        ComPtr<IAMCameraControl> cameraControl;
        ASSERT_EQ(filter->QueryInterface(IID_PPV_ARGS(&cameraControl)), S_OK);
        ASSERT_EQ(cameraControl->Get(CameraControl_Exposure, &exposure, &flags), S_OK);
    }
    const long gain = gainDefault == gainMin + 7 ? gainMin + 8 : gainMin + 7;
    const long newExposure = exposure == -5 ? -4 : -5;

    const ToolRun setGain = RunVyxcap(L"set " + Quoted(rig.FriendlyName()) + L" gain " + std::to_wstring(gain));
    ASSERT_EQ(setGain.exitCode, 0u) << setGain.err;
    EXPECT_EQ(WithoutCarriageReturns(setGain.out), "Gain = " + std::to_string(gain) + " (manual)\n");
    const int index = ListIndexOf(rig.FriendlyName());
    ASSERT_GE(index, 0);
    const ToolRun setExposure =
        RunVyxcap(L"set " + std::to_wstring(index) + L" Exposure " + std::to_wstring(newExposure) + L" manual");
    ASSERT_EQ(setExposure.exitCode, 0u) << setExposure.err;

    // Another process sees it ...
    const ToolRun controls = RunVyxcap(L"controls " + Quoted(rig.FriendlyName()));
    ASSERT_EQ(controls.exitCode, 0u) << controls.err;
    const std::string controlsText = WithoutCarriageReturns(controls.out);
    const size_t gainLine = controlsText.find("\nGain ");
    ASSERT_NE(gainLine, std::string::npos) << controlsText;
    long listed[5] = {};
    ASSERT_EQ(std::sscanf(controlsText.c_str() + gainLine, " Gain %ld %ld %ld %ld %ld", &listed[0], &listed[1],
                          &listed[2], &listed[3], &listed[4]),
              5);
    EXPECT_EQ(listed[4], gain) << "min, max, step, default, then the value";

    // ... and so does a new filter in this one.
    const ComPtr<IBaseFilter> filter = rig.CreateFilter();
    ComPtr<IAMVideoProcAmp> procAmp;
    ASSERT_EQ(filter->QueryInterface(IID_PPV_ARGS(&procAmp)), S_OK);
    long value = 0;
    ASSERT_EQ(procAmp->Get(VideoProcAmp_Gain, &value, &flags), S_OK);
    EXPECT_EQ(value, gain);
    EXPECT_EQ(flags, VideoProcAmp_Flags_Manual);
    ComPtr<IAMCameraControl> cameraControl;
    ASSERT_EQ(filter->QueryInterface(IID_PPV_ARGS(&cameraControl)), S_OK);
    ASSERT_EQ(cameraControl->Get(CameraControl_Exposure, &value, &flags), S_OK);
    EXPECT_EQ(value, newExposure);
}
