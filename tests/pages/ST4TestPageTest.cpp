// The ST4 port, checked on the simulator's record of guide pulses. The ST4 Test page: the
// typed duration per direction, a duration that is no number or out of the library's range,
// Test All's order and spacing on the message loop, and a camera without the port. The
// guide pulses of IAMCameraControl: direction and duration as an application sends them.
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

TEST_F(ST4Page, ADurationThatIsNoNumberSendsNothingAndSaysWhy) {
    const HWND notice = host->Control(IDC_ST_NO_PORT_NOTICE);
    SetDlgItemTextW(host->Dialog(), IDC_ST_DURATION, L"");
    host->Click(IDC_ST_WEST);
    EXPECT_TRUE(Pulses().empty());
    EXPECT_TRUE(GetWindowLongW(notice, GWL_STYLE) & WS_VISIBLE);
    EXPECT_EQ(host->Text(IDC_ST_NO_PORT_NOTICE), L"No pulse sent: type a duration from 1 to 60000 ms.");
    // Focus and edit-change notifications carry the id in their low word only.
    SendMessageW(host->Dialog(), WM_COMMAND, MAKEWPARAM(IDC_ST_NORTH, BN_SETFOCUS),
                 reinterpret_cast<LPARAM>(host->Control(IDC_ST_NORTH)));
    SetDlgItemTextW(host->Dialog(), IDC_ST_DURATION, L"300");
    EXPECT_TRUE(Pulses().empty());
    host->Click(IDC_ST_NORTH);
    const std::vector<bus::GuidePulseRecord> pulses = Pulses();
    ASSERT_EQ(pulses.size(), 1u);
    EXPECT_EQ(pulses[0].direction, GUIDE_NORTH);
    EXPECT_EQ(pulses[0].milliseconds, 300);
    EXPECT_FALSE(GetWindowLongW(notice, GWL_STYLE) & WS_VISIBLE) << "a pulse sent hides the reason";
}

// The library takes 1 ms to a minute; the edit shows what was sent. Beyond 2^31 the
// unsigned number must not turn negative on its way.
TEST_F(ST4Page, DurationsAreClampedToWhatTheLibraryTakes) {
    EXPECT_EQ(SendMessageW(host->Control(IDC_ST_DURATION), EM_GETLIMITTEXT, 0, 0), 5);
    struct Case {
        const wchar_t* typed;
        int sent;
    };
    for (const Case& c : {Case{L"99999999", 60000}, Case{L"3000000000", 60000}, Case{L"0", 1}, Case{L"60000", 60000}}) {
        SetDlgItemTextW(host->Dialog(), IDC_ST_DURATION, c.typed);
        host->Click(IDC_ST_SOUTH);
        EXPECT_EQ(host->Text(IDC_ST_DURATION), std::to_wstring(c.sent)) << c.typed;
    }
    const std::vector<bus::GuidePulseRecord> pulses = Pulses();
    ASSERT_EQ(pulses.size(), 4u);
    for (size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(pulses[i].accepted, 1) << i;
        EXPECT_EQ(pulses[i].milliseconds, i == 2 ? 1 : 60000) << i;
    }
}

// One pulse per tick of timer 2024; every click meanwhile is ignored, and the buttons act
// again once the tick after the last pulse has passed.
TEST_F(ST4Page, TestAllPulsesOnePerTickAndIgnoresClicksUntilItEnds) {
    SetDlgItemTextW(host->Dialog(), IDC_ST_DURATION, L"900");  // not used by Test All
    host->Click(IDC_ST_TEST_ALL);
    EXPECT_EQ(Pulses().size(), 1u) << "the click returns after the first pulse";
    host->Click(IDC_ST_TEST_ALL);
    host->Click(IDC_ST_NORTH);
    EXPECT_EQ(Pulses().size(), 1u);
    for (int tick = 0; tick < 3; ++tick) host->Tick(2024);
    host->Click(IDC_ST_EAST);
    std::vector<bus::GuidePulseRecord> pulses = Pulses();
    ASSERT_EQ(pulses.size(), 4u);
    const GuideDirection order[4] = {GUIDE_NORTH, GUIDE_SOUTH, GUIDE_WEST, GUIDE_EAST};
    for (size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(pulses[i].direction, order[i]) << i;
        EXPECT_EQ(pulses[i].milliseconds, 250) << i;
    }
    host->Tick(2024);
    EXPECT_FALSE(KillTimer(host->Dialog(), 2024)) << "the sequence ended its timer";
    host->Click(IDC_ST_NORTH);
    pulses = Pulses();
    ASSERT_EQ(pulses.size(), 5u);
    EXPECT_EQ(pulses[4].milliseconds, 900);
}

