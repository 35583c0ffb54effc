#pragma once
// The filter's sixth page: flips, hardware binning, summing binned pixels, the image-quality
// mode of guiding cameras and the frame-rate limit (0: none). Every change goes to the
// camera at once; Apply adds nothing.
#include "CCameraPropertyPage.h"
#include "PageControls.h"

namespace vyx {

class OthersPage : public CCameraPropertyPage {
public:
    static CUnknown* WINAPI CreateInstance(LPUNKNOWN outer, HRESULT* result);
    OthersPage(LPUNKNOWN outer, int dialogId, int titleId);

    HRESULT OnActivate() override;
    INT_PTR OnReceiveMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    void ReadCameraValues() override;
    void InitDialog(HWND hwnd);
    void OnCommand(HWND hwnd, int id);

    bool m_highQuality = false;
    bool m_flipHorizontal = false;
    bool m_flipVertical = false;
    bool m_hardwareBin = false;
    bool m_canHardwareBin = false;
    bool m_binSum = false;
    Slider m_frameRateLimit;  // frames per second, 0: no limit
};

}  // namespace vyx
