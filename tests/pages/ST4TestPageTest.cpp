// The ST4 Test page, checked on the simulator's record of guide pulses: the typed duration
// per direction, an empty duration, Test All's order and spacing, and a camera without
// the port.
#include <gtest/gtest.h>

#include <windows.h>

#include <vector>

#include "GuidePulseLog.h"
#include "PageResources.h"
#include "PageTestSupport.h"

using namespace vyx::pages::test;
namespace bus = vyx::sim::bus;

namespace {
struct ST4Page : ::testing::Test {
    ComApartment com;
    CameraFixture camera{MonoModel()};  // with an ST4 port
    std::unique_ptr<PageHost> host;

    void SetUp() override {
        ASSERT_EQ(bus::ClearGuidePulses(camera.InstanceId()), static_cast<DWORD>(ERROR_SUCCESS));
        host = camera.OpenPage(kST4Test);
        ASSERT_TRUE(host);
    }
    std::vector<bus::GuidePulseRecord> Pulses() const {
        std::vector<bus::GuidePulseRecord> pulses;
        EXPECT_EQ(bus::ReadGuidePulses(camera.InstanceId(), &pulses), static_cast<DWORD>(ERROR_SUCCESS));
        return pulses;
    }
};
}  // namespace

TEST_F(ST4Page, StartsAt500AndEachButtonSendsItsDirectionWithTheTypedDuration) {
    EXPECT_EQ(host->Text(IDC_ST_DURATION), L"500");
    EXPECT_FALSE(GetWindowLongW(host->Control(IDC_ST_NO_PORT_NOTICE), GWL_STYLE) & WS_VISIBLE);
    EXPECT_TRUE(host->Enabled(IDC_ST_TEST_ALL));
    host->Click(IDC_ST_NORTH);
    SetDlgItemTextW(host->Dialog(), IDC_ST_DURATION, L"120");
    host->Click(IDC_ST_SOUTH);
    host->Click(IDC_ST_WEST);
    SetDlgItemTextW(host->Dialog(), IDC_ST_DURATION, L"75");
    host->Click(IDC_ST_EAST);
    const std::vector<bus::GuidePulseRecord> pulses = Pulses();
    ASSERT_EQ(pulses.size(), 4u);
    const int expected[4][2] = {{GUIDE_NORTH, 500}, {GUIDE_SOUTH, 120}, {GUIDE_WEST, 120}, {GUIDE_EAST, 75}};
    for (size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(pulses[i].direction, expected[i][0]) << i;
        EXPECT_EQ(pulses[i].milliseconds, expected[i][1]) << i;
        EXPECT_EQ(pulses[i].accepted, 1) << i;
    }
    EXPECT_TRUE(host->Dirty());
}

TEST_F(ST4Page, AnEmptyDurationSendsZeroAndOtherNotificationsSendNothing) {
    SetDlgItemTextW(host->Dialog(), IDC_ST_DURATION, L"");
    host->Click(IDC_ST_WEST);
    // Focus and edit-change notifications carry the id in their low word only.
    SendMessageW(host->Dialog(), WM_COMMAND, MAKEWPARAM(IDC_ST_NORTH, BN_SETFOCUS),
                 reinterpret_cast<LPARAM>(host->Control(IDC_ST_NORTH)));
    SetDlgItemTextW(host->Dialog(), IDC_ST_DURATION, L"300");
    const std::vector<bus::GuidePulseRecord> pulses = Pulses();
    ASSERT_EQ(pulses.size(), 1u);
    EXPECT_EQ(pulses[0].direction, GUIDE_WEST);
    EXPECT_EQ(pulses[0].milliseconds, 0);
}

TEST_F(ST4Page, TestAllPulsesNorthSouthWestEastAQuarterSecondApartAndBlocks) {
    SetDlgItemTextW(host->Dialog(), IDC_ST_DURATION, L"900");  // not used by Test All
    const ULONGLONG start = GetTickCount64();
    host->Click(IDC_ST_TEST_ALL);
    const ULONGLONG blocked = GetTickCount64() - start;
    EXPECT_GE(blocked, 990u) << "the click returns only after the whole sequence";
    const std::vector<bus::GuidePulseRecord> pulses = Pulses();
    ASSERT_EQ(pulses.size(), 4u);
    const GuideDirection order[4] = {GUIDE_NORTH, GUIDE_SOUTH, GUIDE_WEST, GUIDE_EAST};
    for (size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(pulses[i].direction, order[i]) << i;
        EXPECT_EQ(pulses[i].milliseconds, 250) << i;
        if (i == 0) continue;
        const long long spacingMs = (pulses[i].timeUs - pulses[i - 1].timeUs) / 1000;
        EXPECT_GE(spacingMs, 245) << i;
        EXPECT_LT(spacingMs, 400) << i;
    }
}

TEST(ST4PageWithoutPort, ShowsTheNoticeAndNoUsableControl) {
    ComApartment com;
    CameraFixture camera(ColorModel());  // no ST4 port
    auto host = camera.OpenPage(kST4Test);
    ASSERT_TRUE(host);
    EXPECT_TRUE(GetWindowLongW(host->Control(IDC_ST_NO_PORT_NOTICE), GWL_STYLE) & WS_VISIBLE);
    for (int id : {IDC_ST_NORTH, IDC_ST_SOUTH, IDC_ST_WEST, IDC_ST_EAST, IDC_ST_DURATION, IDC_ST_UNIT, IDC_ST_TEST_ALL})
        EXPECT_FALSE(host->Enabled(id)) << id;
}
