// The Temperature page: the sensor temperature in C and F on timer 2023 with or without a
// cooler, the cooler controls' capability gating, target, fan and heater sent as dragged,
// and the cooler power rising after the cooler is switched on.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include "PageResources.h"
#include "PageTestSupport.h"
#include "SimulatedBus.h"

using namespace vyx::pages::test;
namespace bus = vyx::sim::bus;

namespace {
constexpr UINT_PTR kTemperatureTimer = 2023;

DWORD HoldSensorAt(const CameraFixture& camera, int tenths) {
    return bus::SetSwitch(camera.InstanceId(), bus::kSwitchSensorTemperature, static_cast<DWORD>(tenths));
}
}  // namespace

TEST(TemperaturePage, WithoutCoolerShowsTheTemperatureEachTickAndDisablesTheRest) {
    ComApartment com;
    CameraFixture camera(MonoModel());  // no cooler
    ASSERT_EQ(HoldSensorAt(camera, 215), static_cast<DWORD>(ERROR_SUCCESS));
    auto host = camera.OpenPage(kTemperature);
    ASSERT_TRUE(host);
    EXPECT_EQ(host->Text(IDC_TE_CELSIUS), L"21.5");
    EXPECT_EQ(host->Text(IDC_TE_FAHRENHEIT), L"70.7");
    for (int id : {IDC_TE_COOLER_ON, IDC_TE_POWER_LABEL, IDC_TE_POWER, IDC_TE_TARGET_LABEL, IDC_TE_TARGET,
                   IDC_TE_TARGET_TEXT, IDC_TE_TARGET_UNIT, IDC_TE_FAN_LABEL, IDC_TE_FAN, IDC_TE_FAN_TEXT,
                   IDC_TE_FAN_UNIT, IDC_TE_HEATER_LABEL, IDC_TE_HEATER, IDC_TE_HEATER_TEXT, IDC_TE_HEATER_UNIT})
        EXPECT_FALSE(host->Enabled(id)) << id;
    // Nothing of a cooler is read or written, on opening or on a tick.
    EXPECT_EQ(host->Text(IDC_TE_POWER), L"0%");
    SetDlgItemTextW(host->Dialog(), IDC_TE_POWER, L"-");

    ASSERT_EQ(HoldSensorAt(camera, -100), static_cast<DWORD>(ERROR_SUCCESS));
    host->Tick(kTemperatureTimer);
    EXPECT_EQ(host->Text(IDC_TE_POWER), L"-");
    EXPECT_EQ(host->Text(IDC_TE_CELSIUS), L"-10.0");
    EXPECT_EQ(host->Text(IDC_TE_FAHRENHEIT), L"14.0");
    EXPECT_TRUE(KillTimer(host->Dialog(), kTemperatureTimer)) << "timer 2023 runs without a cooler too";
}

TEST(TemperaturePage, OpensOnTheCoolersValuesAndSendsTargetFanAndHeaterAsDragged) {
    ComApartment com;
    CameraFixture camera(ColorModel());  // cooled
    VyxonCamera& cam = *camera.Camera();
    int maximum = 0, minimum = 0, def = 0;
    cam.GetTargetTemperatureRange(&maximum, &minimum, &def);
    ASSERT_LT(minimum, 0);
    cam.SetTargetTemperature(-5);
    cam.SetFanPower(60);
    cam.SetLensHeaterPower(10);
    auto host = camera.OpenPage(kTemperature);
    ASSERT_TRUE(host);
    EXPECT_TRUE(host->Enabled(IDC_TE_TARGET));
    EXPECT_FALSE(host->Checked(IDC_TE_COOLER_ON));
    EXPECT_EQ(host->TrackbarMin(IDC_TE_TARGET), minimum);
    EXPECT_EQ(host->TrackbarMax(IDC_TE_TARGET), maximum);
    EXPECT_EQ(host->TrackbarPosition(IDC_TE_TARGET), -5);
    EXPECT_EQ(host->Text(IDC_TE_TARGET_TEXT), L"-5");
    EXPECT_EQ(host->TrackbarMax(IDC_TE_FAN), 100);
    EXPECT_EQ(host->TrackbarPosition(IDC_TE_FAN), 60);
    EXPECT_EQ(host->Text(IDC_TE_FAN_TEXT), L"60");
    EXPECT_EQ(host->Text(IDC_TE_HEATER_TEXT), L"10");

    int value = 0;
    for (int position : {-6, -7, -9}) {
        host->Scroll(IDC_TE_TARGET, position, TB_THUMBTRACK);
        cam.GetTargetTemperature(&value);
        EXPECT_EQ(value, position) << "sent while dragging";
    }
    host->Scroll(IDC_TE_TARGET, -12, TB_THUMBPOSITION);
    cam.GetTargetTemperature(&value);
    EXPECT_EQ(value, -12);
    EXPECT_EQ(host->Text(IDC_TE_TARGET_TEXT), L"-12");
    host->Scroll(IDC_TE_TARGET, -13, TB_LINEDOWN);  // a key's move applies when it ends
    cam.GetTargetTemperature(&value);
    EXPECT_EQ(value, -12);
    host->Key(IDC_TE_TARGET, VK_LEFT);
    cam.GetTargetTemperature(&value);
    EXPECT_EQ(value, -14);
    EXPECT_EQ(host->Text(IDC_TE_TARGET_TEXT), L"-14");
    host->Key(IDC_TE_FAN, VK_NEXT);
    cam.GetFanPower(&value);
    EXPECT_EQ(value, host->TrackbarPosition(IDC_TE_FAN));
    EXPECT_GT(value, 60);

    host->Scroll(IDC_TE_FAN, 35, TB_PAGEUP);
    cam.GetFanPower(&value);
    EXPECT_EQ(value, 35);
    host->Scroll(IDC_TE_HEATER, 80, TB_THUMBTRACK);
    cam.GetLensHeaterPower(&value);
    EXPECT_EQ(value, 80);
    EXPECT_EQ(host->Text(IDC_TE_HEATER_TEXT), L"80");
    EXPECT_FALSE(host->Dirty()) << "trackbars change the camera, not the page's dirty state";
}

