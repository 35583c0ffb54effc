// The Color page: the monochrome notice, auto white balance followed by timer 2022 and
// kept when switched off, Default under auto, red and blue sent together, and the label
// colours on the page's own drawing.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <vector>

#include "PageResources.h"
#include "PageTestSupport.h"

using namespace vyx::pages::test;

namespace {
constexpr UINT_PTR kWhiteBalanceTimer = 2022;

struct WhiteBalance {
    int red = 0, green = 0, blue = 0;
    bool automatic = false;
};

WhiteBalance Read(VyxonCamera& camera) {
    WhiteBalance value;
    camera.GetWhiteBalance(&value.red, &value.green, &value.blue, &value.automatic);
    return value;
}

// The control as it draws itself (with its parent's colours), as 0x00RRGGBB pixels.
std::vector<COLORREF> Drawing(HWND control) {
    RECT rect{};
    GetClientRect(control, &rect);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = rect.right;
    info.bmiHeader.biHeight = -rect.bottom;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ previous = SelectObject(dc, bitmap);
    SendMessageW(control, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT | PRF_ERASEBKGND);
    GdiFlush();
    const auto* pixels = static_cast<const DWORD*>(bits);
    std::vector<COLORREF> drawing(pixels, pixels + rect.right * rect.bottom);
    SelectObject(dc, previous);
    DeleteDC(dc);
    DeleteObject(bitmap);
    return drawing;
}

int Count(const std::vector<COLORREF>& drawing, int r, int g, int b) {
    int count = 0;
    for (COLORREF pixel : drawing) count += pixel == static_cast<COLORREF>((r << 16) | (g << 8) | b);
    return count;
}

bool IsShown(const PageHost& host, int id) {
    return (GetWindowLongW(host.Control(id), GWL_STYLE) & WS_VISIBLE) != 0;
}

struct ColorPage : ::testing::Test {
    ComApartment com;
    CameraFixture camera{ColorModel()};
    VyxonCamera& cam = *camera.Camera();
    int maximum = 0, minimum = 0, defRed = 0, defGreen = 0, defBlue = 0;
    void SetUp() override { cam.GetWhiteBalanceRange(&maximum, &minimum, &defRed, &defGreen, &defBlue); }
};
}  // namespace

TEST(ColorPageMono, ShowsTheNoticeWithEverythingDisabledAndNoTimer) {
    ComApartment com;
    CameraFixture camera(MonoModel());
    auto host = camera.OpenPage(kColor);
    ASSERT_TRUE(host);
    EXPECT_TRUE(IsShown(*host, IDC_CO_MONO_NOTICE));
    for (int id : {IDC_CO_AUTO, IDC_CO_RED_LABEL, IDC_CO_RED, IDC_CO_RED_TEXT, IDC_CO_BLUE_LABEL, IDC_CO_BLUE,
                   IDC_CO_BLUE_TEXT, IDC_CO_DEFAULT})
        EXPECT_FALSE(host->Enabled(id)) << id;
    EXPECT_FALSE(host->Checked(IDC_CO_AUTO));
    EXPECT_EQ(host->Text(IDC_CO_RED_TEXT), L"0");
    EXPECT_EQ(host->Text(IDC_CO_BLUE_TEXT), L"0");
    EXPECT_FALSE(KillTimer(host->Dialog(), kWhiteBalanceTimer));
}

TEST_F(ColorPage, OpensOnTheCamerasWhiteBalanceWithoutNotice) {
    cam.SetWhiteBalance(40, 50, 70, false);
    auto host = camera.OpenPage(kColor);
    ASSERT_TRUE(host);
    EXPECT_FALSE(IsShown(*host, IDC_CO_MONO_NOTICE));
    EXPECT_TRUE(host->Enabled(IDC_CO_RED));
    EXPECT_EQ(host->TrackbarMin(IDC_CO_RED), minimum);
    EXPECT_EQ(host->TrackbarMax(IDC_CO_BLUE), maximum);
    EXPECT_EQ(host->TrackbarPosition(IDC_CO_RED), 40);
    EXPECT_EQ(host->TrackbarPosition(IDC_CO_BLUE), 70);
    EXPECT_EQ(host->Text(IDC_CO_RED_TEXT), L"40");
    EXPECT_EQ(host->Text(IDC_CO_BLUE_TEXT), L"70");
    EXPECT_FALSE(KillTimer(host->Dialog(), kWhiteBalanceTimer));
}

