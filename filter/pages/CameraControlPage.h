#pragma once
// The filter's first page: exposure (in us, ms or s), gain, offset and USB bandwidth, auto
// exposure and auto gain followed by their refresh timers, gain/offset presets, Default,
// and the connection type. Every change goes to the camera at once; Apply adds nothing.
#include "CCameraPropertyPage.h"
#include "PageControls.h"

namespace vyx {

class CameraControlPage : public CCameraPropertyPage {
public:
    static CUnknown* WINAPI CreateInstance(LPUNKNOWN outer, HRESULT* result);
    CameraControlPage(LPUNKNOWN outer, int dialogId, int titleId);

    HRESULT OnActivate() override;
    INT_PTR OnReceiveMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    void ReadCameraValues() override;
    void FillPresets(HWND hwnd);
    void OnCommand(HWND hwnd, int id, int code);
    void OnTimer(HWND hwnd, UINT_PTR id);
    // The exposure in the unit it fits: trackbar and unit button; the value as it is.
    void ShowExposureInItsUnit(HWND hwnd);
    void ShowExposureAuto(HWND hwnd);
    void ShowGainAuto(HWND hwnd);
    void RestoreDefaults(HWND hwnd);

    TimeSlider m_exposure;  // microseconds
    bool m_exposureAuto = false;
    CameraRange m_exposureRange;
    Slider m_gain;
    bool m_gainAuto = false;
    CameraRange m_gainRange;
    Slider m_usbBandwidth;
    CameraRange m_usbRange;
    Slider m_offset;
    CameraRange m_offsetRange;
    int m_presets[8] = {};  // gains of HighestDR, HCG, Unity, LowestRN, then their offsets
    bool m_usb3 = false;
};

}  // namespace vyx
