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
    : CCameraPropertyPage(outer, dialogId, titleId),
      m_exposureMax({IDC_AC_EXPOSURE_MAX, IDC_AC_EXPOSURE_MAX_TEXT, IDC_AC_EXPOSURE_MAX_SPIN}, TimeUnit::Milliseconds,
                    [this](int value) { m_camera->SetAutoExpMax(value); }),
      m_gainMax({IDC_AC_GAIN_MAX, IDC_AC_GAIN_MAX_TEXT, IDC_AC_GAIN_MAX_SPIN}, 1,
                [this](int value) { m_camera->SetAutoGainMax(value); }),
      m_brightness({IDC_AC_BRIGHTNESS, IDC_AC_BRIGHTNESS_TEXT, IDC_AC_BRIGHTNESS_SPIN}, 1,
                   [this](int value) { m_camera->SetTargetBrightness(value); }) {}

void AutoControlPage::ReadCameraValues() {
    VyxonCamera& camera = *m_camera;
    int value = 0;
    camera.GetAutoExpMax(&value);
    m_exposureMax.SetValue(value);
    camera.GetAutoExpMaxRange(&m_exposureMaxRange.maximum, &m_exposureMaxRange.minimum,
                              &m_exposureMaxRange.defaultValue);
    m_exposureMax.SetLimits(1, m_exposureMaxRange.maximum);
    camera.GetAutoGainMax(&value);
    m_gainMax.SetValue(value);
    camera.GetAutoGainMaxRange(&m_gainMaxRange.maximum, &m_gainMaxRange.minimum, &m_gainMaxRange.defaultValue);
    m_gainMax.SetScale({m_gainMaxRange.minimum, m_gainMaxRange.maximum});
    camera.GetTargetBrightness(&value);
    m_brightness.SetValue(value);
    camera.GetTargetBrightnessRange(&m_brightnessRange.maximum, &m_brightnessRange.minimum,
                                    &m_brightnessRange.defaultValue);
    m_brightness.SetScale({m_brightnessRange.minimum, m_brightnessRange.maximum});
}

HRESULT AutoControlPage::OnActivate() {
    CCameraPropertyPage::OnActivate();
    HWND hwnd = m_hwnd;
    m_exposureMax.FitUnit();
    for (const Slider* slider : SliderList{&m_gainMax, &m_brightness, &m_exposureMax}) slider->SetUp(hwnd);
    CheckRadioButton(hwnd, IDC_AC_UNIT_MS, IDC_AC_UNIT_S,
                     m_exposureMax.Unit() == TimeUnit::Seconds ? IDC_AC_UNIT_S : IDC_AC_UNIT_MS);
    // Shown, not sent: the camera holds these values already.
    for (const Slider* slider : SliderList{&m_gainMax, &m_brightness, &m_exposureMax}) slider->ShowText(hwnd);
    return S_OK;
}

HRESULT AutoControlPage::OnApplyChanges() {
    // The values live in the dialog's trackbars; without a dialog there is nothing to send.
    if (!m_hwnd) return S_OK;
    for (Slider* slider : SliderList{&m_exposureMax, &m_gainMax, &m_brightness}) slider->Apply(m_hwnd);
    return S_OK;
}

void AutoControlPage::OnCommand(HWND hwnd, int id) {
    switch (id) {
    case IDC_AC_UNIT_MS:
        m_exposureMax.ChooseUnit(hwnd, TimeUnit::Milliseconds);
        break;
    case IDC_AC_UNIT_S:
        m_exposureMax.ChooseUnit(hwnd, TimeUnit::Seconds);
        break;
    case IDC_AC_DEFAULT:
        m_exposureMax.SetValue(m_exposureMaxRange.defaultValue);
        m_gainMax.SetValue(m_gainMaxRange.defaultValue);
        m_brightness.SetValue(m_brightnessRange.defaultValue);
        OnActivate();
        for (Slider* slider : SliderList{&m_exposureMax, &m_gainMax, &m_brightness}) slider->Apply(hwnd);
        break;
    default:
        break;
    }
}

INT_PTR AutoControlPage::OnReceiveMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_COMMAND)
        OnCommand(hwnd, LOWORD(wParam));
    else
        RouteToSliders(hwnd, message, wParam, lParam, {kApplyWhileDragged, kApplyWhileDragged},
                       {&m_exposureMax, &m_gainMax, &m_brightness});
    return CCameraPropertyPage::OnReceiveMessage(hwnd, message, wParam, lParam);
}

}  // namespace vyx
