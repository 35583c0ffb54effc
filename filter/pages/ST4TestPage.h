#pragma once
// The filter's third page: tries the camera's ST4 guide port. One button per direction
// sends a pulse of the typed duration; Test All pulses the four directions in turn,
// blocking the page for about a second. A camera without the port gets a notice.
#include "CCameraPropertyPage.h"

namespace vyx {

class ST4TestPage : public CCameraPropertyPage {
public:
    static CUnknown* WINAPI CreateInstance(LPUNKNOWN outer, HRESULT* result);
    ST4TestPage(LPUNKNOWN outer, int dialogId, int titleId);

    INT_PTR OnReceiveMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    void ReadCameraValues() override;
    void InitDialog(HWND hwnd);
    void OnCommand(HWND hwnd, WPARAM wParam);
    void TestAllDirections();

    bool m_hasPort = false;
};

}  // namespace vyx
