#pragma once
// The filter's second page: the limits of the camera's automatic exposure and gain (the
// longest exposure, in ms or s, the highest gain) and the brightness they aim at. Changes
// go to the camera at once and again on Apply.
#include "CCameraPropertyPage.h"
#include "PageControls.h"

namespace vyx {

class AutoControlPage : public CCameraPropertyPage {
public:
    static CUnknown* WINAPI CreateInstance(LPUNKNOWN outer, HRESULT* result);
    AutoControlPage(LPUNKNOWN outer, int dialogId, int titleId);

    HRESULT OnActivate() override;
    HRESULT OnApplyChanges() override;
    INT_PTR OnReceiveMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    void ReadCameraValues() override;
    void OnCommand(HWND hwnd, int id);

    TimeSlider m_exposureMax;  // milliseconds
    CameraRange m_exposureMaxRange;  // its minimum is not used: the page's limits follow the unit
    Slider m_gainMax;
    CameraRange m_gainMaxRange;
    Slider m_brightness;
    CameraRange m_brightnessRange;
};

}  // namespace vyx
