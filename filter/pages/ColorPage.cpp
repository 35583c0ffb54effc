#include "ColorPage.h"

#include <commctrl.h>

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

// Red and blue always go together, each as its trackbar stands, with green as last read.
ColorPage::ColorPage(LPUNKNOWN outer, int dialogId, int titleId)
    : CCameraPropertyPage(outer, dialogId, titleId),
      m_red({IDC_CO_RED, IDC_CO_RED_TEXT, 0}, 1, [this](int) { ApplyWhiteBalance(m_hwnd); },
            [this] { return m_color && !m_auto; }),
      m_blue({IDC_CO_BLUE, IDC_CO_BLUE_TEXT, 0}, 1, [this](int) { ApplyWhiteBalance(m_hwnd); },
             [this] { return m_color && !m_auto; }) {}

void ColorPage::ReadCameraValues() {
    CameraProp prop{};
    m_camera->GetTheProp(&prop);
    m_color = prop.isColorCamera;
    int red = 0, blue = 0;
    m_green = 0;
    m_auto = false;
    m_maximum = m_minimum = m_defaultRed = m_defaultGreen = m_defaultBlue = 0;
    if (m_color) {
        m_camera->GetWhiteBalance(&red, &m_green, &blue, &m_auto);
        m_camera->GetWhiteBalanceRange(&m_maximum, &m_minimum, &m_defaultRed, &m_defaultGreen, &m_defaultBlue);
    }
    for (Slider* slider : {&m_red, &m_blue}) slider->SetScale({m_minimum, m_maximum});
    m_red.SetValue(red);
    m_blue.SetValue(blue);
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
    for (const Slider* slider : {&m_red, &m_blue}) slider->ShowEnabled(hwnd);
    if (m_auto)
        SetTimer(hwnd, kWhiteBalanceTimer, kWhiteBalancePeriodMs, nullptr);
    else
        KillTimer(hwnd, kWhiteBalanceTimer);
}

bool ColorPage::ShowCameraWhiteBalance(HWND hwnd) {
    int red = 0, blue = 0;
    bool cameraAuto = false;
    m_camera->GetWhiteBalance(&red, &m_green, &blue, &cameraAuto);
    m_red.SetValue(red);
    m_blue.SetValue(blue);
    for (const Slider* slider : {&m_red, &m_blue}) slider->Show(hwnd);
    return cameraAuto;
}

void ColorPage::SendWhiteBalance() {
    m_camera->SetWhiteBalance(m_red.Value(), m_green, m_blue.Value(), m_auto);
}

void ColorPage::ApplyWhiteBalance(HWND hwnd) {
    for (Slider* slider : {&m_red, &m_blue}) slider->Read(hwnd);
    SendWhiteBalance();
    for (const Slider* slider : {&m_red, &m_blue}) slider->ShowText(hwnd);
}

HRESULT ColorPage::OnActivate() {
    CCameraPropertyPage::OnActivate();
    HWND hwnd = m_hwnd;
    for (const Slider* slider : {&m_red, &m_blue}) slider->SetUp(hwnd);
    ShowAuto(hwnd);
    // Shown, not sent: the camera holds these values already.
    for (const Slider* slider : {&m_red, &m_blue}) slider->ShowText(hwnd);
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
        SendWhiteBalance();
        break;
    case IDC_CO_DEFAULT:
        m_red.SetValue(m_defaultRed);
        m_green = m_defaultGreen;
        m_blue.SetValue(m_defaultBlue);
        SendWhiteBalance();
        for (const Slider* slider : {&m_red, &m_blue}) slider->Show(hwnd);
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
    case WM_CTLCOLORSTATIC:
        return LabelColors(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
    default:
        RouteToSliders(hwnd, message, wParam, lParam, {kApplyWhileDragged, kApplyWhileDragged}, {&m_red, &m_blue});
        break;
    }
    return CCameraPropertyPage::OnReceiveMessage(hwnd, message, wParam, lParam);
}

}  // namespace vyx
