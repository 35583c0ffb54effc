#include "CameraControlPage.h"

#include <commctrl.h>

#include "PageControls.h"
#include "PageLanguage.h"
#include "PageResources.h"

namespace vyx {
namespace {
constexpr UINT_PTR kGainTimer = 2020;
constexpr UINT_PTR kExposureTimer = 2021;
constexpr UINT kRefreshPeriodMs = 1000;
constexpr int kPresetCount = 4;
const char* const kPresetNames[kPresetCount] = {"HighestDR", "HCG", "Unity", "LowestRN"};

int UnitButton(TimeUnit unit) {
    if (unit == TimeUnit::Microseconds) return IDC_CC_UNIT_US;
    if (unit == TimeUnit::Milliseconds) return IDC_CC_UNIT_MS;
    return IDC_CC_UNIT_S;
}
}  // namespace

CUnknown* WINAPI CameraControlPage::CreateInstance(LPUNKNOWN outer, HRESULT* result) {
    return CreateLocalizedPage<CameraControlPage>(
        outer, result, {IDD_CAMERA_CONTROL_EN, IDD_CAMERA_CONTROL_ZH, IDS_CAMERA_CONTROL_EN, IDS_CAMERA_CONTROL_ZH});
}

CameraControlPage::CameraControlPage(LPUNKNOWN outer, int dialogId, int titleId)
    : CCameraPropertyPage(outer, dialogId, titleId),
      m_exposure({IDC_CC_EXPOSURE, IDC_CC_EXPOSURE_TEXT, IDC_CC_EXPOSURE_SPIN}, TimeUnit::Microseconds,
                 [this](int value) { m_camera->SetExposure(value, m_exposureAuto); },
                 [this] { return !m_exposureAuto; }),
      m_gain({IDC_CC_GAIN, IDC_CC_GAIN_TEXT, IDC_CC_GAIN_SPIN}, 1,
             [this](int value) { m_camera->SetGain(value, m_gainAuto); }, [this] { return !m_gainAuto; }),
      m_usbBandwidth({IDC_CC_USB, IDC_CC_USB_TEXT, IDC_CC_USB_SPIN}, 1,
                     [this](int value) { m_camera->SetUsbBandwidthLimit(value); }),
      m_offset({IDC_CC_OFFSET, IDC_CC_OFFSET_TEXT, IDC_CC_OFFSET_SPIN}, 1,
               [this](int value) { m_camera->SetOffset(value); }) {
    m_exposure.SetValue(100000);
    m_usbBandwidth.SetValue(100);
}

void CameraControlPage::ReadCameraValues() {
    VyxonCamera& camera = *m_camera;
    int value = 0;
    camera.GetExposure(&value, &m_exposureAuto);
    m_exposure.SetValue(value);
    camera.GetExposureRange(&m_exposureRange.maximum, &m_exposureRange.minimum, &m_exposureRange.defaultValue);
    m_exposure.SetLimits(m_exposureRange.minimum, m_exposureRange.maximum);
    m_exposure.FitUnit();
    camera.GetGain(&value, &m_gainAuto);
    m_gain.SetValue(value);
    camera.GetGainRange(&m_gainRange.maximum, &m_gainRange.minimum, &m_gainRange.defaultValue);
    m_gain.SetScale({m_gainRange.minimum, m_gainRange.maximum});
    camera.GetUsbBandwidthLimit(&value);
    m_usbBandwidth.SetValue(value);
    camera.GetUsbBandwidthRange(&m_usbRange.maximum, &m_usbRange.minimum, &m_usbRange.defaultValue);
    m_usbBandwidth.SetScale({m_usbRange.minimum, m_usbRange.maximum, 1, "%d%%"});
    camera.GetOffset(&value);
    m_offset.SetValue(value);
    camera.GetOffsetRange(&m_offsetRange.maximum, &m_offsetRange.minimum, &m_offsetRange.defaultValue);
    m_offset.SetScale({m_offsetRange.minimum, m_offsetRange.maximum});
    camera.GetGainsAndOffsets(&m_presets[0], &m_presets[1], &m_presets[2], &m_presets[3], &m_presets[4],
                              &m_presets[5], &m_presets[6], &m_presets[7]);
    CameraProp prop{};
    camera.GetTheProp(&prop);
    m_usb3 = prop.isUsb3Host;
}

// Exposure units

void CameraControlPage::ShowExposureInItsUnit(HWND hwnd) {
    m_exposure.FitUnit();
    m_exposure.SetUp(hwnd);
    CheckRadioButton(hwnd, IDC_CC_UNIT_US, IDC_CC_UNIT_S, UnitButton(m_exposure.Unit()));
}

// Automatic modes

void CameraControlPage::ShowExposureAuto(HWND hwnd) {
    CheckDlgButton(hwnd, IDC_CC_EXPOSURE_AUTO, m_exposureAuto ? BST_CHECKED : BST_UNCHECKED);
    m_exposure.ShowEnabled(hwnd);
    EnableControls(hwnd, {IDC_CC_UNIT_US, IDC_CC_UNIT_MS, IDC_CC_UNIT_S}, !m_exposureAuto);
    if (m_exposureAuto) SetTimer(hwnd, kExposureTimer, kRefreshPeriodMs, nullptr);
}

void CameraControlPage::ShowGainAuto(HWND hwnd) {
    CheckDlgButton(hwnd, IDC_CC_GAIN_AUTO, m_gainAuto ? BST_CHECKED : BST_UNCHECKED);
    m_gain.ShowEnabled(hwnd);
    if (m_gainAuto) SetTimer(hwnd, kGainTimer, kRefreshPeriodMs, nullptr);
}

HRESULT CameraControlPage::OnActivate() {
    CCameraPropertyPage::OnActivate();
    HWND hwnd = m_hwnd;
    CheckRadioButton(hwnd, IDC_CC_UNIT_US, IDC_CC_UNIT_S, UnitButton(m_exposure.Unit()));
    for (const Slider* slider : SliderList{&m_gain, &m_exposure, &m_usbBandwidth, &m_offset}) slider->SetUp(hwnd);
    ShowExposureAuto(hwnd);
    ShowGainAuto(hwnd);
    // Shown, not sent: the camera holds these values already.
    for (const Slider* slider : SliderList{&m_gain, &m_usbBandwidth, &m_offset, &m_exposure}) slider->Show(hwnd);
    SetDlgItemTextA(hwnd, IDC_CC_CONNECTION, m_usb3 ? "USB3.0" : "USB2.0");
    return S_OK;
}

void CameraControlPage::FillPresets(HWND hwnd) {
    for (const char* name : kPresetNames)
        SendDlgItemMessageA(hwnd, IDC_CC_PRESETS, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name));
    for (int i = 0; i < kPresetCount; ++i) {
        if (m_presets[i] == m_gain.Value() && m_presets[kPresetCount + i] == m_offset.Value()) {
            SendDlgItemMessageA(hwnd, IDC_CC_PRESETS, CB_SETCURSEL, i, 0);
            return;
        }
    }
}

