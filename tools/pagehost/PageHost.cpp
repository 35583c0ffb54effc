#include "PageHost.h"

#include <commctrl.h>

#include <vector>

namespace vyx::pagehost {

// The frame side of the page: counts status changes, offers nothing else.
class PageSite : public IPropertyPageSite {
public:
    STDMETHODIMP QueryInterface(REFIID riid, void** object) override {
        if (!object) return E_POINTER;
        if (riid == IID_IUnknown || riid == IID_IPropertyPageSite) {
            *object = static_cast<IPropertyPageSite*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&m_references)); }
    STDMETHODIMP_(ULONG) Release() override {
        const LONG count = InterlockedDecrement(&m_references);
        if (count == 0) delete this;
        return static_cast<ULONG>(count);
    }
    STDMETHODIMP OnStatusChange(DWORD flags) override {
        if (flags & PROPPAGESTATUS_DIRTY) ++m_statusChanges;
        return S_OK;
    }
    STDMETHODIMP GetLocaleID(LCID* locale) override {
        if (!locale) return E_POINTER;
        *locale = GetUserDefaultLCID();
        return S_OK;
    }
    STDMETHODIMP GetPageContainer(IUnknown** container) override {
        if (container) *container = nullptr;
        return E_NOTIMPL;
    }
    STDMETHODIMP TranslateAccelerator(MSG*) override { return S_FALSE; }

    int StatusChanges() const { return m_statusChanges; }

private:
    virtual ~PageSite() = default;
    volatile LONG m_references = 1;
    int m_statusChanges = 0;
};

namespace {
const wchar_t kWindowClass[] = L"VyxPageHostWindow";

void RegisterWindowClass() {
    static const bool registered = [] {
        INITCOMMONCONTROLSEX controls{sizeof controls, ICC_BAR_CLASSES | ICC_UPDOWN_CLASS | ICC_STANDARD_CLASSES};
        InitCommonControlsEx(&controls);
        WNDCLASSEXW window{};
        window.cbSize = sizeof window;
        window.lpfnWndProc = DefWindowProcW;
        window.hInstance = GetModuleHandleW(nullptr);
        window.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
        window.lpszClassName = kWindowClass;
        window.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));
        return RegisterClassExW(&window) != 0;
    }();
    (void)registered;
}
}  // namespace

HRESULT PageHost::Create(REFCLSID page, IUnknown* object, std::unique_ptr<PageHost>* host) {
    if (!host) return E_POINTER;
    Microsoft::WRL::ComPtr<IPropertyPage> created;
    HRESULT hr = CoCreateInstance(page, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&created));
    if (FAILED(hr)) return hr;
    Microsoft::WRL::ComPtr<PageSite> site;
    *site.GetAddressOf() = new PageSite;  // adopts the first reference; ComPtr::Attach would add one
    hr = created->SetPageSite(site.Get());
    if (FAILED(hr)) return hr;
    hr = created->SetObjects(1, &object);
    if (FAILED(hr)) {
        created->SetPageSite(nullptr);
        return hr;
    }
    host->reset(new PageHost(std::move(created), std::move(site)));
    return S_OK;
}

PageHost::PageHost(Microsoft::WRL::ComPtr<IPropertyPage> page, Microsoft::WRL::ComPtr<PageSite> site)
    : m_page(std::move(page)), m_site(std::move(site)) {}

PageHost::~PageHost() {
    if (m_active) m_page->Deactivate();
    m_page->SetObjects(0, nullptr);
    m_page->SetPageSite(nullptr);
    if (m_window) DestroyWindow(m_window);
    PumpMessages();
}

int PageHost::StatusChanges() const {
    return m_site->StatusChanges();
}

HRESULT PageHost::Activate() {
    PROPPAGEINFO info{};
    info.cb = sizeof info;
    HRESULT hr = m_page->GetPageInfo(&info);
    if (FAILED(hr)) return hr;
    CoTaskMemFree(info.pszTitle);
    if (!m_window) {
        RegisterWindowClass();
        RECT frame{0, 0, info.size.cx, info.size.cy};
        AdjustWindowRectEx(&frame, WS_OVERLAPPEDWINDOW, FALSE, 0);
        m_window = CreateWindowExW(0, kWindowClass, L"Page", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, 40, 40,
                                   frame.right - frame.left, frame.bottom - frame.top, nullptr, nullptr,
                                   GetModuleHandleW(nullptr), nullptr);
        if (!m_window) return HRESULT_FROM_WIN32(GetLastError());
        // Unshown: under Wine without a window manager, destroying a shown top-level window
        // waits two seconds for it to be withdrawn. The page inside is shown all the same.
    }
    const RECT place{0, 0, info.size.cx, info.size.cy};
    hr = m_page->Activate(m_window, &place, FALSE);
    m_active = SUCCEEDED(hr);
    PumpMessages();
    return hr;
}

