#pragma once
// The filter's third page: tries the camera's ST4 guide port. One button per direction
// sends a pulse of the typed duration, clamped to what the library takes; a duration that
// is not a number sends nothing and says so. Test All pulses the four directions in turn
// on a timer, and the buttons are ignored until it is over. A camera without the port
// gets a notice.
//
// Threads: the property frame's user-interface thread only.
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
    void Pulse(HWND hwnd, GuideDirection direction);
    // The typed duration clamped to the library's range, or 0 when it is not a number.
    int TypedDuration(HWND hwnd);
    void ShowNoDuration(HWND hwnd, bool show);
    void StartTestAll(HWND hwnd);
    void NextTestPulse(HWND hwnd);

    bool m_hasPort = false;
    int m_testStep = -1;  // the Test All pulse last sent, -1 while none runs
};

}  // namespace vyx
