#include "TemperaturePage.h"

#include <commctrl.h>

#include "PageControls.h"
#include "PageLanguage.h"
#include "PageResources.h"

namespace vyx {
namespace {
constexpr UINT_PTR kTemperatureTimer = 2023;
constexpr UINT kTemperaturePeriodMs = 1000;
constexpr unsigned kWhileDraggedAndOnRelease = kApplyWhileDragged | kApplyOnRelease;
constexpr SliderScale kPercent{0, 100};
}  // namespace

CUnknown* WINAPI TemperaturePage::CreateInstance(LPUNKNOWN outer, HRESULT* result) {
    return CreateLocalizedPage<TemperaturePage>(
        outer, result, {IDD_TEMPERATURE_EN, IDD_TEMPERATURE_ZH, IDS_TEMPERATURE_EN, IDS_TEMPERATURE_ZH});
}

// The trackbars have no spins; the camera's switch is a checkbox of its own.
TemperaturePage::TemperaturePage(LPUNKNOWN outer, int dialogId, int titleId)
    : CCameraPropertyPage(outer, dialogId, titleId),
      m_target({IDC_TE_TARGET, IDC_TE_TARGET_TEXT, 0}, 1, [this](int value) { m_camera->SetTargetTemperature(value); },
               [this] { return m_hasCooler; }),
      m_fanPower({IDC_TE_FAN, IDC_TE_FAN_TEXT, 0}, 1, [this](int value) { m_camera->SetFanPower(value); },
                 [this] { return m_hasCooler; }),
      m_heaterPower({IDC_TE_HEATER, IDC_TE_HEATER_TEXT, 0}, 1,
                    [this](int value) { m_camera->SetLensHeaterPower(value); }, [this] { return m_hasCooler; }) {
    m_fanPower.SetScale(kPercent);
    m_heaterPower.SetScale(kPercent);
}

void TemperaturePage::ReadCameraValues() {
    VyxonCamera& camera = *m_camera;
    CameraProp prop{};
    camera.GetTheProp(&prop);
    m_hasCooler = prop.hasCooler;
    if (!m_hasCooler) return;
    camera.GetCoolerPower(&m_coolerPower);
    int value = 0;
    camera.GetTargetTemperature(&value);
    m_target.SetValue(value);
    camera.GetCoolerOn(&m_coolerOn);
    camera.GetFanPower(&value);
    m_fanPower.SetValue(value);
    camera.GetLensHeaterPower(&value);
    m_heaterPower.SetValue(value);
    CameraRange range;  // its default is not used
    camera.GetTargetTemperatureRange(&range.maximum, &range.minimum, &range.defaultValue);
    m_target.SetScale({range.minimum, range.maximum});
}

void TemperaturePage::ShowTemperature(HWND hwnd) {
    float celsius = 0;
    m_camera->GetTemperature(&celsius);
    SetControlText(hwnd, IDC_TE_CELSIUS, "%2.1f", celsius);
    SetControlText(hwnd, IDC_TE_FAHRENHEIT, "%2.1f", celsius * 9 / 5 + 32);
}

void TemperaturePage::ShowCoolerPower(HWND hwnd) {
    SetControlText(hwnd, IDC_TE_POWER, "%d%%", m_coolerPower);
}

void TemperaturePage::InitDialog(HWND hwnd) {
    ShowTemperature(hwnd);
    EnableControls(hwnd,
                   {IDC_TE_COOLER_ON, IDC_TE_POWER_LABEL, IDC_TE_POWER, IDC_TE_TARGET_LABEL, IDC_TE_TARGET_TEXT,
                    IDC_TE_TARGET_UNIT, IDC_TE_FAN_LABEL, IDC_TE_FAN_TEXT, IDC_TE_FAN_UNIT, IDC_TE_HEATER_LABEL,
                    IDC_TE_HEATER_TEXT, IDC_TE_HEATER_UNIT},
                   m_hasCooler);
    for (const Slider* slider : {&m_target, &m_fanPower, &m_heaterPower}) slider->ShowEnabled(hwnd);
    if (m_hasCooler) {
        ShowCoolerPower(hwnd);
        for (const Slider* slider : {&m_target, &m_fanPower, &m_heaterPower}) slider->SetUp(hwnd);
        CheckDlgButton(hwnd, IDC_TE_COOLER_ON, m_coolerOn ? BST_CHECKED : BST_UNCHECKED);
        for (const Slider* slider : {&m_target, &m_fanPower, &m_heaterPower}) slider->ShowText(hwnd);
    }
    // Without a cooler too: the temperature is shown either way.
    SetTimer(hwnd, kTemperatureTimer, kTemperaturePeriodMs, nullptr);
}

INT_PTR TemperaturePage::OnReceiveMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        InitDialog(hwnd);
        break;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDC_TE_COOLER_ON) {
            m_coolerOn = IsChecked(hwnd, IDC_TE_COOLER_ON);
            m_camera->SetCoolerOn(m_coolerOn);
        }
        break;
    case WM_TIMER:
        ShowTemperature(hwnd);
        if (m_hasCooler) {
            m_camera->GetCoolerPower(&m_coolerPower);
            ShowCoolerPower(hwnd);
        }
        break;
    default:
        if (m_hasCooler)
            RouteToSliders(hwnd, message, wParam, lParam, {kWhileDraggedAndOnRelease, kWhileDraggedAndOnRelease},
                           {&m_target, &m_fanPower, &m_heaterPower});
        break;
    }
    return CCameraPropertyPage::OnReceiveMessage(hwnd, message, wParam, lParam);
}

}  // namespace vyx
