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
    struct Range {
        int maximum = 0;
        int minimum = 0;
        int defaultValue = 0;
    };

    void ReadCameraValues() override;
    void FillPresets(HWND hwnd);
    void OnCommand(HWND hwnd, int id, int code);
    void OnSpin(HWND hwnd, int id, int delta);
    void OnTimer(HWND hwnd, UINT_PTR id);
    void SetUpExposureTrackbar(HWND hwnd);
    void WriteExposureText(HWND hwnd);
    void ShowExposureAuto(HWND hwnd);
    void ShowGainAuto(HWND hwnd);
    void ShowExposure(HWND hwnd);
    void ShowGain(HWND hwnd);
    void ShowOffset(HWND hwnd);
    void ShowUsbBandwidth(HWND hwnd);
    void ApplyExposure(HWND hwnd);
    void ApplyGain(HWND hwnd);
    void ApplyOffset(HWND hwnd);
    void ApplyUsbBandwidth(HWND hwnd);
    void RestoreDefaults(HWND hwnd);
    int ExposurePosition() const;

    int m_exposure = 100000;  // microseconds
    bool m_exposureAuto = false;
    Range m_exposureRange;
    int m_gain = 0;
    bool m_gainAuto = false;
    Range m_gainRange;
    int m_usbBandwidth = 100;
    Range m_usbRange;
    int m_offset = 0;
    Range m_offsetRange;
    int m_presets[8] = {};    // gains of HighestDR, HCG, Unity, LowestRN, then their offsets
    TimeUnit m_unit = TimeUnit::Milliseconds;
    bool m_usb3 = false;
};

}  // namespace vyx