HRESULT PageHost::Deactivate() {
    const HRESULT hr = m_page->Deactivate();
    m_active = false;
    PumpMessages();
    return hr;
}

void PageHost::Show() const {
    ShowWindow(m_window, SW_SHOW);
    UpdateWindow(m_window);
    RedrawWindow(m_window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN | RDW_ERASE);
    PumpMessages();
}

HWND PageHost::Dialog() const {
    return m_window ? GetWindow(m_window, GW_CHILD) : nullptr;
}

void PageHost::Click(int id) const {
    SendMessageW(Control(id), BM_CLICK, 0, 0);
    PumpMessages();
}

void PageHost::Scroll(int id, int position, int request) const {
    HWND trackbar = Control(id);
    SendMessageW(trackbar, TBM_SETPOS, TRUE, position);
    SendMessageW(Dialog(), WM_HSCROLL, MAKEWPARAM(request, position), reinterpret_cast<LPARAM>(trackbar));
    PumpMessages();
}

void PageHost::Spin(int id, int delta) const {
    NMUPDOWN change{};
    change.hdr.hwndFrom = Control(id);
    change.hdr.idFrom = static_cast<UINT_PTR>(id);
    change.hdr.code = UDN_DELTAPOS;
    change.iDelta = delta;
    SendMessageW(Dialog(), WM_NOTIFY, static_cast<WPARAM>(id), reinterpret_cast<LPARAM>(&change));
    PumpMessages();
}

void PageHost::SpinNotification(int id, UINT code, int strayDelta) const {
    NMUPDOWN notification{};
    notification.hdr.hwndFrom = Control(id);
    notification.hdr.idFrom = static_cast<UINT_PTR>(id);
    notification.hdr.code = code;
    notification.iDelta = strayDelta;
    SendMessageW(Dialog(), WM_NOTIFY, static_cast<WPARAM>(id), reinterpret_cast<LPARAM>(&notification));
    PumpMessages();
}

void PageHost::Key(int id, UINT virtualKey) const {
    const HWND control = Control(id);
    SetFocus(control);
    const UINT scanCode = MapVirtualKeyW(virtualKey, MAPVK_VK_TO_VSC);
    SendMessageW(control, WM_KEYDOWN, virtualKey, 1 | (scanCode << 16));
    SendMessageW(control, WM_KEYUP, virtualKey, 1 | (scanCode << 16) | 0xC0000000u);
    PumpMessages();
}

void PageHost::Select(int id, int index) const {
    HWND combo = Control(id);
    SendMessageW(combo, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
    SendMessageW(Dialog(), WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE), reinterpret_cast<LPARAM>(combo));
    PumpMessages();
}

void PageHost::Tick(UINT_PTR id) const {
    SendMessageW(Dialog(), WM_TIMER, id, 0);
}

void PageHost::PumpMessages() const {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        // Real ticks would race the test's own; tests send WM_TIMER themselves.
        if (message.message == WM_TIMER) continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

std::wstring PageHost::Text(int id) const {
    wchar_t text[256] = {};
    GetDlgItemTextW(Dialog(), id, text, 256);
    return text;
}

bool PageHost::Checked(int id) const {
    return IsDlgButtonChecked(Dialog(), id) == BST_CHECKED;
}

int PageHost::TrackbarPosition(int id) const {
    return static_cast<int>(SendMessageW(Control(id), TBM_GETPOS, 0, 0));
}

int PageHost::TrackbarMin(int id) const {
    return static_cast<int>(SendMessageW(Control(id), TBM_GETRANGEMIN, 0, 0));
}

int PageHost::TrackbarMax(int id) const {
    return static_cast<int>(SendMessageW(Control(id), TBM_GETRANGEMAX, 0, 0));
}

int PageHost::Selection(int id) const {
    return static_cast<int>(SendMessageW(Control(id), CB_GETCURSEL, 0, 0));
}

int PageHost::ItemCount(int id) const {
    return static_cast<int>(SendMessageW(Control(id), CB_GETCOUNT, 0, 0));
}

std::wstring PageHost::ItemText(int id, int index) const {
    const LRESULT length = SendMessageW(Control(id), CB_GETLBTEXTLEN, static_cast<WPARAM>(index), 0);
    if (length < 0) return L"";
    std::vector<wchar_t> text(static_cast<size_t>(length) + 1);
    SendMessageW(Control(id), CB_GETLBTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text.data()));
    return text.data();
}

}  // namespace vyx::pagehost