TEST_F(ST4Page, TestAllRunsOnTheMessageLoopAQuarterSecondApart) {
    host->Click(IDC_ST_TEST_ALL);
    const ULONGLONG start = GetTickCount64();
    std::vector<bus::GuidePulseRecord> pulses = Pulses();
    while (pulses.size() < 4 && GetTickCount64() - start < 10000) {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
        pulses = Pulses();
    }
    ASSERT_EQ(pulses.size(), 4u);
    for (size_t i = 1; i < 4; ++i) {
        const long long spacingMs = (pulses[i].timeUs - pulses[i - 1].timeUs) / 1000;
        EXPECT_GE(spacingMs, 245) << i;
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

// Applications guide through IAMCameraControl, on the filter or on its pin: Roll, Zoom, Iris
// and Focus are pulses north, south, west and east of lValue milliseconds. Durations the
// camera refuses reach it as sent too, so a guider's mistake shows in the camera's record.
TEST(ST4ThroughCameraControl, RollZoomIrisFocusPulseNorthSouthWestEastForLValueMilliseconds) {
    ComApartment com;
    CameraFixture camera(MonoModel());
    ASSERT_EQ(bus::ClearGuidePulses(camera.InstanceId()), static_cast<DWORD>(ERROR_SUCCESS));
    ComPtr<IAMCameraControl> filter, pin;
    ASSERT_EQ(camera.Filter()->QueryInterface(IID_PPV_ARGS(&filter)), S_OK);
    ASSERT_EQ(camera.Pin()->QueryInterface(IID_PPV_ARGS(&pin)), S_OK);
    struct Pulse {
        IAMCameraControl* control;
        long property;
        long milliseconds;
        int direction;
        int accepted;
    };
    const Pulse sent[] = {
        {filter.Get(), CameraControl_Roll, 500, GUIDE_NORTH, 1},
        {filter.Get(), CameraControl_Zoom, 120, GUIDE_SOUTH, 1},
        {filter.Get(), CameraControl_Iris, 75, GUIDE_WEST, 1},
        {filter.Get(), CameraControl_Focus, 1, GUIDE_EAST, 1},
        {pin.Get(), CameraControl_Focus, 60000, GUIDE_EAST, 1},
        {pin.Get(), CameraControl_Iris, 2, GUIDE_WEST, 1},
        {pin.Get(), CameraControl_Zoom, 3, GUIDE_SOUTH, 1},
        {pin.Get(), CameraControl_Roll, 4, GUIDE_NORTH, 1},
        {pin.Get(), CameraControl_Roll, 0, GUIDE_NORTH, 0},
        {filter.Get(), CameraControl_Zoom, 60001, GUIDE_SOUTH, 0},
        {filter.Get(), CameraControl_Iris, -5, GUIDE_WEST, 0},
    };
    for (const Pulse& pulse : sent)
        EXPECT_EQ(pulse.control->Set(pulse.property, pulse.milliseconds, CameraControl_Flags_Manual), S_OK);
    std::vector<bus::GuidePulseRecord> pulses;
    ASSERT_EQ(bus::ReadGuidePulses(camera.InstanceId(), &pulses), static_cast<DWORD>(ERROR_SUCCESS));
    ASSERT_EQ(pulses.size(), std::size(sent));
    for (size_t i = 0; i < pulses.size(); ++i) {
        EXPECT_EQ(pulses[i].direction, sent[i].direction) << i;
        EXPECT_EQ(pulses[i].milliseconds, sent[i].milliseconds) << i;
        EXPECT_EQ(pulses[i].accepted, sent[i].accepted) << i;
    }
}
