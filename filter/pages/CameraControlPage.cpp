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
    : CCameraPropertyPage(outer, dialogId, titleId) {}

void CameraControlPage::ReadCameraValues() {
    VyxonCamera& camera = *m_camera;
    camera.GetExposure(&m_exposure, &m_exposureAuto);
    camera.GetExposureRange(&m_exposureRange.maximum, &m_exposureRange.minimum, &m_exposureRange.defaultValue);
    camera.GetGain(&m_gain, &m_gainAuto);
    camera.GetGainRange(&m_gainRange.maximum, &m_gainRange.minimum, &m_gainRange.defaultValue);
    camera.GetUsbBandwidthLimit(&m_usbBandwidth);
    camera.GetUsbBandwidthRange(&m_usbRange.maximum, &m_usbRange.minimum, &m_usbRange.defaultValue);
    camera.GetOffset(&m_offset);
    camera.GetOffsetRange(&m_offsetRange.maximum, &m_offsetRange.minimum, &m_offsetRange.defaultValue);
    camera.GetGainsAndOffsets(&m_presets[0], &m_presets[1], &m_presets[2], &m_presets[3], &m_presets[4],
                              &m_presets[5], &m_presets[6], &m_presets[7]);
    CameraProp prop{};
    camera.GetTheProp(&prop);
    m_usb3 = prop.isUsb3Host;
    m_unit = FittingUnit(m_exposure, TimeUnit::Microseconds);
}

// Exposure units

int CameraControlPage::ExposurePosition() const {
    return m_exposure / MicrosecondsPer(m_unit);
}

void CameraControlPage::SetUpExposureTrackbar(HWND hwnd) {
    if (m_unit == TimeUnit::Microseconds)
        SetTrackbarRange(hwnd, IDC_CC_EXPOSURE, m_exposureRange.minimum, 999);
    else if (m_unit == TimeUnit::Milliseconds)
        SetTrackbarRange(hwnd, IDC_CC_EXPOSURE, 1, 999);
    else
        SetTrackbarRange(hwnd, IDC_CC_EXPOSURE, 1, m_exposureRange.maximum / 1000000);
    SetTrackbarPosition(hwnd, IDC_CC_EXPOSURE, ExposurePosition());
}

void CameraControlPage::WriteExposureText(HWND hwnd) {
    SetTimeText(hwnd, IDC_CC_EXPOSURE_TEXT, ExposurePosition(), m_unit);
}

// Show steps: value to text and thumb. Apply steps: trackbar to value, value to camera,
// then the show step.

void CameraControlPage::ShowExposure(HWND hwnd) {
    WriteExposureText(hwnd);
    SetTrackbarPosition(hwnd, IDC_CC_EXPOSURE, ExposurePosition());
}

void CameraControlPage::ShowGain(HWND hwnd) {
    SetControlText(hwnd, IDC_CC_GAIN_TEXT, "%d", m_gain);
    SetTrackbarPosition(hwnd, IDC_CC_GAIN, m_gain);
}

void CameraControlPage::ShowOffset(HWND hwnd) {
    SetControlText(hwnd, IDC_CC_OFFSET_TEXT, "%d", m_offset);
    SetTrackbarPosition(hwnd, IDC_CC_OFFSET, m_offset);
}

void CameraControlPage::ShowUsbBandwidth(HWND hwnd) {
    SetControlText(hwnd, IDC_CC_USB_TEXT, "%d%%", m_usbBandwidth);
    SetTrackbarPosition(hwnd, IDC_CC_USB, m_usbBandwidth);
}

void CameraControlPage::ApplyExposure(HWND hwnd) {
    m_exposure = TrackbarPosition(hwnd, IDC_CC_EXPOSURE) * MicrosecondsPer(m_unit);
    m_camera->SetExposure(m_exposure, m_exposureAuto);
    ShowExposure(hwnd);
}

