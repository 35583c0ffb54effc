#include "ST4TestPage.h"

#include "DllEntry.h"
#include "PageControls.h"
#include "PageLanguage.h"
#include "PageResources.h"

namespace vyx {
namespace {
constexpr UINT kInitialPulseMs = 500;
// The library refuses a pulse of 0 ms or of more than a minute.
constexpr int kShortestPulseMs = 1;
constexpr int kLongestPulseMs = 60000;
constexpr int kDurationDigits = 5;
constexpr int kTestPulseMs = 250;
constexpr UINT_PTR kTestAllTimer = 2024;
constexpr UINT kTestSpacingMs = 250;
constexpr GuideDirection kTestOrder[] = {GUIDE_NORTH, GUIDE_SOUTH, GUIDE_WEST, GUIDE_EAST};
constexpr int kTestSteps = sizeof kTestOrder / sizeof kTestOrder[0];
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
    m_testStep = -1;
    SendDlgItemMessageW(hwnd, IDC_ST_DURATION, EM_LIMITTEXT, kDurationDigits, 0);
    SetDlgItemInt(hwnd, IDC_ST_DURATION, kInitialPulseMs, FALSE);
    ShowWindow(GetDlgItem(hwnd, IDC_ST_NO_PORT_NOTICE), m_hasPort ? SW_HIDE : SW_SHOW);
    EnableControls(hwnd,
                   {IDC_ST_NORTH, IDC_ST_SOUTH, IDC_ST_EAST, IDC_ST_WEST, IDC_ST_DURATION, IDC_ST_UNIT, IDC_ST_TEST_ALL},
                   m_hasPort);
}

int ST4TestPage::TypedDuration(HWND hwnd) {
    BOOL number = FALSE;
    const UINT typed = GetDlgItemInt(hwnd, IDC_ST_DURATION, &number, FALSE);
    if (!number) return 0;
    // Unsigned: a large number must not turn negative before the clamp.
    const UINT limited = typed > static_cast<UINT>(kLongestPulseMs) ? kLongestPulseMs : typed;
    const int duration = Clamp(static_cast<int>(limited), kShortestPulseMs, kLongestPulseMs);
    // The edit shows what is sent.
    if (static_cast<UINT>(duration) != typed) SetDlgItemInt(hwnd, IDC_ST_DURATION, duration, FALSE);
    return duration;
}

// The port's page never shows the no-port notice, so its line tells why nothing was sent.
void ST4TestPage::ShowNoDuration(HWND hwnd, bool show) {
    if (!m_hasPort) return;
    const HWND notice = GetDlgItem(hwnd, IDC_ST_NO_PORT_NOTICE);
    if (show) {
        wchar_t text[128] = {};
        const bool chinese = m_DialogId == IDD_ST4_TEST_ZH;
        LoadStringW(g_hInst, chinese ? IDS_ST4_NO_DURATION_ZH : IDS_ST4_NO_DURATION_EN, text, 128);
        SetWindowTextW(notice, text);
    }
    ShowWindow(notice, show ? SW_SHOW : SW_HIDE);
}

void ST4TestPage::Pulse(HWND hwnd, GuideDirection direction) {
    const int duration = TypedDuration(hwnd);
    ShowNoDuration(hwnd, duration == 0);
    if (duration > 0) m_camera->GuidePulse(direction, duration);
}

// North, south, west, east, a quarter second each and a quarter second apart, one per
// tick, so that the page keeps answering meanwhile.
void ST4TestPage::StartTestAll(HWND hwnd) {
    m_testStep = 0;
    m_camera->GuidePulse(kTestOrder[0], kTestPulseMs);
    SetTimer(hwnd, kTestAllTimer, kTestSpacingMs, nullptr);
}

void ST4TestPage::NextTestPulse(HWND hwnd) {
    if (m_testStep < 0) return;
    ++m_testStep;
    if (m_testStep < kTestSteps) {
        m_camera->GuidePulse(kTestOrder[m_testStep], kTestPulseMs);
        return;
    }
    // A spacing after the last pulse too, before the buttons act again.
    KillTimer(hwnd, kTestAllTimer);
    m_testStep = -1;
}

void ST4TestPage::OnCommand(HWND hwnd, WPARAM wParam) {
    // Clicks made while Test All runs would overlap its pulses.
    if (m_testStep >= 0) return;
    // The whole wParam against the ids: only click notifications act.
    switch (wParam) {
    case IDC_ST_NORTH:
        Pulse(hwnd, GUIDE_NORTH);
        break;
    case IDC_ST_SOUTH:
        Pulse(hwnd, GUIDE_SOUTH);
        break;
    case IDC_ST_WEST:
        Pulse(hwnd, GUIDE_WEST);
        break;
    case IDC_ST_EAST:
        Pulse(hwnd, GUIDE_EAST);
        break;
    case IDC_ST_TEST_ALL:
        StartTestAll(hwnd);
        break;
    default:
        break;
    }
}

INT_PTR ST4TestPage::OnReceiveMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) InitDialog(hwnd);
    if (message == WM_COMMAND) OnCommand(hwnd, wParam);
    if (message == WM_TIMER && wParam == kTestAllTimer) NextTestPulse(hwnd);
    return CCameraPropertyPage::OnReceiveMessage(hwnd, message, wParam, lParam);
}

}  // namespace vyx
