#include "AutoControlPage.h"

#include <commctrl.h>

#include "PageControls.h"
#include "PageLanguage.h"
#include "PageResources.h"

namespace vyx {

CUnknown* WINAPI AutoControlPage::CreateInstance(LPUNKNOWN outer, HRESULT* result) {
    return CreateLocalizedPage<AutoControlPage>(
        outer, result, {IDD_AUTO_CONTROL_EN, IDD_AUTO_CONTROL_ZH, IDS_AUTO_CONTROL_EN, IDS_AUTO_CONTROL_ZH});
}

AutoControlPage::AutoControlPage(LPUNKNOWN outer, int dialogId, int titleId)
    : CCameraPropertyPage(outer, dialogId, titleId) {}

void AutoControlPage::ReadCameraValues() {
    VyxonCamera& camera = *m_camera;
    camera.GetAutoExpMax(&m_exposureMaxMs);
    camera.GetAutoExpMaxRange(&m_exposureMaxRange.maximum, &m_exposureMaxRange.minimum,
                              &m_exposureMaxRange.defaultValue);
    camera.GetAutoGainMax(&m_gainMax);
    camera.GetAutoGainMaxRange(&m_gainMaxRange.maximum, &m_gainMaxRange.minimum, &m_gainMaxRange.defaultValue);
    camera.GetTargetBrightness(&m_brightness);
    camera.GetTargetBrightnessRange(&m_brightnessRange.maximum, &m_brightnessRange.minimum,
                                    &m_brightnessRange.defaultValue);
}

// Show steps write the value's text. Apply steps send the trackbar's value and show it;
// unlike the other pages they leave the trackbar where it is.

int AutoControlPage::MillisecondsPerUnit() const {
    return MicrosecondsPer(m_unit) / 1000;
}

void AutoControlPage::ShowExposureMax(HWND hwnd) {
    SetTimeText(hwnd, IDC_AC_EXPOSURE_MAX_TEXT, m_exposureMaxMs / MillisecondsPerUnit(), m_unit);
}

void AutoControlPage::ShowGainMax(HWND hwnd) {
    SetControlText(hwnd, IDC_AC_GAIN_MAX_TEXT, "%d", m_gainMax);
}

void AutoControlPage::ShowBrightness(HWND hwnd) {
    SetControlText(hwnd, IDC_AC_BRIGHTNESS_TEXT, "%d", m_brightness);
}

void AutoControlPage::ApplyExposureMax(HWND hwnd) {
    const int position = TrackbarPosition(hwnd, IDC_AC_EXPOSURE_MAX);
    m_exposureMaxMs = position * MillisecondsPerUnit();
    ShowExposureMax(hwnd);
    m_camera->SetAutoExpMax(m_exposureMaxMs);
}

void AutoControlPage::ApplyGainMax(HWND hwnd) {
    m_gainMax = TrackbarPosition(hwnd, IDC_AC_GAIN_MAX);
    ShowGainMax(hwnd);
    m_camera->SetAutoGainMax(m_gainMax);
}

void AutoControlPage::ApplyBrightness(HWND hwnd) {
    m_brightness = TrackbarPosition(hwnd, IDC_AC_BRIGHTNESS);
    ShowBrightness(hwnd);
    m_camera->SetTargetBrightness(m_brightness);
}

HRESULT AutoControlPage::OnActivate() {
    CCameraPropertyPage::OnActivate();
    HWND hwnd = m_hwnd;
    SetTrackbar(hwnd, IDC_AC_GAIN_MAX, m_gainMaxRange.minimum, m_gainMaxRange.maximum, m_gainMax);
    SetTrackbar(hwnd, IDC_AC_BRIGHTNESS, m_brightnessRange.minimum, m_brightnessRange.maximum, m_brightness);
    m_unit = FittingUnit(m_exposureMaxMs * 1000LL, TimeUnit::Milliseconds);
    if (m_unit == TimeUnit::Seconds)
        SetTrackbar(hwnd, IDC_AC_EXPOSURE_MAX, 1, m_exposureMaxRange.maximum / 1000, m_exposureMaxMs / 1000);
    else
        SetTrackbar(hwnd, IDC_AC_EXPOSURE_MAX, 1, 999, m_exposureMaxMs);
    CheckRadioButton(hwnd, IDC_AC_UNIT_MS, IDC_AC_UNIT_S,
                     m_unit == TimeUnit::Seconds ? IDC_AC_UNIT_S : IDC_AC_UNIT_MS);
    // Shown, not sent: the camera holds these values already.
    ShowGainMax(hwnd);
    ShowBrightness(hwnd);
    ShowExposureMax(hwnd);
    return S_OK;
}

HRESULT AutoControlPage::OnApplyChanges() {
    // The values live in the dialog's trackbars; without a dialog there is nothing to send.
    if (!m_hwnd) return S_OK;
    ApplyExposureMax(m_hwnd);
    ApplyGainMax(m_hwnd);
    ApplyBrightness(m_hwnd);
    return S_OK;
}

void AutoControlPage::OnCommand(HWND hwnd, int id) {
    switch (id) {
    case IDC_AC_UNIT_MS:
        m_unit = TimeUnit::Milliseconds;
        if (m_exposureMaxMs > 999) m_exposureMaxMs = 999;
        SetTrackbar(hwnd, IDC_AC_EXPOSURE_MAX, 1, 999, m_exposureMaxMs);
        ApplyExposureMax(hwnd);
        break;
    case IDC_AC_UNIT_S:
        m_unit = TimeUnit::Seconds;
        if (m_exposureMaxMs < 1000) m_exposureMaxMs = 1000;
        SetTrackbar(hwnd, IDC_AC_EXPOSURE_MAX, 1, m_exposureMaxRange.maximum / 1000, m_exposureMaxMs / 1000);
        ApplyExposureMax(hwnd);
        break;
    case IDC_AC_DEFAULT:
        m_exposureMaxMs = m_exposureMaxRange.defaultValue;
        m_gainMax = m_gainMaxRange.defaultValue;
        m_brightness = m_brightnessRange.defaultValue;
        OnActivate();
        ApplyExposureMax(hwnd);
        ApplyGainMax(hwnd);
        ApplyBrightness(hwnd);
        break;
    default:
        break;
    }
}

void AutoControlPage::OnSpin(HWND hwnd, int id, int delta) {
    switch (id) {
    case IDC_AC_EXPOSURE_MAX_SPIN:
        if (m_unit == TimeUnit::Milliseconds) {
            m_exposureMaxMs = SpinStep(m_exposureMaxMs, delta, 1, 1, 999);
            SetTrackbarPosition(hwnd, IDC_AC_EXPOSURE_MAX, m_exposureMaxMs);
        } else {
            m_exposureMaxMs = SpinStep(m_exposureMaxMs, delta, 1000, 1000, m_exposureMaxRange.maximum);
            SetTrackbarPosition(hwnd, IDC_AC_EXPOSURE_MAX, m_exposureMaxMs / 1000);
        }
        ApplyExposureMax(hwnd);
        break;
    case IDC_AC_GAIN_MAX_SPIN:
        m_gainMax = SpinStep(m_gainMax, delta, 1, m_gainMaxRange.minimum, m_gainMaxRange.maximum);
        SetTrackbarPosition(hwnd, IDC_AC_GAIN_MAX, m_gainMax);
        ApplyGainMax(hwnd);
        break;
    case IDC_AC_BRIGHTNESS_SPIN:
        m_brightness = SpinStep(m_brightness, delta, 1, m_brightnessRange.minimum, m_brightnessRange.maximum);
        SetTrackbarPosition(hwnd, IDC_AC_BRIGHTNESS, m_brightness);
        ApplyBrightness(hwnd);
        break;
    default:
        break;
    }
}

INT_PTR AutoControlPage::OnReceiveMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_COMMAND:
        OnCommand(hwnd, LOWORD(wParam));
        break;
    case WM_NOTIFY: {
        SpinClick click;
        if (ReadSpinClick(lParam, {IDC_AC_EXPOSURE_MAX_SPIN, IDC_AC_GAIN_MAX_SPIN, IDC_AC_BRIGHTNESS_SPIN}, &click))
            OnSpin(hwnd, click.id, click.delta);
        break;
    }
    case WM_HSCROLL:
    case WM_VSCROLL: {
        const int id = AppliedTrackbar(hwnd, wParam, lParam, {TB_PAGEUP, TB_PAGEDOWN, TB_THUMBTRACK});
        if (id == IDC_AC_EXPOSURE_MAX) ApplyExposureMax(hwnd);
        if (id == IDC_AC_GAIN_MAX) ApplyGainMax(hwnd);
        if (id == IDC_AC_BRIGHTNESS) ApplyBrightness(hwnd);
        break;
    }
    default:
        break;
    }
    return CCameraPropertyPage::OnReceiveMessage(hwnd, message, wParam, lParam);
}

}  // namespace vyx