// A balance the application set after the page connected, or while another tab was
// shown, stays in the camera and shows on the page.
TEST_F(ColorPage, ActivationShowsTheCamerasBalanceAndSendsNone) {
    cam.SetWhiteBalance(40, 50, 70, false);
    auto host = camera.OpenPage(kColor, false);
    ASSERT_TRUE(host);
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        cam.SetWhiteBalance(60 + round, 55, 35 + round, false);
        ASSERT_EQ(host->Activate(), S_OK);
        const WhiteBalance now = Read(cam);
        EXPECT_EQ(now.red, 60 + round);
        EXPECT_EQ(now.green, 55);
        EXPECT_EQ(now.blue, 35 + round);
        EXPECT_EQ(host->Text(IDC_CO_RED_TEXT), std::to_wstring(60 + round));
        EXPECT_EQ(host->TrackbarPosition(IDC_CO_BLUE), 35 + round);
        ASSERT_EQ(host->Deactivate(), S_OK);
    }
}

TEST_F(ColorPage, MovingRedSendsThePagesBlueAndTheGreenLastRead) {
    cam.SetWhiteBalance(40, 50, 70, false);
    auto host = camera.OpenPage(kColor);
    ASSERT_TRUE(host);
    cam.SetWhiteBalance(40, 60, 30, false);  // behind the page's back
    host->Scroll(IDC_CO_RED, 45, TB_THUMBTRACK);
    WhiteBalance now = Read(cam);
    EXPECT_EQ(now.red, 45);
    EXPECT_EQ(now.green, 50);
    EXPECT_EQ(now.blue, 70);
    EXPECT_EQ(host->Text(IDC_CO_RED_TEXT), L"45");
    // Released: nothing more is sent; paged: sent.
    host->Scroll(IDC_CO_BLUE, 20, TB_THUMBPOSITION);
    EXPECT_EQ(Read(cam).blue, 70);
    host->Scroll(IDC_CO_BLUE, 20, TB_PAGEDOWN);
    EXPECT_EQ(Read(cam).blue, 20);
    EXPECT_EQ(Read(cam).red, 45);
    EXPECT_EQ(host->Text(IDC_CO_BLUE_TEXT), L"20");
}

TEST_F(ColorPage, AutoFollowsTheCamerasBalanceAndSwitchedOffKeepsWhatItReached) {
    cam.SetWhiteBalance(30, 50, 30, false);
    auto host = camera.OpenPage(kColor);
    ASSERT_TRUE(host);
    host->Click(IDC_CO_AUTO);
    EXPECT_TRUE(Read(cam).automatic);
    EXPECT_FALSE(host->Enabled(IDC_CO_RED));
    EXPECT_FALSE(host->Enabled(IDC_CO_BLUE));

    // The camera balances its sky while frames are taken.
    ASSERT_TRUE(cam.StartVideoStream());
    int width = 0, height = 0;
    cam.GetImgSize(&width, &height);
    ImageFormat format = IMG_RGB24;
    cam.GetImgFormat(&format);
    const int bytes = width * height * (format == IMG_RAW16 ? 2 : format == IMG_RGB24 ? 3 : format == IMG_YUY2 ? 2 : 1);
    std::vector<unsigned char> frame(static_cast<size_t>(bytes));
    for (int i = 0; i < 40 && Read(cam).red == 30; ++i) cam.GetImageData(frame.data(), bytes, 2000);
    cam.StopVideoStream();
    const WhiteBalance reached = Read(cam);
    ASSERT_NE(reached.red, 30) << "the simulator's automatic white balance did not move";
    EXPECT_EQ(host->TrackbarPosition(IDC_CO_RED), 30);
    host->Tick(kWhiteBalanceTimer);
    EXPECT_EQ(host->TrackbarPosition(IDC_CO_RED), reached.red);
    EXPECT_EQ(host->TrackbarPosition(IDC_CO_BLUE), reached.blue);
    EXPECT_EQ(host->Text(IDC_CO_RED_TEXT), std::to_wstring(reached.red));

    host->Click(IDC_CO_AUTO);
    const WhiteBalance kept = Read(cam);
    EXPECT_FALSE(kept.automatic);
    EXPECT_EQ(kept.red, reached.red);
    EXPECT_EQ(kept.green, reached.green);
    EXPECT_EQ(kept.blue, reached.blue);
    EXPECT_TRUE(host->Enabled(IDC_CO_RED));
    EXPECT_EQ(host->Text(IDC_CO_BLUE_TEXT), std::to_wstring(reached.blue));
    EXPECT_FALSE(KillTimer(host->Dialog(), kWhiteBalanceTimer)) << "timer 2022 stopped with auto";
}

