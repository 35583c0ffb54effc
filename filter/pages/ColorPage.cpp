#include "ColorPage.h"

#include <commctrl.h>

#include "PageControls.h"
#include "PageLanguage.h"
#include "PageResources.h"

namespace vyx {
namespace {
constexpr UINT_PTR kWhiteBalanceTimer = 2022;
constexpr UINT kWhiteBalancePeriodMs = 500;
constexpr COLORREF kRedLabel = RGB(250, 0, 0);
constexpr COLORREF kBlueLabel = RGB(0, 0, 250);
}  // namespace

CUnknown* WINAPI ColorPage::CreateInstance(LPUNKNOWN outer, HRESULT* result) {
    return CreateLocalizedPage<ColorPage>(outer, result, {IDD_COLOR_EN, IDD_COLOR_ZH, IDS_COLOR_EN, IDS_COLOR_ZH});
}

ColorPage::ColorPage(LPUNKNOWN outer, int dialogId, int titleId) : CCameraPropertyPage(outer, dialogId, titleId) {}

void ColorPage::ReadCameraValues() {
    CameraProp prop{};
    m_camera->GetTheProp(&prop);
    m_color = prop.isColorCamera;
    m_red = m_green = m_blue = 0;
    m_auto = false;
    m_maximum = m_minimum = m_defaultRed = m_defaultGreen = m_defaultBlue = 0;
    if (!m_color) return;
    m_camera->GetWhiteBalance(&m_red, &m_green, &m_blue, &m_auto);
    m_camera->GetWhiteBalanceRange(&m_maximum, &m_minimum, &m_defaultRed, &m_defaultGreen, &m_defaultBlue);
}

void ColorPage::InitDialog(HWND hwnd) {
    ShowWindow(GetDlgItem(hwnd, IDC_CO_MONO_NOTICE), m_color ? SW_HIDE : SW_SHOW);
    EnableControls(hwnd,
                   {IDC_CO_AUTO, IDC_CO_RED_LABEL, IDC_CO_RED, IDC_CO_RED_TEXT, IDC_CO_BLUE_LABEL, IDC_CO_BLUE,
                    IDC_CO_BLUE_TEXT, IDC_CO_DEFAULT},
                   m_color);
}

void ColorPage::ShowAuto(HWND hwnd) {
    CheckDlgButton(hwnd, IDC_CO_AUTO, m_auto ? BST_CHECKED : BST_UNCHECKED);
    // A monochrome camera keeps its trackbars disabled whatever the auto state.
    EnableControls(hwnd, {IDC_CO_RED, IDC_CO_BLUE}, m_color && !m_auto);
    if (m_auto)
        SetTimer(hwnd, kWhiteBalanceTimer, kWhiteBalancePeriodMs, nullptr);
    else
        KillTimer(hwnd, kWhiteBalanceTimer);
}

bool ColorPage::ShowCameraWhiteBalance(HWND hwnd) {
    bool cameraAuto = false;
    m_camera->GetWhiteBalance(&m_red, &m_green, &m_blue, &cameraAuto);
    SetTrackbarPosition(hwnd, IDC_CO_RED, m_red);
    SetTrackbarPosition(hwnd, IDC_CO_BLUE, m_blue);
    ShowWhiteBalance(hwnd);
    return cameraAuto;
}

void ColorPage::ShowWhiteBalance(HWND hwnd) {
    SetControlText(hwnd, IDC_CO_RED_TEXT, "%d", m_red);
    SetControlText(hwnd, IDC_CO_BLUE_TEXT, "%d", m_blue);
}

// Red and blue always go together, with green as last read.
void ColorPage::ApplyWhiteBalance(HWND hwnd) {
    m_red = TrackbarPosition(hwnd, IDC_CO_RED);
    m_blue = TrackbarPosition(hwnd, IDC_CO_BLUE);
    m_camera->SetWhiteBalance(m_red, m_green, m_blue, m_auto);
    ShowWhiteBalance(hwnd);
}

HRESULT ColorPage::OnActivate() {
    CCameraPropertyPage::OnActivate();
    HWND hwnd = m_hwnd;
    SetTrackbar(hwnd, IDC_CO_RED, m_minimum, m_maximum, m_red);
    SetTrackbar(hwnd, IDC_CO_BLUE, m_minimum, m_maximum, m_blue);
    ShowAuto(hwnd);
    // Shown, not sent: the camera holds these values already.
    ShowWhiteBalance(hwnd);
    return S_OK;
}

HRESULT ColorPage::OnApplyChanges() {
    // The values live in the dialog's trackbars; without a dialog there is nothing to send.
    if (m_hwnd) ApplyWhiteBalance(m_hwnd);
    return S_OK;
}

void ColorPage::OnCommand(HWND hwnd, int id) {
    switch (id) {
    case IDC_CO_AUTO:
        m_auto = IsChecked(hwnd, IDC_CO_AUTO);
        // Switched off, the page keeps what the automatic control reached.
        if (!m_auto) ShowCameraWhiteBalance(hwnd);
        ShowAuto(hwnd);
        m_camera->SetWhiteBalance(m_red, m_green, m_blue, m_auto);
        break;
    case IDC_CO_DEFAULT:
        m_red = m_defaultRed;
        m_green = m_defaultGreen;
        m_blue = m_defaultBlue;
        m_camera->SetWhiteBalance(m_red, m_green, m_blue, m_auto);
        SetTrackbarPosition(hwnd, IDC_CO_RED, m_red);
        SetTrackbarPosition(hwnd, IDC_CO_BLUE, m_blue);
        ApplyWhiteBalance(hwnd);
        break;
    default:
        break;
    }
}

// The camera may end its automatic white balance by itself: the page then follows, so that
// it neither shows auto on nor sends it again with Apply or Default.
void ColorPage::OnTimer(HWND hwnd) {
    const bool cameraAuto = ShowCameraWhiteBalance(hwnd);
    if (cameraAuto == m_auto) return;
    m_auto = cameraAuto;
    ShowAuto(hwnd);
}

INT_PTR ColorPage::LabelColors(HDC dc, HWND control) {
    const int id = GetDlgCtrlID(control);
    const COLORREF text = id == IDC_CO_RED_LABEL    ? kRedLabel
                          : id == IDC_CO_BLUE_LABEL ? kBlueLabel
                                                    : GetSysColor(COLOR_WINDOWTEXT);
    SetTextColor(dc, text);
    SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
    // A system brush: nothing to free.
    return reinterpret_cast<INT_PTR>(GetSysColorBrush(COLOR_BTNFACE));
}

INT_PTR ColorPage::OnReceiveMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        InitDialog(hwnd);
        break;
    case WM_COMMAND:
        OnCommand(hwnd, LOWORD(wParam));
        break;
    case WM_TIMER:
        OnTimer(hwnd);
        break;
    case WM_HSCROLL:
    case WM_VSCROLL: {
        const int id = AppliedTrackbar(hwnd, wParam, lParam, {TB_PAGEUP, TB_PAGEDOWN, TB_THUMBTRACK});
        if (id == IDC_CO_RED || id == IDC_CO_BLUE) ApplyWhiteBalance(hwnd);
        break;
    }
    case WM_CTLCOLORSTATIC:
        return LabelColors(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
    default:
        break;
    }
    return CCameraPropertyPage::OnReceiveMessage(hwnd, message, wParam, lParam);
}

}  // namespace vyx
