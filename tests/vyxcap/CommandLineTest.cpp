#include <gtest/gtest.h>

#include "CommandLine.h"
#include "ToolError.h"

using namespace vyx::vyxcap;

namespace {

Command Parse(std::vector<std::wstring> args) { return ParseCommandLine(args); }

int UsageExit(std::vector<std::wstring> args) {
    try {
        ParseCommandLine(args);
    } catch (const ToolError& error) {
        EXPECT_EQ(std::string(error.what()).find('\n'), std::string::npos) << "one line";
        return error.ExitCode();
    }
    return 0;
}

}  // namespace

TEST(CommandLine, TakesEveryCommandWithItsArguments) {
    EXPECT_EQ(Parse({L"list"}).kind, CommandKind::List);
    EXPECT_EQ(Parse({L"help"}).kind, CommandKind::Help);

    const Command caps = Parse({L"caps", L"Osprey 7C"});
    EXPECT_EQ(caps.kind, CommandKind::Caps);
    EXPECT_EQ(caps.device, L"Osprey 7C");

    const Command set = Parse({L"set", L"0", L"Exposure", L"-6"});
    EXPECT_EQ(set.kind, CommandKind::Set);
    EXPECT_EQ(set.property, L"Exposure");
    EXPECT_EQ(set.value, -6);
    EXPECT_FALSE(set.autoMode.has_value());
    EXPECT_EQ(Parse({L"set", L"0", L"Gain", L"100", L"AUTO"}).autoMode, std::optional<bool>(true));
    EXPECT_EQ(Parse({L"set", L"0", L"Gain", L"100", L"manual"}).autoMode, std::optional<bool>(false));

    const Command capture = Parse({L"capture", L"Osprey 7C", L"--format", L"rgb24", L"--size", L"1920x1080",
                                   L"--fps", L"29.97", L"--frames", L"10", L"--out", L"f.png", L"--avi",
                                   L"f.avi", L"--json"});
    EXPECT_EQ(capture.kind, CommandKind::Capture);
    EXPECT_EQ(capture.capture.format, L"rgb24");
    EXPECT_EQ(capture.capture.width, 1920);
    EXPECT_EQ(capture.capture.height, 1080);
    EXPECT_DOUBLE_EQ(capture.capture.fps, 29.97);
    EXPECT_EQ(capture.capture.frames, 10);
    EXPECT_EQ(capture.capture.pngPath, L"f.png");
    EXPECT_EQ(capture.capture.aviPath, L"f.avi");
    EXPECT_TRUE(capture.capture.json);

    const Command defaults = Parse({L"capture", L"cam"});
    EXPECT_EQ(defaults.capture.frames, 30);
    EXPECT_EQ(defaults.capture.width, 0);
    EXPECT_FALSE(defaults.capture.json);
    EXPECT_EQ(Parse({L"capture", L"cam", L"--size", L"640X480"}).capture.height, 480);

    const Command recording = Parse({L"capture", L"cam", L"--ser", L"m.ser", L"--raw", L"m.raw"});
    EXPECT_EQ(recording.capture.serPath, L"m.ser");
    EXPECT_EQ(recording.capture.rawPath, L"m.raw");
    EXPECT_TRUE(recording.capture.aviPath.empty());
}

TEST(CommandLine, RefusesMalformedInputWithAUsageError) {
    const std::vector<std::vector<std::wstring>> bad = {
        {},
        {L"snap"},
        {L"list", L"extra"},
        {L"caps"},
        {L"caps", L""},
        {L"caps", L"a", L"b"},
        {L"set", L"cam", L"Gain"},
        {L"set", L"cam", L"Gain", L"ten"},
        {L"set", L"cam", L"Gain", L"1.5"},
        {L"set", L"cam", L"Gain", L"99999999999"},
        {L"set", L"cam", L"Gain", L" 5"},
        {L"set", L"cam", L"Gain", L"5", L"sometimes"},
        {L"set", L"cam", L"Gain", L"5", L"auto", L"more"},
        {L"capture"},
        {L"capture", L"cam", L"--frames"},
        {L"capture", L"cam", L"--frames", L"0"},
        {L"capture", L"cam", L"--frames", L"-3"},
        {L"capture", L"cam", L"--frames", L"10000001"},
        {L"capture", L"cam", L"--size", L"1920"},
        {L"capture", L"cam", L"--size", L"0x480"},
        {L"capture", L"cam", L"--size", L"640x-480"},
        {L"capture", L"cam", L"--size", L"x"},
        {L"capture", L"cam", L"--fps", L"0"},
        {L"capture", L"cam", L"--fps", L"nan"},
        {L"capture", L"cam", L"--fps", L"inf"},
        {L"capture", L"cam", L"--fps", L"30fps"},
        {L"capture", L"cam", L"--format", L""},
        {L"capture", L"cam", L"--out", L""},
        {L"capture", L"cam", L"--ser", L""},
        {L"capture", L"cam", L"--raw"},
        {L"capture", L"cam", L"--ser", L"a.ser", L"--avi", L"a.avi"},  // one recording a run
        {L"capture", L"cam", L"--colour", L"red"},
        {L"capture", L"cam", L"json"},
    };
    for (const auto& args : bad) {
        std::wstring joined;
        for (const auto& a : args) joined += L"[" + a + L"]";
        EXPECT_EQ(UsageExit(args), kExitUsage) << std::string(joined.begin(), joined.end());
    }
}
