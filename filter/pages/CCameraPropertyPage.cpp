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

STDMETHODIMP CCameraPropertyPage::Activate(HWND parent, LPCRECT place, BOOL modal) {
    if (m_camera && !m_hwnd) ReadCameraValues();
    return CBasePropertyPage::Activate(parent, place, modal);
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
    if (message == WM_COMMAND) MarkChangedIfActive(wParam, lParam);
    return CBasePropertyPage::OnReceiveMessage(hwnd, message, wParam, lParam);
}

void CCameraPropertyPage::MarkChangedIfActive(WPARAM wParam, LPARAM lParam) {
    if (!m_activated) return;
    const auto control = reinterpret_cast<HWND>(lParam);
    if (!control) return;
    wchar_t className[16] = {};
    GetClassNameW(control, className, 16);
    const int code = HIWORD(wParam);
    bool userChange = false;
    if (lstrcmpiW(className, L"Button") == 0)
        userChange = code == BN_CLICKED;
    else if (lstrcmpiW(className, L"ComboBox") == 0)
        userChange = code == CBN_SELCHANGE;
    else if (lstrcmpiW(className, L"Edit") == 0)
        userChange = code == EN_CHANGE && (GetWindowLongW(control, GWL_STYLE) & ES_READONLY) == 0;
    if (userChange) SetDirty();
}

}  // namespace vyx
