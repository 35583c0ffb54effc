#pragma once
// What every page of the filter shares: the connection to the filter or the pin through
// ICameraInstance, the camera library object taken from it, the activated flag and the
// marking of the page as changed on every command while activated.
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

protected:
    // Reads the page's own values from the camera at connect.
    virtual void ReadCameraValues() {}
    // Dirty marking after a command, when the page is activated.
    void MarkChangedIfActive();

    Microsoft::WRL::ComPtr<ICameraInstance> m_instance;
    VyxonCamera* m_camera = nullptr;
    bool m_activated = false;
};

}  // namespace vyx