void CameraControlPage::ApplyGain(HWND hwnd) {
    m_gain = TrackbarPosition(hwnd, IDC_CC_GAIN);
    m_camera->SetGain(m_gain, m_gainAuto);
    ShowGain(hwnd);
}

void CameraControlPage::ApplyOffset(HWND hwnd) {
    m_offset = TrackbarPosition(hwnd, IDC_CC_OFFSET);
    m_camera->SetOffset(m_offset);
    ShowOffset(hwnd);
}

void CameraControlPage::ApplyUsbBandwidth(HWND hwnd) {
    m_usbBandwidth = TrackbarPosition(hwnd, IDC_CC_USB);
    m_camera->SetUsbBandwidthLimit(m_usbBandwidth);
    ShowUsbBandwidth(hwnd);
}

// Automatic modes

void CameraControlPage::ShowExposureAuto(HWND hwnd) {
    CheckDlgButton(hwnd, IDC_CC_EXPOSURE_AUTO, m_exposureAuto ? BST_CHECKED : BST_UNCHECKED);
    EnableControls(hwnd, {IDC_CC_EXPOSURE, IDC_CC_UNIT_US, IDC_CC_UNIT_MS, IDC_CC_UNIT_S, IDC_CC_EXPOSURE_SPIN},
                   !m_exposureAuto);
    if (m_exposureAuto) SetTimer(hwnd, kExposureTimer, kRefreshPeriodMs, nullptr);
}

void CameraControlPage::ShowGainAuto(HWND hwnd) {
    CheckDlgButton(hwnd, IDC_CC_GAIN_AUTO, m_gainAuto ? BST_CHECKED : BST_UNCHECKED);
    EnableControls(hwnd, {IDC_CC_GAIN, IDC_CC_GAIN_SPIN}, !m_gainAuto);
    if (m_gainAuto) SetTimer(hwnd, kGainTimer, kRefreshPeriodMs, nullptr);
}

HRESULT CameraControlPage::OnActivate() {
    CCameraPropertyPage::OnActivate();
    HWND hwnd = m_hwnd;
    CheckRadioButton(hwnd, IDC_CC_UNIT_US, IDC_CC_UNIT_S, UnitButton(m_unit));
    SetTrackbar(hwnd, IDC_CC_GAIN, m_gainRange.minimum, m_gainRange.maximum, m_gain);
    SetUpExposureTrackbar(hwnd);
    SetTrackbar(hwnd, IDC_CC_USB, m_usbRange.minimum, m_usbRange.maximum, m_usbBandwidth);
    SetTrackbar(hwnd, IDC_CC_OFFSET, m_offsetRange.minimum, m_offsetRange.maximum, m_offset);
    ShowExposureAuto(hwnd);
    ShowGainAuto(hwnd);
    // Shown, not sent: the camera holds these values already.
    ShowGain(hwnd);
    ShowUsbBandwidth(hwnd);
    ShowOffset(hwnd);
    ShowExposure(hwnd);
    SetDlgItemTextA(hwnd, IDC_CC_CONNECTION, m_usb3 ? "USB3.0" : "USB2.0");
    return S_OK;
}

void CameraControlPage::FillPresets(HWND hwnd) {
    for (const char* name : kPresetNames)
        SendDlgItemMessageA(hwnd, IDC_CC_PRESETS, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name));
    for (int i = 0; i < kPresetCount; ++i) {
        if (m_presets[i] == m_gain && m_presets[kPresetCount + i] == m_offset) {
            SendDlgItemMessageA(hwnd, IDC_CC_PRESETS, CB_SETCURSEL, i, 0);
            return;
        }
    }
}

