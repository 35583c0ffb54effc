#pragma once
// Hosts one property page the way a property frame does, in a real top-level window, and
// drives its controls with the messages a user's clicks and drags produce. Used by the page
// tests and by pageshot. Under Wine the platform's frame never calls Apply, so the host is
// what calls it.
//
// Threads: create, drive and destroy a host on one thread with a message queue (COM
// initialised); the page's dialog belongs to that thread.
#include <windows.h>
#include <ocidl.h>
#include <wrl/client.h>

#include <memory>
#include <string>

namespace vyx::pagehost {

class PageSite;

class PageHost {
public:
    // Creates the page through its registered class factory and connects it to `object`
    // (the filter or its pin). The page's result is returned; on failure no host is made.
    static HRESULT Create(REFCLSID page, IUnknown* object, std::unique_ptr<PageHost>* host);
    ~PageHost();
    PageHost(const PageHost&) = delete;
    PageHost& operator=(const PageHost&) = delete;

    IPropertyPage* Page() const { return m_page.Get(); }
    // Activates the page in the host window, sized as GetPageInfo says.
    HRESULT Activate();
    HRESULT Deactivate();
    // Shows the host window (for pictures). Closing a shown window then takes a while under
    // Wine without a window manager.
    void Show() const;
    HRESULT Apply() { return m_page->Apply(); }
    bool Dirty() const { return m_page->IsPageDirty() == S_OK; }
    // How often the page told its site it changed.
    int StatusChanges() const;

    HWND Window() const { return m_window; }
    HWND Dialog() const;
    HWND Control(int id) const { return GetDlgItem(Dialog(), id); }

    // A click on a button, checkbox or radio button.
    void Click(int id) const;
    // Moves a trackbar's thumb as the user does, then sends the scroll message with
    // `request` (TB_THUMBPOSITION, TB_PAGEUP, ...).
    void Scroll(int id, int position, int request) const;
    // The user's click on a spin's arrow: the up arrow reports delta -1.
    void Spin(int id, int delta) const;
    // Another notification of a spin, such as NM_RELEASEDCAPTURE when the mouse button is
    // released: a bare header on Windows. Here a step of `strayDelta` follows the header,
    // standing for whatever lies past it, which a page must not read.
    void SpinNotification(int id, UINT code, int strayDelta) const;
    // A key pressed and released on a control, as the keyboard delivers it to the focus.
    void Key(int id, UINT virtualKey) const;
    void Select(int id, int index) const;
    // A tick of timer `id` of the page's dialog.
    void Tick(UINT_PTR id) const;
    void PumpMessages() const;

    std::wstring Text(int id) const;
    bool Enabled(int id) const { return IsWindowEnabled(Control(id)) != FALSE; }
    bool Checked(int id) const;
    int TrackbarPosition(int id) const;
    int TrackbarMin(int id) const;
    int TrackbarMax(int id) const;
    int Selection(int id) const;
    int ItemCount(int id) const;
    std::wstring ItemText(int id, int index) const;

private:
    PageHost(Microsoft::WRL::ComPtr<IPropertyPage> page, Microsoft::WRL::ComPtr<PageSite> site);

    Microsoft::WRL::ComPtr<IPropertyPage> m_page;
    Microsoft::WRL::ComPtr<PageSite> m_site;
    HWND m_window = nullptr;
    bool m_active = false;
};

}  // namespace vyx::pagehost
