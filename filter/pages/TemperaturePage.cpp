#include "TemperaturePage.h"

#include <commctrl.h>

#include "PageControls.h"
#include "PageLanguage.h"
#include "PageResources.h"

namespace vyx {
namespace {
constexpr UINT_PTR kTemperatureTimer = 2023;
constexpr UINT kTemperaturePeriodMs = 1000;
}  // namespace

CUnknown* WINAPI TemperaturePage::CreateInstance(LPUNKNOWN outer, HRESULT* result) {
    return CreateLocalizedPage<TemperaturePage>(
        outer, result, {IDD_TEMPERATURE_EN, IDD_TEMPERATURE_ZH, IDS_TEMPERATURE_EN, IDS_TEMPERATURE_ZH});
}

TemperaturePage::TemperaturePage(LPUNKNOWN outer, int dialogId, int titleId)
    : CCameraPropertyPage(outer, dialogId, titleId) {}

void TemperaturePage::ReadCameraValues() {
    VyxonCamera& camera = *m_camera;
    CameraProp prop{};
    camera.GetTheProp(&prop);
    m_hasCooler = prop.hasCooler;
    if (!m_hasCooler) return;
    camera.GetCoolerPower(&m_coolerPower);
    camera.GetTargetTemperature(&m_target);
    camera.GetCoolerOn(&m_coolerOn);
    camera.GetFanPower(&m_fanPower);
    camera.GetLensHeaterPower(&m_heaterPower);
    int unusedDefault = 0;
    camera.GetTargetTemperatureRange(&m_targetMaximum, &m_targetMinimum, &unusedDefault);
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
                   {IDC_TE_COOLER_ON, IDC_TE_POWER_LABEL, IDC_TE_POWER, IDC_TE_TARGET_LABEL, IDC_TE_TARGET,
                    IDC_TE_TARGET_TEXT, IDC_TE_TARGET_UNIT, IDC_TE_FAN_LABEL, IDC_TE_FAN, IDC_TE_FAN_TEXT,
                    IDC_TE_FAN_UNIT, IDC_TE_HEATER_LABEL, IDC_TE_HEATER, IDC_TE_HEATER_TEXT, IDC_TE_HEATER_UNIT},
                   m_hasCooler);
    if (m_hasCooler) {
        ShowCoolerPower(hwnd);
        SetTrackbar(hwnd, IDC_TE_TARGET, m_targetMinimum, m_targetMaximum, m_target);
        SetTrackbar(hwnd, IDC_TE_FAN, 0, 100, m_fanPower);
        SetTrackbar(hwnd, IDC_TE_HEATER, 0, 100, m_heaterPower);
        CheckDlgButton(hwnd, IDC_TE_COOLER_ON, m_coolerOn ? BST_CHECKED : BST_UNCHECKED);
        SetControlText(hwnd, IDC_TE_TARGET_TEXT, "%d", m_target);
        SetControlText(hwnd, IDC_TE_FAN_TEXT, "%d", m_fanPower);
        SetControlText(hwnd, IDC_TE_HEATER_TEXT, "%d", m_heaterPower);
    }
    // Without a cooler too: the temperature is shown either way.
    SetTimer(hwnd, kTemperatureTimer, kTemperaturePeriodMs, nullptr);
}

void TemperaturePage::OnTrackbar(HWND hwnd, int id) {
    const int position = TrackbarPosition(hwnd, id);
    switch (id) {
    case IDC_TE_TARGET:
        m_target = Clamp(position, m_targetMinimum, m_targetMaximum);
        SetControlText(hwnd, IDC_TE_TARGET_TEXT, "%d", m_target);
        m_camera->SetTargetTemperature(m_target);
        break;
    case IDC_TE_FAN:
        m_fanPower = Clamp(position, 0, 100);
        SetControlText(hwnd, IDC_TE_FAN_TEXT, "%d", m_fanPower);
        m_camera->SetFanPower(m_fanPower);
        break;
    case IDC_TE_HEATER:
        m_heaterPower = Clamp(position, 0, 100);
        SetControlText(hwnd, IDC_TE_HEATER_TEXT, "%d", m_heaterPower);
        m_camera->SetLensHeaterPower(m_heaterPower);
        break;
    default:
        break;
    }
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
    case WM_HSCROLL:
    case WM_VSCROLL:
        if (m_hasCooler)
            OnTrackbar(hwnd, AppliedTrackbar(hwnd, wParam, lParam,
                                             {TB_PAGEUP, TB_PAGEDOWN, TB_THUMBPOSITION, TB_THUMBTRACK}));
        break;
    default:
        break;
    }
    return CCameraPropertyPage::OnReceiveMessage(hwnd, message, wParam, lParam);
}

}  // namespace vyx
