#include "AboutPage.h"

#include <shellapi.h>

#include <cstdio>
#include <cstring>

#include "DllEntry.h"
#include "ModelDescriptor.h"
#include "PageLanguage.h"
#include "PageResources.h"

namespace vyx {
namespace {
constexpr char kWebSite[] = "https://www.vyx-astro.example/";
constexpr char kChineseWebSite[] = "https://cn.vyx-astro.example/";
constexpr char kChineseAboutPage[] = "https://cn.vyx-astro.example/about";
constexpr char kSocialPage[] = "https://social.vyx-astro.example/vyx";
constexpr char kSupportMail[] = "mailto:support@vyx-astro.example";

// The link behind a button, or null for any other command. The target follows the
// language of the captions, so that a button opens the site it names.
const char* LinkFor(WPARAM command, bool chinesePage) {
    switch (command) {
    case IDC_AB_WEBSITE:
        return chinesePage ? kChineseWebSite : kWebSite;
    case IDC_AB_SOCIAL:
        return chinesePage ? kChineseAboutPage : kSocialPage;
    case IDC_AB_MAIL:
        return kSupportMail;
    default:
        return nullptr;
    }
}
// "V" and the four numbers of the module's version resource, which is where the version
// is written, or an empty text without one.
void FormatVersion(char* text, size_t size) {
    text[0] = '\0';
    // RT_VERSION, spelled for the wide call whatever UNICODE says.
    const HRSRC found = FindResourceW(g_hInst, MAKEINTRESOURCEW(VS_VERSION_INFO), MAKEINTRESOURCEW(16));
    const HGLOBAL loaded = found ? LoadResource(g_hInst, found) : nullptr;
    const auto* bytes = loaded ? static_cast<const BYTE*>(LockResource(loaded)) : nullptr;
    if (!bytes) return;
    // The fixed part follows the block's header, its key and padding to a DWORD boundary.
    const DWORD length = SizeofResource(g_hInst, found);
    for (DWORD offset = 0; offset + sizeof(VS_FIXEDFILEINFO) <= length; offset += sizeof(DWORD)) {
        VS_FIXEDFILEINFO info;
        memcpy(&info, bytes + offset, sizeof info);
        if (info.dwSignature != 0xFEEF04BD) continue;
        snprintf(text, size, "V%u.%u.%u.%u", static_cast<unsigned>(HIWORD(info.dwFileVersionMS)),
                 static_cast<unsigned>(LOWORD(info.dwFileVersionMS)), static_cast<unsigned>(HIWORD(info.dwFileVersionLS)),
                 static_cast<unsigned>(LOWORD(info.dwFileVersionLS)));
        return;
    }
}
}  // namespace

CUnknown* WINAPI AboutPage::CreateInstance(LPUNKNOWN outer, HRESULT* result) {
    return CreateLocalizedPage<AboutPage>(outer, result, {IDD_ABOUT_EN, IDD_ABOUT_ZH, IDS_ABOUT_EN, IDS_ABOUT_ZH});
}

AboutPage::AboutPage(LPUNKNOWN outer, int dialogId, int titleId) : CCameraPropertyPage(outer, dialogId, titleId) {}

void AboutPage::ShowLogo(HWND hwnd) {
    m_logo.Reset(LoadImageW(g_hInst, MAKEINTRESOURCEW(IDB_LOGO), IMAGE_BITMAP, 0, 0, LR_DEFAULTCOLOR));
    SendDlgItemMessageW(hwnd, IDC_AB_LOGO, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(m_logo.Get()));
}

void AboutPage::FreeLogo(HWND hwnd) {
    // A static control may show a copy of what it was given; that copy is ours too.
    const auto shown =
        reinterpret_cast<HGDIOBJ>(SendDlgItemMessageW(hwnd, IDC_AB_LOGO, STM_SETIMAGE, IMAGE_BITMAP, 0));
    const vyx::win::UniqueGdiObject copy(shown != m_logo.Get() ? shown : nullptr);
    m_logo.Reset();
}

HRESULT AboutPage::OnActivate() {
    ShowLogo(m_hwnd);
    char version[64];
    FormatVersion(version, sizeof version);
    SetDlgItemTextA(m_hwnd, IDC_AB_VERSION, version);
    CameraProp prop{};
    m_camera->GetTheProp(&prop);
    prop.extraInfo[sizeof prop.extraInfo - 1] = '\0';  // the camera's text may fill its field
    // A longer model text is cut at 63 characters.
    char model[64];
    snprintf(model, sizeof model, "%s (%s)", g_ModelDescriptor.displayName, prop.extraInfo);
    SetDlgItemTextA(m_hwnd, IDC_AB_MODEL, model);
    return CCameraPropertyPage::OnActivate();
}

INT_PTR AboutPage::OnReceiveMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    // The whole wParam against the ids: only click notifications open a link. What opens
    // is the user's default program's business; a missing one simply opens nothing.
    if (message == WM_COMMAND) {
        if (const char* link = LinkFor(wParam, m_DialogId == IDD_ABOUT_ZH)) ShellExecuteA(hwnd, "open", link, nullptr, nullptr, SW_SHOW);
    }
    if (message == WM_DESTROY) FreeLogo(hwnd);
    return CCameraPropertyPage::OnReceiveMessage(hwnd, message, wParam, lParam);
}

}  // namespace vyx
