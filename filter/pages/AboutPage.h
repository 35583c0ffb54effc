#pragma once
// The filter's last page: the library's version, the camera model, our logo, and three
// links (web site, support mail, social or contact page) opened in the user's default
// programs. The links follow the page's language, as their captions do. The version shown
// is the one of the library's version resource.
#include "CCameraPropertyPage.h"
#include "UniqueResource.h"

namespace vyx {

class AboutPage : public CCameraPropertyPage {
public:
    static CUnknown* WINAPI CreateInstance(LPUNKNOWN outer, HRESULT* result);
    AboutPage(LPUNKNOWN outer, int dialogId, int titleId);

    HRESULT OnActivate() override;
    INT_PTR OnReceiveMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    void ShowLogo(HWND hwnd);
    void FreeLogo(HWND hwnd);

    // The page loads the logo itself: a static control never frees a bitmap its template
    // names, so every opening would leave one behind. Lives while the dialog does.
    vyx::win::UniqueGdiObject m_logo;
};

}  // namespace vyx
