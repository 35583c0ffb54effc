// The language a page is built in, run once per user language (the test's CTest entries set
// LANG, LC_MESSAGES and VYX_EXPECTED_LANGID): Chinese exactly for 0x0804, the About page's
// links and the ST4 page's message included.
#include <gtest/gtest.h>

#include <cstdlib>

#include "PageResources.h"
#include "PageTestSupport.h"
#include "RecordedLinks.h"

using namespace vyx::pages::test;

namespace {
bool ChineseUserLanguage() {
    const char* expected = std::getenv("VYX_EXPECTED_LANGID");
    EXPECT_NE(expected, nullptr);
    const LANGID language = GetUserDefaultLangID();
    EXPECT_EQ(language, static_cast<LANGID>(std::strtoul(expected ? expected : "0", nullptr, 16)));
    return language == 0x0804;
}
}  // namespace

TEST(PageLanguage, TitlesAndDialogsFollowTheUserLanguage) {
    ComApartment com;
    const bool chinese = ChineseUserLanguage();

    CameraFixture camera(ColorModel());
    const wchar_t* const english[8] = {L"Image Parameters", L"Camera Control", L"Auto Settings", L"Color",
                                       L"ST4 Test",         L"Temperature",    L"About",         L"Others"};
    const wchar_t* const chineseTitles[8] = {L"图像参数", L"相机控制", L"自动控制设置", L"色彩",
                                             L"ST4测试",  L"温度",     L"关于",         L"其他设置"};
    for (int slot = 0; slot < 8; ++slot) {
        auto host = camera.OpenPage(static_cast<Slot>(slot));
        ASSERT_TRUE(host);
        PROPPAGEINFO info{};
        info.cb = sizeof info;
        ASSERT_EQ(host->Page()->GetPageInfo(&info), S_OK);
        EXPECT_STREQ(info.pszTitle, chinese ? chineseTitles[slot] : english[slot]);
        CoTaskMemFree(info.pszTitle);
        // The dialog's font is the template's.
        LOGFONTW font{};
        GetObjectW(reinterpret_cast<HFONT>(SendMessageW(host->Dialog(), WM_GETFONT, 0, 0)), sizeof font, &font);
        EXPECT_STREQ(font.lfFaceName, chinese ? L"微软雅黑" : L"Microsoft YaHei UI");
    }
    // The dialog's own texts too, not only its title and font.
    auto image = camera.OpenPage(kImageParameters);
    EXPECT_EQ(image->Text(IDC_IP_SIZE_LABEL), chinese ? L"图像大小：" : L"Image Size:");
}

// The links follow the page's language, as their captions do, whatever the system's is.
TEST(PageLanguage, AboutLinksFollowThePagesLanguage) {
    ComApartment com;
    const bool chinesePages = ChineseUserLanguage();
    RecordedLinks links;
    ASSERT_TRUE(links.Ready());
    CameraFixture camera(ColorModel());
    auto about = camera.OpenPage(kAbout);
    ASSERT_TRUE(about);
    EXPECT_EQ(about->Text(IDC_AB_SOCIAL), chinesePages ? L"QQ：000000000" : L"social.vyx-astro.example/vyx");
    EXPECT_EQ(about->Text(IDC_AB_WEBSITE), chinesePages ? L"cn.vyx-astro.example" : L"www.vyx-astro.example");
    about->Click(IDC_AB_SOCIAL);
    ASSERT_EQ(links.WaitFor(1).size(), 1u);
    about->Click(IDC_AB_WEBSITE);
    const std::vector<std::string> opened = links.WaitFor(2);
    ASSERT_EQ(opened.size(), 2u);
    EXPECT_EQ(opened[0], chinesePages ? "https://cn.vyx-astro.example/about" : "https://social.vyx-astro.example/vyx");
    EXPECT_EQ(opened[1], chinesePages ? "https://cn.vyx-astro.example/" : "https://www.vyx-astro.example/");
}

TEST(PageLanguage, TheST4PageSaysWhyNothingWasSentInThePagesLanguage) {
    ComApartment com;
    const bool chinese = ChineseUserLanguage();
    CameraFixture camera(MonoModel());  // with an ST4 port
    auto page = camera.OpenPage(kST4Test);
    ASSERT_TRUE(page);
    SetDlgItemTextW(page->Dialog(), IDC_ST_DURATION, L"");
    page->Click(IDC_ST_NORTH);
    EXPECT_EQ(page->Text(IDC_ST_NO_PORT_NOTICE), chinese ? L"未发送脉冲：请输入1到60000毫秒的时长。"
                                                         : L"No pulse sent: type a duration from 1 to 60000 ms.");
}
