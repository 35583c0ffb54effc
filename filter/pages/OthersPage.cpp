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

OthersPage::OthersPage(LPUNKNOWN outer, int dialogId, int titleId)
    : CCameraPropertyPage(outer, dialogId, titleId),
      m_frameRateLimit({IDC_OT_FPS, IDC_OT_FPS_TEXT, IDC_OT_FPS_SPIN}, kFrameRateSpinStep,
                       [this](int value) { m_camera->SetFrameRateLimit(value); }) {}

void OthersPage::ReadCameraValues() {
    VyxonCamera& camera = *m_camera;
    camera.GetImgHighQualityEnable(&m_highQuality);
    camera.GetImgFlip(&m_flipHorizontal, &m_flipVertical);
    camera.GetHardBinEnable(&m_hardwareBin);
    CameraProp prop{};
    camera.GetTheProp(&prop);
    m_canHardwareBin = prop.hasHardwareBin;
    camera.GetBinSumEnable(&m_binSum);
    int limit = 0;
    camera.GetFrameRateLimit(&limit);
    m_frameRateLimit.SetValue(limit);
    CameraRange range;
    camera.GetFrameRateLimitRange(&range.maximum, &range.minimum, &range.defaultValue);
    // The camera's minimum is that of a real limit; 0, no limit, must stay reachable, or
    // opening the page would clamp an unlimited camera to its slowest rate.
    m_frameRateLimit.SetScale({range.minimum > 0 ? 0 : range.minimum, range.maximum});
}

void OthersPage::InitDialog(HWND hwnd) {
    CheckDlgButton(hwnd, IDC_OT_HARDWARE_BIN, m_hardwareBin && m_canHardwareBin ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(hwnd, IDC_OT_FLIP_HORIZONTAL, m_flipHorizontal ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(hwnd, IDC_OT_FLIP_VERTICAL, m_flipVertical ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(hwnd, IDC_OT_HIGH_QUALITY, m_highQuality ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(hwnd, IDC_OT_BIN_SUM, m_binSum ? BST_CHECKED : BST_UNCHECKED);
    EnableControls(hwnd, {IDC_OT_HARDWARE_BIN}, m_canHardwareBin);
}

HRESULT OthersPage::OnActivate() {
    CCameraPropertyPage::OnActivate();
    m_frameRateLimit.SetUp(m_hwnd);
    // Shown, not sent: the camera holds this limit already (a limit the application set
    // during negotiation included).
    m_frameRateLimit.ShowText(m_hwnd);
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
    default:
        RouteToSliders(hwnd, message, wParam, lParam, {kApplyOnRelease, kApplyOnRelease}, {&m_frameRateLimit});
        break;
    }
    return CCameraPropertyPage::OnReceiveMessage(hwnd, message, wParam, lParam);
}

}  // namespace vyx
