// vyxcap as a user runs it, without a camera: every failure is one line and a non-zero exit.
#include <gtest/gtest.h>

#include "ToolProcess.h"

using vyx::vyxcap::test::CountLines;
using vyx::vyxcap::test::RunVyxcap;

TEST(VyxcapErrors, EachFailureIsOneLineOnStderrAndANonZeroExit) {
    struct Case {
        const wchar_t* arguments;
        unsigned long exitCode;
        const char* says;
    };
    const Case cases[] = {
        {L"", 2, "no command"},
        {L"grab cam", 2, "unknown command"},
        {L"capture cam --frames many", 2, "--frames"},
        {L"capture cam --size 640", 2, "--size"},
        {L"set cam Gain high", 2, "VALUE"},
        {L"capture \"No Such Camera\"", 1, "no such device: \"No Such Camera\""},
        {L"caps 99", 1, "no such device: \"99\""},
        {L"controls \"No Such Camera\"", 1, "no such device"},
        {L"set \"No Such Camera\" Gain 5", 1, "no such device"},
        {L"set \"No Such Camera\" Loudness 5", 1, "unknown property \"Loudness\""},
        {L"capture \"No Such Camera\" --api mf", 1, "no media source \"No Such Camera\""},
        {L"controls cam --api mf", 2, "--api mf goes with list, caps and capture only"},
        {L"list --api qt", 2, "--api wants dshow or mf"},
    };
    for (const Case& c : cases) {
        const auto run = RunVyxcap(c.arguments);
        const std::string arguments(c.arguments, c.arguments + wcslen(c.arguments));
        EXPECT_EQ(run.exitCode, c.exitCode) << arguments;
        EXPECT_EQ(CountLines(run.err), 1) << arguments << ": " << run.err;
        EXPECT_EQ(run.err.rfind("vyxcap: ", 0), 0u) << run.err;
        EXPECT_NE(run.err.find(c.says), std::string::npos) << arguments << ": " << run.err;
        EXPECT_TRUE(run.out.empty()) << arguments << ": " << run.out;
    }
}

TEST(VyxcapErrors, HelpAndListSucceed) {
    const auto help = RunVyxcap(L"help");
    EXPECT_EQ(help.exitCode, 0u);
    EXPECT_NE(help.out.find("usage: vyxcap list"), std::string::npos);
    EXPECT_TRUE(help.err.empty());
    const auto list = RunVyxcap(L"list");
    EXPECT_EQ(list.exitCode, 0u) << list.err;
    EXPECT_TRUE(list.err.empty());
}
