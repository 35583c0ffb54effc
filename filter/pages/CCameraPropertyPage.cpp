#include "CCameraPropertyPage.h"

#include "ModelDescriptor.h"

namespace vyx {

CCameraPropertyPage::CCameraPropertyPage(LPUNKNOWN outer, int dialogId, int titleId)
    : CBasePropertyPage(nullptr, outer, dialogId, titleId) {}

HRESULT CCameraPropertyPage::OnConnect(IUnknown* object) {
    if (!object) return E_POINTER;
    // Straight into the smart pointer: MinGW's ComPtr::Attach adds a reference of its own.
    const HRESULT hr = object->QueryInterface(g_ModelDescriptor.cameraInstanceIid,
                                              reinterpret_cast<void**>(m_instance.ReleaseAndGetAddressOf()));
    if (FAILED(hr)) return E_NOINTERFACE;
    if (!m_instance) return E_FAIL;
    VyxonCamera* camera = nullptr;
    if (FAILED(m_instance->GetCamera(&camera)) || !camera) {
        m_instance.Reset();
        return E_FAIL;
    }
    m_camera = camera;
    ReadCameraValues();
    m_activated = false;
    return S_OK;
}

HRESULT CCameraPropertyPage::OnDisconnect() {
    m_instance.Reset();
    m_camera = nullptr;
    return S_OK;
}

HRESULT CCameraPropertyPage::OnActivate() {
    m_activated = true;
    return S_OK;
}

HRESULT CCameraPropertyPage::OnDeactivate() {
    m_activated = false;
    return S_OK;
}

INT_PTR CCameraPropertyPage::OnReceiveMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_COMMAND) MarkChangedIfActive();
    return CBasePropertyPage::OnReceiveMessage(hwnd, message, wParam, lParam);
}

void CCameraPropertyPage::MarkChangedIfActive() {
    if (m_activated) SetDirty();
}

}  // namespace vyx