// The camera may end its automatic white balance by itself: the next tick shows it off and
// Apply and Default no longer send it on.
TEST_F(ColorPage, TheCameraEndingAutoEndsItOnThePage) {
    cam.SetWhiteBalance(20, 40, 60, true);
    auto host = camera.OpenPage(kColor);
    ASSERT_TRUE(host);
    ASSERT_TRUE(host->Checked(IDC_CO_AUTO));
    cam.SetWhiteBalance(25, 40, 65, false);
    host->Tick(kWhiteBalanceTimer);
    EXPECT_FALSE(host->Checked(IDC_CO_AUTO));
    EXPECT_TRUE(host->Enabled(IDC_CO_RED));
    EXPECT_TRUE(host->Enabled(IDC_CO_BLUE));
    EXPECT_EQ(host->Text(IDC_CO_RED_TEXT), L"25");
    EXPECT_FALSE(KillTimer(host->Dialog(), kWhiteBalanceTimer)) << "timer 2022 stopped with auto";
    host->Click(IDC_CO_DEFAULT);
    EXPECT_EQ(host->Apply(), S_OK);
    const WhiteBalance now = Read(cam);
    EXPECT_FALSE(now.automatic);
    EXPECT_EQ(now.red, defRed);
    EXPECT_EQ(now.blue, defBlue);
}

TEST_F(ColorPage, DefaultUnderAutoRestoresTheDefaultsAndLeavesAutoOn) {
    cam.SetWhiteBalance(20, 40, 60, true);
    auto host = camera.OpenPage(kColor);
    ASSERT_TRUE(host);
    EXPECT_TRUE(host->Checked(IDC_CO_AUTO));
    host->Click(IDC_CO_DEFAULT);
    EXPECT_TRUE(Read(cam).automatic);
    EXPECT_TRUE(host->Checked(IDC_CO_AUTO));
    EXPECT_EQ(host->TrackbarPosition(IDC_CO_RED), defRed);
    EXPECT_EQ(host->TrackbarPosition(IDC_CO_BLUE), defBlue);
    EXPECT_EQ(host->Text(IDC_CO_RED_TEXT), std::to_wstring(defRed));
    EXPECT_TRUE(KillTimer(host->Dialog(), kWhiteBalanceTimer)) << "timer 2022 runs while auto is on";
    // Off again, the camera keeps the defaults the page sent.
    cam.SetWhiteBalance(20, 40, 60, false);
    host->Click(IDC_CO_AUTO);
    host->Click(IDC_CO_DEFAULT);
    const WhiteBalance now = Read(cam);
    EXPECT_EQ(now.red, defRed);
    EXPECT_EQ(now.green, defGreen);
    EXPECT_EQ(now.blue, defBlue);
    EXPECT_FALSE(now.automatic);
}

TEST_F(ColorPage, DrawsRInRedAndBInBlue) {
    auto host = camera.OpenPage(kColor);
    ASSERT_TRUE(host);
    const std::vector<COLORREF> red = Drawing(host->Control(IDC_CO_RED_LABEL));
    const std::vector<COLORREF> blue = Drawing(host->Control(IDC_CO_BLUE_LABEL));
    const std::vector<COLORREF> text = Drawing(host->Control(IDC_CO_RED_TEXT));
    const COLORREF face = GetSysColor(COLOR_BTNFACE);
    const COLORREF ink = GetSysColor(COLOR_WINDOWTEXT);
    EXPECT_GT(Count(red, 250, 0, 0), 3);
    EXPECT_EQ(Count(red, 0, 0, 250), 0);
    EXPECT_GT(Count(blue, 0, 0, 250), 3);
    EXPECT_EQ(Count(blue, 250, 0, 0), 0);
    EXPECT_GT(Count(red, GetRValue(face), GetGValue(face), GetBValue(face)), static_cast<int>(red.size()) / 2);
    // Every other static keeps the system's text colour.
    EXPECT_GT(Count(text, GetRValue(ink), GetGValue(ink), GetBValue(ink)), 3);
    EXPECT_EQ(Count(text, 250, 0, 0), 0);
}
