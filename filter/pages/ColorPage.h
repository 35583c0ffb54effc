#pragma once
// The filter's fifth page: white balance. Red and blue gains on two trackbars, automatic
// white balance followed by a 500 ms refresh timer, and Default. A monochrome camera gets
// a notice and nothing usable. Changes go to the camera at once and again on Apply.
#include "CCameraPropertyPage.h"
#include "PageControls.h"

namespace vyx {

class ColorPage : public CCameraPropertyPage {
public:
    static CUnknown* WINAPI CreateInstance(LPUNKNOWN outer, HRESULT* result);
    ColorPage(LPUNKNOWN outer, int dialogId, int titleId);

    HRESULT OnActivate() override;
    HRESULT OnApplyChanges() override;
    INT_PTR OnReceiveMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    void ReadCameraValues() override;
    void InitDialog(HWND hwnd);
    void OnCommand(HWND hwnd, int id);
    void OnTimer(HWND hwnd);
    void ShowAuto(HWND hwnd);
    // Trackbars and texts from the camera's current white balance; returns its auto flag.
    bool ShowCameraWhiteBalance(HWND hwnd);
    void SendWhiteBalance();
    // Both trackbars read, sent together, both texts shown.
    void ApplyWhiteBalance(HWND hwnd);
    INT_PTR LabelColors(HDC dc, HWND control);

    bool m_color = false;
    Slider m_red;
    int m_green = 0;  // no control of its own: sent on as last read
    Slider m_blue;
    bool m_auto = false;
    int m_maximum = 0;
    int m_minimum = 0;
    int m_defaultRed = 0;
    int m_defaultGreen = 0;
    int m_defaultBlue = 0;
};

}  // namespace vyx