TEST(TemperaturePage, SwitchingTheCoolerOnShowsItsPowerRisingWithinTwoSeconds) {
    ComApartment com;
    CameraFixture camera(ColorModel());
    VyxonCamera& cam = *camera.Camera();
    cam.SetCoolerOn(false);
    cam.SetTargetTemperature(-20);
    auto host = camera.OpenPage(kTemperature);
    ASSERT_TRUE(host);
    EXPECT_FALSE(host->Dirty());
    EXPECT_EQ(host->Text(IDC_TE_POWER), L"0%");
    host->Click(IDC_TE_COOLER_ON);
    bool on = false;
    cam.GetCoolerOn(&on);
    EXPECT_TRUE(on);
    EXPECT_TRUE(host->Dirty());
    const ULONGLONG start = GetTickCount64();
    while (host->Text(IDC_TE_POWER) == L"0%" && GetTickCount64() - start < 2000) {
        Sleep(250);
        host->Tick(kTemperatureTimer);
    }
    const std::wstring power = host->Text(IDC_TE_POWER);
    EXPECT_NE(power, L"0%");
    EXPECT_GT(_wtoi(power.c_str()), 0);
    EXPECT_EQ(power.back(), L'%');

    host->Click(IDC_TE_COOLER_ON);
    cam.GetCoolerOn(&on);
    EXPECT_FALSE(on);
    int cameraPower = -1;
    cam.GetCoolerPower(&cameraPower);
    SetDlgItemTextW(host->Dialog(), IDC_TE_POWER, L"-");
    host->Tick(kTemperatureTimer);
    EXPECT_EQ(host->Text(IDC_TE_POWER), std::to_wstring(cameraPower) + L"%") << "written by the tick";
}

namespace {
// Windows reads the two words of TBM_SETRANGE as unsigned, so a negative minimum becomes a
// large positive one; Wine sign-extends them. Trackbars made while this lives answer
// TBM_SETRANGE the Windows way.
class UnsignedRangeWords {
public:
    UnsignedRangeWords() : m_hook(SetWindowsHookExW(WH_CBT, Created, nullptr, GetCurrentThreadId())) {}
    ~UnsignedRangeWords() {
        if (m_hook) UnhookWindowsHookEx(m_hook);
    }
    UnsignedRangeWords(const UnsignedRangeWords&) = delete;
    UnsignedRangeWords& operator=(const UnsignedRangeWords&) = delete;
    bool Ready() const { return m_hook != nullptr; }

private:
    static LRESULT CALLBACK Created(int code, WPARAM wParam, LPARAM lParam) {
        if (code == HCBT_CREATEWND) {
            const auto window = reinterpret_cast<HWND>(wParam);
            wchar_t name[32] = {};
            GetClassNameW(window, name, 32);
            if (lstrcmpiW(name, TRACKBAR_CLASSW) == 0) SetWindowSubclass(window, Trackbar, 1, 0);
        }
        return CallNextHookEx(nullptr, code, wParam, lParam);
    }
    static LRESULT CALLBACK Trackbar(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR) {
        if (message == TBM_SETRANGE) {
            DefSubclassProc(window, TBM_SETRANGEMIN, FALSE, LOWORD(lParam));
            return DefSubclassProc(window, TBM_SETRANGEMAX, wParam, HIWORD(lParam));
        }
        if (message == WM_NCDESTROY) RemoveWindowSubclass(window, Trackbar, 1);
        return DefSubclassProc(window, message, wParam, lParam);
    }
    HHOOK m_hook;
};
}  // namespace

TEST(TemperaturePage, TheTargetRangeKeepsItsNegativeMinimumOnWindowsToo) {
    ComApartment com;
    CameraFixture camera(ColorModel());
    int maximum = 0, minimum = 0, def = 0;
    camera.Camera()->GetTargetTemperatureRange(&maximum, &minimum, &def);
    ASSERT_LT(minimum, 0);
    camera.Camera()->SetTargetTemperature(minimum + 1);
    UnsignedRangeWords windowsTrackbars;
    ASSERT_TRUE(windowsTrackbars.Ready());
    auto host = camera.OpenPage(kTemperature);
    ASSERT_TRUE(host);
    EXPECT_EQ(host->TrackbarMin(IDC_TE_TARGET), minimum);
    EXPECT_EQ(host->TrackbarMax(IDC_TE_TARGET), maximum);
    EXPECT_EQ(host->TrackbarPosition(IDC_TE_TARGET), minimum + 1);
}
