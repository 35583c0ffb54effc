#include "CBasePropertyPage.h"

#include <cwchar>

#include "DllEntry.h"

namespace {
INT_PTR CALLBACK MeasureProc(HWND, UINT, WPARAM, LPARAM) {
    return FALSE;
}

// The page's size in pixels: its template laid out in its own font, never shown.
HRESULT MeasureDialog(int dialogId, SIZE* size) {
    HWND dialog = CreateDialogParamW(g_hInst, MAKEINTRESOURCEW(dialogId), GetDesktopWindow(), MeasureProc, 0);
    if (!dialog) return HRESULT_FROM_WIN32(GetLastError());
    RECT rect{};
    GetWindowRect(dialog, &rect);
    DestroyWindow(dialog);
    size->cx = rect.right - rect.left;
    size->cy = rect.bottom - rect.top;
    return S_OK;
}

// A task-memory copy of string resource `id`, as PROPPAGEINFO's title wants it.
HRESULT LoadTitle(int id, LPOLESTR* title) {
    const wchar_t* text = nullptr;
    const int length = LoadStringW(g_hInst, static_cast<UINT>(id), reinterpret_cast<LPWSTR>(&text), 0);
    if (length <= 0) return HRESULT_FROM_WIN32(ERROR_RESOURCE_NAME_NOT_FOUND);
    auto* copy = static_cast<LPOLESTR>(CoTaskMemAlloc((length + 1) * sizeof(wchar_t)));
    if (!copy) return E_OUTOFMEMORY;
    wmemcpy(copy, text, length);
    copy[length] = L'\0';
    *title = copy;
    return S_OK;
}
}  // namespace

CBasePropertyPage::CBasePropertyPage(LPCTSTR pName, LPUNKNOWN pUnk, int DialogId, int TitleId)
    : CUnknown(pName, pUnk), m_TitleId(TitleId), m_DialogId(DialogId) {}

CBasePropertyPage::~CBasePropertyPage() {
    if (m_hwnd) DestroyWindow(m_hwnd);
    if (m_pPageSite) m_pPageSite->Release();
}

STDMETHODIMP CBasePropertyPage::NonDelegatingQueryInterface(REFIID riid, void** ppv) {
    CheckPointer(ppv, E_POINTER);
    if (IsEqualIID(riid, IID_IPropertyPage)) return GetInterface(static_cast<IPropertyPage*>(this), ppv);
    return CUnknown::NonDelegatingQueryInterface(riid, ppv);
}

HRESULT CBasePropertyPage::OnConnect(IUnknown*) {
    return S_OK;
}

HRESULT CBasePropertyPage::OnDisconnect() {
    return S_OK;
}

HRESULT CBasePropertyPage::OnActivate() {
    return S_OK;
}

HRESULT CBasePropertyPage::OnDeactivate() {
    return S_OK;
}

HRESULT CBasePropertyPage::OnApplyChanges() {
    return S_OK;
}

INT_PTR CBasePropertyPage::OnReceiveMessage(HWND, UINT uMsg, WPARAM wParam, LPARAM lParam) {
    // Property frames clear WS_EX_CONTROLPARENT on their pages, which leaves the Tab key
    // stuck on the frame's own buttons; keep it.
    if (uMsg == WM_STYLECHANGING && wParam == static_cast<WPARAM>(GWL_EXSTYLE)) {
        reinterpret_cast<STYLESTRUCT*>(lParam)->styleNew |= WS_EX_CONTROLPARENT;
        return TRUE;
    }
    return FALSE;
}

void CBasePropertyPage::SetDirty() {
    m_bDirty = TRUE;
    if (m_pPageSite) m_pPageSite->OnStatusChange(PROPPAGESTATUS_DIRTY);
}

INT_PTR CALLBACK CBasePropertyPage::DialogProc(HWND hwnd, UINT uMsg, WPARAM wParam, LPARAM lParam) {
    if (uMsg == WM_INITDIALOG) {
        SetWindowLongPtrW(hwnd, DWLP_USER, lParam);
        // The page sees its window from its first message on.
        reinterpret_cast<CBasePropertyPage*>(lParam)->m_hwnd = hwnd;
    }
    auto* page = reinterpret_cast<CBasePropertyPage*>(GetWindowLongPtrW(hwnd, DWLP_USER));
    if (!page) return FALSE;
    return page->OnReceiveMessage(hwnd, uMsg, wParam, lParam);
}

// IPropertyPage

