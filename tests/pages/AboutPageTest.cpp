// The About page: version and model texts, and its links opened through the real
// ShellExecuteA into the link recorder registered for http, https and mailto.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "PageResources.h"
#include "PageTestSupport.h"
#include "RecordedLinks.h"

using namespace vyx::pages::test;

namespace {
std::wstring Widen(const char* text) {
    return std::wstring(text, text + std::char_traits<char>::length(text));
}
}  // namespace

TEST(AboutPage, ShowsTheVersionAndTheModelWithTheCamerasText) {
    ComApartment com;
    for (const auto* row : {&ColorModel(), &MonoModel()}) {
        CameraFixture camera(*row);
        auto host = camera.OpenPage(kAbout);
        ASSERT_TRUE(host);
        EXPECT_EQ(host->Text(IDC_AB_VERSION), L"V1.13.2.0");
        CameraProp prop{};
        ASSERT_TRUE(camera.Camera()->GetTheProp(&prop));
        ASSERT_NE(prop.extraInfo[0], '\0');
        EXPECT_EQ(host->Text(IDC_AB_MODEL), Widen(row->displayName) + L" (" + Widen(prop.extraInfo) + L")");
        // The logo at its own size.
        const auto logo = reinterpret_cast<HBITMAP>(
            SendMessageW(host->Control(IDC_AB_LOGO), STM_GETIMAGE, IMAGE_BITMAP, 0));
        BITMAP bitmap{};
        ASSERT_EQ(GetObjectW(logo, sizeof bitmap, &bitmap), static_cast<int>(sizeof bitmap));
        EXPECT_EQ(bitmap.bmWidth, 64);
        EXPECT_EQ(bitmap.bmHeight, 58);
        RECT shown{};
        GetClientRect(host->Control(IDC_AB_LOGO), &shown);
        EXPECT_EQ(shown.right, 64);
        EXPECT_EQ(shown.bottom, 58);
    }
}

// The web site and social links, in each language, are page_language_test's.
TEST(AboutPage, OpensTheMailThroughTheShellAndNothingOnAFocusNotification) {
    ComApartment com;
    RecordedLinks links;
    ASSERT_TRUE(links.Ready());
    CameraFixture camera(ColorModel());
    auto host = camera.OpenPage(kAbout);
    ASSERT_TRUE(host);
    host->Click(IDC_AB_MAIL);
    const std::vector<std::string> opened = links.WaitFor(1);
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0], "mailto:support@vyx-astro.example");
    EXPECT_TRUE(host->Dirty());

    // A focus notification carries the id in its low word only: nothing opens.
    SendMessageW(host->Dialog(), WM_COMMAND, MAKEWPARAM(IDC_AB_WEBSITE, BN_SETFOCUS),
                 reinterpret_cast<LPARAM>(host->Control(IDC_AB_WEBSITE)));
    Sleep(500);
    EXPECT_EQ(links.Opened().size(), 1u);
}
