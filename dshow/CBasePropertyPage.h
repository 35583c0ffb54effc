#pragma once
// A property page whose dialog comes from the module's resources (g_hInst). A page derives
// from it and overrides the six hooks; the property frame drives it through IPropertyPage.
// Knows nothing of what the page edits.
//
// Order of events: SetObjects(1, ...) calls OnConnect; Activate creates the dialog (its
// WM_INITDIALOG reaches OnReceiveMessage first), then calls OnActivate and shows the page;
// Apply calls OnApplyChanges only while the page is dirty; Deactivate calls OnDeactivate
// and destroys the dialog (which ends its timers); SetObjects(0, ...) calls OnDisconnect.
//
// Threads: everything runs on the property frame's user-interface thread; no locks.
#include <windows.h>
#include <ocidl.h>

#include "CUnknown.h"

class CBasePropertyPage : public IPropertyPage, public CUnknown {
public:
    CBasePropertyPage(LPCTSTR pName, LPUNKNOWN pUnk, int DialogId, int TitleId);
    ~CBasePropertyPage() override;

    DECLARE_IUNKNOWN
    STDMETHODIMP NonDelegatingQueryInterface(REFIID riid, void** ppv) override;

    // The hooks, in the order of their virtual slots.
    virtual HRESULT OnConnect(IUnknown* pUnknown);
    virtual HRESULT OnDisconnect();
    virtual HRESULT OnActivate();
    virtual HRESULT OnDeactivate();
    virtual HRESULT OnApplyChanges();
    virtual INT_PTR OnReceiveMessage(HWND hwnd, UINT uMsg, WPARAM wParam, LPARAM lParam);

    // IPropertyPage
    STDMETHODIMP SetPageSite(IPropertyPageSite* pPageSite) override;
    STDMETHODIMP Activate(HWND hwndParent, LPCRECT prect, BOOL fModal) override;
    STDMETHODIMP Deactivate() override;
    STDMETHODIMP GetPageInfo(PROPPAGEINFO* pPageInfo) override;
    STDMETHODIMP SetObjects(ULONG cObjects, IUnknown** ppUnk) override;
    STDMETHODIMP Show(UINT nCmdShow) override;
    STDMETHODIMP Move(LPCRECT prect) override;
    STDMETHODIMP IsPageDirty() override;
    STDMETHODIMP Apply() override;
    STDMETHODIMP Help(LPCOLESTR pszHelpDir) override;
    STDMETHODIMP TranslateAccelerator(MSG* pMsg) override;

protected:
    // Marks the page changed and tells the site, which enables the frame's Apply button.
    void SetDirty();

    HWND m_hwnd = nullptr;                      // the page's dialog while activated
    HWND m_Dlg = nullptr;                       // the frame's window the dialog lives in
    IPropertyPageSite* m_pPageSite = nullptr;   // counted reference from SetPageSite
    BOOL m_bDirty = FALSE;
    BOOL m_bObjectSet = FALSE;                  // an object was connected successfully
    const int m_TitleId;
    const int m_DialogId;

private:
    static INT_PTR CALLBACK DialogProc(HWND hwnd, UINT uMsg, WPARAM wParam, LPARAM lParam);
};