STDMETHODIMP CBasePropertyPage::SetPageSite(IPropertyPageSite* pPageSite) {
    if (pPageSite) {
        if (m_pPageSite) return E_UNEXPECTED;
        m_pPageSite = pPageSite;
        m_pPageSite->AddRef();
        return S_OK;
    }
    if (!m_pPageSite) return E_UNEXPECTED;
    m_pPageSite->Release();
    m_pPageSite = nullptr;
    return S_OK;
}

STDMETHODIMP CBasePropertyPage::Activate(HWND hwndParent, LPCRECT prect, BOOL) {
    CheckPointer(prect, E_POINTER);
    if (!m_bObjectSet || m_hwnd) return E_UNEXPECTED;
    HWND dialog = CreateDialogParamW(g_hInst, MAKEINTRESOURCEW(m_DialogId), hwndParent, DialogProc,
                                     reinterpret_cast<LPARAM>(this));
    if (!dialog) return HRESULT_FROM_WIN32(GetLastError());
    m_hwnd = dialog;
    m_Dlg = hwndParent;
    const HRESULT hr = OnActivate();
    if (FAILED(hr)) {
        DestroyWindow(m_hwnd);
        m_hwnd = nullptr;
        return hr;
    }
    Move(prect);
    return Show(SW_SHOWNORMAL);
}

STDMETHODIMP CBasePropertyPage::Deactivate() {
    if (!m_hwnd) return E_UNEXPECTED;
    const HRESULT hr = OnDeactivate();
    DestroyWindow(m_hwnd);
    m_hwnd = nullptr;
    return hr;
}

STDMETHODIMP CBasePropertyPage::GetPageInfo(PROPPAGEINFO* pPageInfo) {
    CheckPointer(pPageInfo, E_POINTER);
    SIZE size{};
    HRESULT hr = MeasureDialog(m_DialogId, &size);
    if (FAILED(hr)) return hr;
    LPOLESTR title = nullptr;
    hr = LoadTitle(m_TitleId, &title);
    if (FAILED(hr)) return hr;
    pPageInfo->cb = sizeof(PROPPAGEINFO);
    pPageInfo->pszTitle = title;
    pPageInfo->size = size;
    pPageInfo->pszDocString = nullptr;
    pPageInfo->pszHelpFile = nullptr;
    pPageInfo->dwHelpContext = 0;
    return S_OK;
}

STDMETHODIMP CBasePropertyPage::SetObjects(ULONG cObjects, IUnknown** ppUnk) {
    if (cObjects == 0) {
        if (!m_bObjectSet) return S_OK;
        m_bObjectSet = FALSE;
        return OnDisconnect();
    }
    if (cObjects != 1) return E_UNEXPECTED;
    CheckPointer(ppUnk, E_POINTER);
    CheckPointer(*ppUnk, E_POINTER);
    if (m_bObjectSet) {
        m_bObjectSet = FALSE;
        OnDisconnect();
    }
    const HRESULT hr = OnConnect(*ppUnk);
    m_bObjectSet = SUCCEEDED(hr);
    return hr;
}

STDMETHODIMP CBasePropertyPage::Show(UINT nCmdShow) {
    if (!m_hwnd) return E_UNEXPECTED;
    if (nCmdShow != SW_SHOW && nCmdShow != SW_SHOWNORMAL && nCmdShow != SW_HIDE) return E_INVALIDARG;
    ShowWindow(m_hwnd, static_cast<int>(nCmdShow));
    InvalidateRect(m_hwnd, nullptr, TRUE);
    return S_OK;
}

STDMETHODIMP CBasePropertyPage::Move(LPCRECT prect) {
    CheckPointer(prect, E_POINTER);
    if (!m_hwnd) return E_UNEXPECTED;
    MoveWindow(m_hwnd, prect->left, prect->top, prect->right - prect->left, prect->bottom - prect->top, TRUE);
    return S_OK;
}

STDMETHODIMP CBasePropertyPage::IsPageDirty() {
    return m_bDirty ? S_OK : S_FALSE;
}

STDMETHODIMP CBasePropertyPage::Apply() {
    if (!m_bObjectSet || !m_pPageSite) return E_UNEXPECTED;
    if (!m_bDirty) return S_OK;
    const HRESULT hr = OnApplyChanges();
    if (SUCCEEDED(hr)) m_bDirty = FALSE;
    return hr;
}

STDMETHODIMP CBasePropertyPage::Help(LPCOLESTR) {
    return E_NOTIMPL;
}

STDMETHODIMP CBasePropertyPage::TranslateAccelerator(MSG*) {
    return E_NOTIMPL;
}
