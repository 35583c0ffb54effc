#pragma once
// Which of its two dialogs and titles a page is built with.
#include <windows.h>

#include <new>

#include "CUnknown.h"

namespace vyx {

// Chinese exactly for the user default language Chinese (PRC), 0x0804; English otherwise,
// Chinese (Taiwan) 0x0404 included.
bool UsesChinesePages();

// A page's dialog and title, in English and in Chinese.
struct PageResourceIds {
    int dialogEn;
    int dialogZh;
    int titleEn;
    int titleZh;
};

// The class factory's creation of a page, with the dialog and title of the user's language;
// E_OUTOFMEMORY in `result`, and no page, when it cannot be allocated.
template <typename Page>
CUnknown* CreateLocalizedPage(LPUNKNOWN outer, HRESULT* result, const PageResourceIds& ids) {
    const bool chinese = UsesChinesePages();
    auto* page =
        new (std::nothrow) Page(outer, chinese ? ids.dialogZh : ids.dialogEn, chinese ? ids.titleZh : ids.titleEn);
    if (!page && result) *result = E_OUTOFMEMORY;
    return page;
}

}  // namespace vyx
