#include "ST4TestPage.h"

#include "PageControls.h"
#include "PageLanguage.h"
#include "PageResources.h"

namespace vyx {
namespace {
constexpr UINT kInitialPulseMs = 500;
constexpr int kTestPulseMs = 250;
constexpr DWORD kTestSpacingMs = 250;
}  // namespace

CUnknown* WINAPI ST4TestPage::CreateInstance(LPUNKNOWN outer, HRESULT* result) {
    return CreateLocalizedPage<ST4TestPage>(outer, result,
                                            {IDD_ST4_TEST_EN, IDD_ST4_TEST_ZH, IDS_ST4_TEST_EN, IDS_ST4_TEST_ZH});
}

ST4TestPage::ST4TestPage(LPUNKNOWN outer, int dialogId, int titleId) : CCameraPropertyPage(outer, dialogId, titleId) {}

void ST4TestPage::ReadCameraValues() {
    CameraProp prop{};
    m_camera->GetTheProp(&prop);
    m_hasPort = prop.hasST4Port;
}

void ST4TestPage::InitDialog(HWND hwnd) {
    SetDlgItemInt(hwnd, IDC_ST_DURATION, kInitialPulseMs, FALSE);
    ShowWindow(GetDlgItem(hwnd, IDC_ST_NO_PORT_NOTICE), m_hasPort ? SW_HIDE : SW_SHOW);
    EnableControls(hwnd,
                   {IDC_ST_NORTH, IDC_ST_SOUTH, IDC_ST_EAST, IDC_ST_WEST, IDC_ST_DURATION, IDC_ST_UNIT, IDC_ST_TEST_ALL},
                   m_hasPort);
}

// North, south, west, east, a quarter second each and a quarter second apart. It runs on
// the page's thread on purpose: the dialog takes no input until the test is over.
void ST4TestPage::TestAllDirections() {
    for (GuideDirection direction : {GUIDE_NORTH, GUIDE_SOUTH, GUIDE_WEST, GUIDE_EAST}) {
        m_camera->GuidePulse(direction, kTestPulseMs);
        Sleep(kTestSpacingMs);
    }
}

void ST4TestPage::OnCommand(HWND hwnd, WPARAM wParam) {
    // An empty or unreadable edit gives 0.
    const int duration = static_cast<int>(GetDlgItemInt(hwnd, IDC_ST_DURATION, nullptr, FALSE));
    // The whole wParam against the ids: only click notifications act.
    switch (wParam) {
    case IDC_ST_NORTH:
        m_camera->GuidePulse(GUIDE_NORTH, duration);
        break;
    case IDC_ST_SOUTH:
        m_camera->GuidePulse(GUIDE_SOUTH, duration);
        break;
    case IDC_ST_WEST:
        m_camera->GuidePulse(GUIDE_WEST, duration);
        break;
    case IDC_ST_EAST:
        m_camera->GuidePulse(GUIDE_EAST, duration);
        break;
    case IDC_ST_TEST_ALL:
        TestAllDirections();
        break;
    default:
        break;
    }
}

INT_PTR ST4TestPage::OnReceiveMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) InitDialog(hwnd);
    if (message == WM_COMMAND) OnCommand(hwnd, wParam);
    return CCameraPropertyPage::OnReceiveMessage(hwnd, message, wParam, lParam);
}

}  // namespace vyx
