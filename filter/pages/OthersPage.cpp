#include "OthersPage.h"

#include <commctrl.h>

#include "PageControls.h"
#include "PageLanguage.h"
#include "PageResources.h"

namespace vyx {
namespace {
constexpr int kFrameRateSpinStep = 5;  // frames per second per spin click
}  // namespace

CUnknown* WINAPI OthersPage::CreateInstance(LPUNKNOWN outer, HRESULT* result) {
    return CreateLocalizedPage<OthersPage>(outer, result,
                                           {IDD_OTHERS_EN, IDD_OTHERS_ZH, IDS_OTHERS_EN, IDS_OTHERS_ZH});
}

OthersPage::OthersPage(LPUNKNOWN outer, int dialogId, int titleId) : CCameraPropertyPage(outer, dialogId, titleId) {}

void OthersPage::ReadCameraValues() {
    VyxonCamera& camera = *m_camera;
    camera.GetImgHighQualityEnable(&m_highQuality);
    camera.GetImgFlip(&m_flipHorizontal, &m_flipVertical);
    camera.GetHardBinEnable(&m_hardwareBin);
    CameraProp prop{};
    camera.GetTheProp(&prop);
    m_canHardwareBin = prop.hasHardwareBin;
    camera.GetBinSumEnable(&m_binSum);
    camera.GetFrameRateLimit(&m_frameRateLimit);
    camera.GetFrameRateLimitRange(&m_frameRateMaximum, &m_frameRateMinimum, &m_frameRateDefault);
    // The camera's minimum is that of a real limit; 0, no limit, must stay reachable, or
    // opening the page would clamp an unlimited camera to its slowest rate.
    if (m_frameRateMinimum > 0) m_frameRateMinimum = 0;
}

void OthersPage::InitDialog(HWND hwnd) {
    CheckDlgButton(hwnd, IDC_OT_HARDWARE_BIN, m_hardwareBin && m_canHardwareBin ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(hwnd, IDC_OT_FLIP_HORIZONTAL, m_flipHorizontal ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(hwnd, IDC_OT_FLIP_VERTICAL, m_flipVertical ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(hwnd, IDC_OT_HIGH_QUALITY, m_highQuality ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(hwnd, IDC_OT_BIN_SUM, m_binSum ? BST_CHECKED : BST_UNCHECKED);
    EnableControls(hwnd, {IDC_OT_HARDWARE_BIN}, m_canHardwareBin);
}

void OthersPage::ShowFrameRateLimit(HWND hwnd) {
    SetControlText(hwnd, IDC_OT_FPS_TEXT, "%d", m_frameRateLimit);
    SetTrackbarPosition(hwnd, IDC_OT_FPS, m_frameRateLimit);
}

void OthersPage::ApplyFrameRateLimit(HWND hwnd) {
    m_frameRateLimit = TrackbarPosition(hwnd, IDC_OT_FPS);
    m_camera->SetFrameRateLimit(m_frameRateLimit);
    ShowFrameRateLimit(hwnd);
}

HRESULT OthersPage::OnActivate() {
    CCameraPropertyPage::OnActivate();
    SetTrackbar(m_hwnd, IDC_OT_FPS, m_frameRateMinimum, m_frameRateMaximum, m_frameRateLimit);
    // Shown, not sent: the camera holds this limit already (a limit the application set
    // during negotiation included).
    ShowFrameRateLimit(m_hwnd);
    return S_OK;
}

void OthersPage::OnCommand(HWND hwnd, int id) {
    switch (id) {
    case IDC_OT_HARDWARE_BIN:
        // The box shows what the camera took, so a refused change leaves it as it was.
        m_camera->SetHardBinEnable(IsChecked(hwnd, IDC_OT_HARDWARE_BIN));
        m_camera->GetHardBinEnable(&m_hardwareBin);
        CheckDlgButton(hwnd, IDC_OT_HARDWARE_BIN, m_hardwareBin ? BST_CHECKED : BST_UNCHECKED);
        break;
    case IDC_OT_HIGH_QUALITY:
        m_highQuality = IsChecked(hwnd, IDC_OT_HIGH_QUALITY);
        m_camera->SetImgHighQualityEnable(m_highQuality);
        break;
    case IDC_OT_FLIP_HORIZONTAL:
    case IDC_OT_FLIP_VERTICAL:
        m_flipHorizontal = IsChecked(hwnd, IDC_OT_FLIP_HORIZONTAL);
        m_flipVertical = IsChecked(hwnd, IDC_OT_FLIP_VERTICAL);
        m_camera->SetImgFlip(m_flipHorizontal, m_flipVertical);
        break;
    case IDC_OT_BIN_SUM:
        m_binSum = IsChecked(hwnd, IDC_OT_BIN_SUM);
        m_camera->SetBinSumEnable(m_binSum);
        break;
    default:
        break;
    }
}

INT_PTR OthersPage::OnReceiveMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        InitDialog(hwnd);
        break;
    case WM_COMMAND:
        OnCommand(hwnd, LOWORD(wParam));
        break;
    case WM_NOTIFY: {
        SpinClick click;
        if (ReadSpinClick(lParam, {IDC_OT_FPS_SPIN}, &click)) {
            m_frameRateLimit = SpinStep(m_frameRateLimit, click.delta, kFrameRateSpinStep, m_frameRateMinimum,
                                        m_frameRateMaximum);
            SetTrackbarPosition(hwnd, IDC_OT_FPS, m_frameRateLimit);
            ApplyFrameRateLimit(hwnd);
        }
        break;
    }
    case WM_HSCROLL:
    case WM_VSCROLL:
        if (AppliedTrackbar(hwnd, wParam, lParam, {TB_PAGEUP, TB_PAGEDOWN, TB_THUMBPOSITION}) == IDC_OT_FPS)
            ApplyFrameRateLimit(hwnd);
        break;
    default:
        break;
    }
    return CCameraPropertyPage::OnReceiveMessage(hwnd, message, wParam, lParam);
}

}  // namespace vyx