void CameraControlPage::RestoreDefaults(HWND hwnd) {
    m_gain.SetValue(m_gainRange.defaultValue);
    m_usbBandwidth.SetValue(m_usbRange.defaultValue);
    m_offset.SetValue(m_offsetRange.defaultValue);
    m_exposure.SetValue(m_exposureRange.defaultValue);
    m_exposureAuto = false;
    m_gainAuto = false;
    // The unit follows the default, as on opening: in ms a 2 s default would pin the thumb
    // at 999 and the next move would halve the exposure.
    m_exposure.FitUnit();
    KillTimer(hwnd, kGainTimer);
    KillTimer(hwnd, kExposureTimer);
    m_camera->SetExposure(m_exposure.Value(), false);
    m_camera->SetGain(m_gain.Value(), false);
    m_camera->SetUsbBandwidthLimit(m_usbBandwidth.Value());
    m_camera->SetOffset(m_offset.Value());
    OnActivate();
}

void CameraControlPage::OnCommand(HWND hwnd, int id, int code) {
    switch (id) {
    case IDC_CC_UNIT_US:
        m_exposure.ChooseUnit(hwnd, TimeUnit::Microseconds);
        break;
    case IDC_CC_UNIT_MS:
        m_exposure.ChooseUnit(hwnd, TimeUnit::Milliseconds);
        break;
    case IDC_CC_UNIT_S:
        m_exposure.ChooseUnit(hwnd, TimeUnit::Seconds);
        break;
    case IDC_CC_EXPOSURE_AUTO: {
        m_exposureAuto = IsChecked(hwnd, IDC_CC_EXPOSURE_AUTO);
        if (!m_exposureAuto) {
            int exposure = 0;
            bool cameraAuto = false;
            m_camera->GetExposure(&exposure, &cameraAuto);
            m_exposure.SetValue(exposure);
            ShowExposureInItsUnit(hwnd);
            KillTimer(hwnd, kExposureTimer);
        }
        ShowExposureAuto(hwnd);
        // The value as read: the trackbar holds whole units only, so it is not read back.
        m_camera->SetExposure(m_exposure.Value(), m_exposureAuto);
        m_exposure.Show(hwnd);
        break;
    }
    case IDC_CC_GAIN_AUTO: {
        m_gainAuto = IsChecked(hwnd, IDC_CC_GAIN_AUTO);
        if (!m_gainAuto) {
            int gain = 0;
            bool cameraAuto = false;
            m_camera->GetGain(&gain, &cameraAuto);
            m_gain.SetValue(gain);
            KillTimer(hwnd, kGainTimer);
        }
        ShowGainAuto(hwnd);
        m_camera->SetGain(m_gain.Value(), m_gainAuto);
        m_gain.Show(hwnd);
        break;
    }
    case IDC_CC_PRESETS:
        if (code == CBN_SELCHANGE) {
            const LRESULT selection = SendDlgItemMessageA(hwnd, IDC_CC_PRESETS, CB_GETCURSEL, 0, 0);
            const int preset = selection >= 1 && selection <= 3 ? static_cast<int>(selection) : 0;
            m_gain.MoveTo(hwnd, m_presets[preset]);
            m_offset.MoveTo(hwnd, m_presets[kPresetCount + preset]);
        }
        break;
    case IDC_CC_DEFAULT:
        RestoreDefaults(hwnd);
        break;
    default:
        break;
    }
}

void CameraControlPage::OnTimer(HWND hwnd, UINT_PTR id) {
    int value = 0;
    bool cameraAuto = false;
    if (id == kGainTimer) {
        m_camera->GetGain(&value, &cameraAuto);
        m_gain.SetValue(value);
        m_gain.Show(hwnd);
    } else if (id == kExposureTimer) {
        m_camera->GetExposure(&value, &cameraAuto);
        m_exposure.SetValue(value);
        ShowExposureInItsUnit(hwnd);
        m_exposure.ShowText(hwnd);
    }
}

INT_PTR CameraControlPage::OnReceiveMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        FillPresets(hwnd);
        break;
    case WM_COMMAND:
        OnCommand(hwnd, LOWORD(wParam), HIWORD(wParam));
        break;
    case WM_TIMER:
        OnTimer(hwnd, wParam);
        break;
    default:
        // A dragged horizontal thumb applies when it is released.
        RouteToSliders(hwnd, message, wParam, lParam, {kApplyOnRelease, kApplyWhileDragged},
                       {&m_exposure, &m_gain, &m_offset, &m_usbBandwidth});
        break;
    }
    return CCameraPropertyPage::OnReceiveMessage(hwnd, message, wParam, lParam);
}

}  // namespace vyx