void CameraControlPage::RestoreDefaults(HWND hwnd) {
    m_gain = m_gainRange.defaultValue;
    m_usbBandwidth = m_usbRange.defaultValue;
    m_offset = m_offsetRange.defaultValue;
    m_exposure = m_exposureRange.defaultValue;
    m_exposureAuto = false;
    m_gainAuto = false;
    // The unit follows the default, as on opening: in ms a 2 s default would pin the thumb
    // at 999 and the next move would halve the exposure.
    m_unit = FittingUnit(m_exposure, TimeUnit::Microseconds);
    KillTimer(hwnd, kGainTimer);
    KillTimer(hwnd, kExposureTimer);
    m_camera->SetExposure(m_exposure, false);
    m_camera->SetGain(m_gain, false);
    m_camera->SetUsbBandwidthLimit(m_usbBandwidth);
    m_camera->SetOffset(m_offset);
    OnActivate();
}

void CameraControlPage::OnCommand(HWND hwnd, int id, int code) {
    switch (id) {
    case IDC_CC_UNIT_US:
        m_unit = TimeUnit::Microseconds;
        if (m_exposure > 999) m_exposure = 999;
        SetUpExposureTrackbar(hwnd);
        ApplyExposure(hwnd);
        break;
    case IDC_CC_UNIT_MS:
        m_unit = TimeUnit::Milliseconds;
        m_exposure = Clamp(m_exposure, 1000, 999000);
        SetUpExposureTrackbar(hwnd);
        ApplyExposure(hwnd);
        break;
    case IDC_CC_UNIT_S:
        m_unit = TimeUnit::Seconds;
        if (m_exposure < 1000000) m_exposure = 1000000;
        SetUpExposureTrackbar(hwnd);
        ApplyExposure(hwnd);
        break;
    case IDC_CC_EXPOSURE_AUTO:
        m_exposureAuto = IsChecked(hwnd, IDC_CC_EXPOSURE_AUTO);
        if (!m_exposureAuto) {
            bool cameraAuto = false;
            m_camera->GetExposure(&m_exposure, &cameraAuto);
            m_unit = FittingUnit(m_exposure, TimeUnit::Microseconds);
            // The range follows the unit too, so the thumb is not clamped to another
            // unit's limits.
            SetUpExposureTrackbar(hwnd);
            CheckRadioButton(hwnd, IDC_CC_UNIT_US, IDC_CC_UNIT_S, UnitButton(m_unit));
            KillTimer(hwnd, kExposureTimer);
        }
        ShowExposureAuto(hwnd);
        // The value as read: the trackbar holds whole units only, so it is not read back.
        m_camera->SetExposure(m_exposure, m_exposureAuto);
        ShowExposure(hwnd);
        break;
    case IDC_CC_GAIN_AUTO:
        m_gainAuto = IsChecked(hwnd, IDC_CC_GAIN_AUTO);
        if (!m_gainAuto) {
            bool cameraAuto = false;
            m_camera->GetGain(&m_gain, &cameraAuto);
            SetTrackbarPosition(hwnd, IDC_CC_GAIN, m_gain);
            KillTimer(hwnd, kGainTimer);
        }
        ShowGainAuto(hwnd);
        m_camera->SetGain(m_gain, m_gainAuto);
        ShowGain(hwnd);
        break;
    case IDC_CC_PRESETS:
        if (code == CBN_SELCHANGE) {
            const LRESULT selection = SendDlgItemMessageA(hwnd, IDC_CC_PRESETS, CB_GETCURSEL, 0, 0);
            const int preset = selection >= 1 && selection <= 3 ? static_cast<int>(selection) : 0;
            m_gain = m_presets[preset];
            m_offset = m_presets[kPresetCount + preset];
            SetTrackbarPosition(hwnd, IDC_CC_GAIN, m_gain);
            ApplyGain(hwnd);
            SetTrackbarPosition(hwnd, IDC_CC_OFFSET, m_offset);
            ApplyOffset(hwnd);
        }
        break;
    case IDC_CC_DEFAULT:
        RestoreDefaults(hwnd);
        break;
    default:
        break;
    }
}

