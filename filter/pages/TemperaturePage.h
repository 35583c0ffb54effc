#pragma once
// The filter's fourth page: the sensor temperature in degrees C and F, refreshed every
// second; with a cooler also its switch, target temperature and power, and the fan and
// lens-heater powers. Changes go to the camera at once; Apply adds nothing.
#include "CCameraPropertyPage.h"
#include "PageControls.h"

namespace vyx {

class TemperaturePage : public CCameraPropertyPage {
public:
    static CUnknown* WINAPI CreateInstance(LPUNKNOWN outer, HRESULT* result);
    TemperaturePage(LPUNKNOWN outer, int dialogId, int titleId);

    INT_PTR OnReceiveMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    void ReadCameraValues() override;
    void InitDialog(HWND hwnd);
    void ShowTemperature(HWND hwnd);
    void ShowCoolerPower(HWND hwnd);

    bool m_hasCooler = false;
    int m_coolerPower = 0;  // percent
    Slider m_target;        // degrees C
    bool m_coolerOn = false;
    Slider m_fanPower;      // percent
    Slider m_heaterPower;   // percent
};

}  // namespace vyx
