#pragma once
// The pin's page: frame size, bin factor, sensor mode and output colour space. Size, bin
// and format go to the pin through ICameraInstance on Apply, and only while the stream is
// stopped; the sensor mode goes to the camera as soon as it is picked.
#include "CCameraPropertyPage.h"

namespace vyx {

class ImageParaPage : public CCameraPropertyPage {
public:
    static CUnknown* WINAPI CreateInstance(LPUNKNOWN outer, HRESULT* result);
    ImageParaPage(LPUNKNOWN outer, int dialogId, int titleId);

    HRESULT OnApplyChanges() override;
    INT_PTR OnReceiveMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    void ReadCameraValues() override;
    void InitDialog(HWND hwnd);
    void CheckCurrentFormat(HWND hwnd);
    void FillSensorModes(HWND hwnd);
    void SendSelectedSensorMode(HWND hwnd);
    void FillBinList(HWND hwnd);
    void FillSizeList(HWND hwnd);
    int SelectedBin(HWND hwnd) const;
    ImageFormat SelectedFormat(HWND hwnd) const;

    int m_resolutionIndex = 0;
    bool m_color = false;
    bool m_hasSensorModes = false;
    CameraProp m_prop{};
};

}  // namespace vyx