void CameraControlPage::OnSpin(HWND hwnd, int id, int delta) {
    switch (id) {
    case IDC_CC_EXPOSURE_SPIN:
        if (m_unit == TimeUnit::Microseconds)
            m_exposure = SpinStep(m_exposure, delta, 1, m_exposureRange.minimum, 999);
        else if (m_unit == TimeUnit::Milliseconds)
            m_exposure = SpinStep(m_exposure, delta, 1000, 1000, 999000);
        else
            m_exposure = SpinStep(m_exposure, delta, 1000000, 1000000, m_exposureRange.maximum);
        SetTrackbarPosition(hwnd, IDC_CC_EXPOSURE, ExposurePosition());
        ApplyExposure(hwnd);
        break;
    case IDC_CC_GAIN_SPIN:
        m_gain = SpinStep(m_gain, delta, 1, m_gainRange.minimum, m_gainRange.maximum);
        SetTrackbarPosition(hwnd, IDC_CC_GAIN, m_gain);
        ApplyGain(hwnd);
        break;
    case IDC_CC_OFFSET_SPIN:
        m_offset = SpinStep(m_offset, delta, 1, m_offsetRange.minimum, m_offsetRange.maximum);
        SetTrackbarPosition(hwnd, IDC_CC_OFFSET, m_offset);
        ApplyOffset(hwnd);
        break;
    case IDC_CC_USB_SPIN:
        m_usbBandwidth = SpinStep(m_usbBandwidth, delta, 1, m_usbRange.minimum, m_usbRange.maximum);
        SetTrackbarPosition(hwnd, IDC_CC_USB, m_usbBandwidth);
        ApplyUsbBandwidth(hwnd);
        break;
    default:
        break;
    }
}

void CameraControlPage::OnTimer(HWND hwnd, UINT_PTR id) {
    bool cameraAuto = false;
    if (id == kGainTimer) {
        m_camera->GetGain(&m_gain, &cameraAuto);
        SetControlText(hwnd, IDC_CC_GAIN_TEXT, "%d", m_gain);
        SetTrackbarPosition(hwnd, IDC_CC_GAIN, m_gain);
    } else if (id == kExposureTimer) {
        m_camera->GetExposure(&m_exposure, &cameraAuto);
        m_unit = FittingUnit(m_exposure, TimeUnit::Microseconds);
        WriteExposureText(hwnd);
        SetUpExposureTrackbar(hwnd);
        CheckRadioButton(hwnd, IDC_CC_UNIT_US, IDC_CC_UNIT_S, UnitButton(m_unit));
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
    case WM_NOTIFY: {
        SpinClick click;
        if (ReadSpinClick(lParam, {IDC_CC_EXPOSURE_SPIN, IDC_CC_GAIN_SPIN, IDC_CC_OFFSET_SPIN, IDC_CC_USB_SPIN}, &click))
            OnSpin(hwnd, click.id, click.delta);
        break;
    }
    case WM_HSCROLL:
    case WM_VSCROLL: {
        const int id = message == WM_HSCROLL ? AppliedTrackbar(hwnd, wParam, lParam, {TB_PAGEUP, TB_PAGEDOWN, TB_THUMBPOSITION})
                                             : AppliedTrackbar(hwnd, wParam, lParam, {TB_PAGEUP, TB_PAGEDOWN, TB_THUMBTRACK});
        if (id == IDC_CC_EXPOSURE) ApplyExposure(hwnd);
        if (id == IDC_CC_GAIN) ApplyGain(hwnd);
        if (id == IDC_CC_USB) ApplyUsbBandwidth(hwnd);
        if (id == IDC_CC_OFFSET) ApplyOffset(hwnd);
        break;
    }
    case WM_TIMER:
        OnTimer(hwnd, wParam);
        break;
    default:
        break;
    }
    return CCameraPropertyPage::OnReceiveMessage(hwnd, message, wParam, lParam);
}

}  // namespace vyx
