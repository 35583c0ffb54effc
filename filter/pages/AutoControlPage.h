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
    struct Range {
        int maximum = 0;
        int minimum = 0;
        int defaultValue = 0;
    };

    void ReadCameraValues() override;
    void OnCommand(HWND hwnd, int id);
    void OnSpin(HWND hwnd, int id, int delta);
    int MillisecondsPerUnit() const;
    void ShowExposureMax(HWND hwnd);
    void ShowGainMax(HWND hwnd);
    void ShowBrightness(HWND hwnd);
    void ApplyExposureMax(HWND hwnd);
    void ApplyGainMax(HWND hwnd);
    void ApplyBrightness(HWND hwnd);

    int m_exposureMaxMs = 0;
    Range m_exposureMaxRange;  // its minimum is not used: the page's limits follow the unit
    int m_gainMax = 0;
    Range m_gainMaxRange;
    int m_brightness = 0;
    Range m_brightnessRange;
    TimeUnit m_unit = TimeUnit::Milliseconds;
};

}  // namespace vyx
