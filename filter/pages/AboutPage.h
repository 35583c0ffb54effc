#pragma once
// The filter's last page: the library's version, the camera model, our logo, and three
// links (web site, support mail, social or contact page) opened in the user's default
// programs. The links follow the system's interface language, not the page's.
#include "CCameraPropertyPage.h"

namespace vyx {

class AboutPage : public CCameraPropertyPage {
public:
    static CUnknown* WINAPI CreateInstance(LPUNKNOWN outer, HRESULT* result);
    AboutPage(LPUNKNOWN outer, int dialogId, int titleId);

    HRESULT OnActivate() override;
    INT_PTR OnReceiveMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) override;
};

}  // namespace vyx
