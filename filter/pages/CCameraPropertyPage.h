#pragma once
// What every page of the filter shares: the connection to the filter or the pin through
// ICameraInstance, the camera library object taken from it, the activated flag, the
// camera's values read again whenever the dialog is made, and the marking of the page as
// changed on the commands of a user's change while activated.
//
// Threads: the property frame's user-interface thread only. The camera object is not
// reference-counted; the ICameraInstance reference held from connect to disconnect keeps
// the filter, and with it the open camera, alive.
#include <windows.h>
#include <wrl/client.h>

#include "CBasePropertyPage.h"
#include "ICameraInstance.h"

namespace vyx {

class CCameraPropertyPage : public CBasePropertyPage {
public:
    CCameraPropertyPage(LPUNKNOWN outer, int dialogId, int titleId);

    // E_POINTER for no object, E_NOINTERFACE when it has no ICameraInstance of this build,
    // E_FAIL when it hands out a null interface or no camera; then reads the page's values.
    HRESULT OnConnect(IUnknown* object) override;
    HRESULT OnDisconnect() override;
    HRESULT OnActivate() override;
    HRESULT OnDeactivate() override;
    INT_PTR OnReceiveMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) override;
    // Reads the camera's values again before the dialog is made, so that a page shown again
    // shows (and never sends back) what the application set meanwhile.
    STDMETHODIMP Activate(HWND parent, LPCRECT place, BOOL modal) override;

protected:
    // Reads the page's own values from the camera, at connect and at every activation.
    virtual void ReadCameraValues() {}
    // Dirty marking after a WM_COMMAND that is a user's change (a click, a new selection,
    // typing into an editable edit), when the page is activated. Texts the page writes
    // into its read-only edits and focus notifications change nothing.
    void MarkChangedIfActive(WPARAM wParam, LPARAM lParam);

    Microsoft::WRL::ComPtr<ICameraInstance> m_instance;
    VyxonCamera* m_camera = nullptr;
    bool m_activated = false;
};

}  // namespace vyx
