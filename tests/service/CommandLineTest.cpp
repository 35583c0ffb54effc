// The command line: exact texts in any letter case after leading blanks, nothing after.
#include "EventRecorder.h"
#include "ServiceCommand.h"
#include "ServiceEvents.h"

#include <gtest/gtest.h>

#include <string>

namespace vyx::service {
namespace {

TEST(CommandLineTest, OnlyWholeKnownTextsSelectACommand)
{
    struct Case {
        const wchar_t* line;
        ServiceCommand command;
    };
    const Case cases[] = {
        {L"/RegServer", ServiceCommand::Install},
        {L"/REGSERVER", ServiceCommand::Install},
        {L"/regserver", ServiceCommand::Install},
        {L"  \t /RegServer", ServiceCommand::Install},
        {L"-/RegServer", ServiceCommand::Install},
        {L"/Service", ServiceCommand::Install},
        {L"-/service", ServiceCommand::Install},
        {L"/UnregServer", ServiceCommand::Uninstall},
        {L"\t-/UNREGSERVER", ServiceCommand::Uninstall},
        {L"/RegServer ", ServiceCommand::RunAsService},
        {L"/RegServer\t", ServiceCommand::RunAsService},
        {L"/RegServer /x", ServiceCommand::RunAsService},
        {L"-RegServer", ServiceCommand::RunAsService},
        {L"RegServer", ServiceCommand::RunAsService},
        {L"/Reg", ServiceCommand::RunAsService},
        {L"\"/RegServer\"", ServiceCommand::RunAsService},
        {L"", ServiceCommand::RunAsService},
        {L"   ", ServiceCommand::RunAsService},
        {nullptr, ServiceCommand::RunAsService},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line != nullptr ? std::wstring(c.line).size() : 0);
        EXPECT_EQ(ParseServiceCommand(c.line), c.command);
    }
}

// Outside the service control manager the dispatcher cannot connect: the unrecognised line
// tries to run as the service and fails with the two lines and exit code 1.
TEST(CommandLineTest, AnUnrecognisedLineOutsideTheServiceManagerFailsWithItsLines)
{
    test::EventRecorder events;
    EXPECT_EQ(RunServiceCommand(L"  /RegServer "), 1);
    const auto lines = events.Events();
    ASSERT_EQ(lines.size(), 2u) << test::Describe(lines);
    EXPECT_EQ(lines[0].id, 1400u);
    EXPECT_EQ(lines[0].type, EVENTLOG_ERROR_TYPE);
    const std::wstring prefix = L"StartServiceCtrlDispatcherW failed. error=";
    ASSERT_EQ(lines[0].line.substr(0, prefix.size()), prefix);
    const unsigned long error = std::wcstoul(lines[0].line.c_str() + prefix.size(), nullptr, 10);
    EXPECT_NE(error, 0ul);
    EXPECT_EQ(lines[1].id, 1501u);
    EXPECT_EQ(lines[1].type, EVENTLOG_ERROR_TYPE);
    EXPECT_EQ(lines[1].line,
              L"VYXCamService command failed. command=  /RegServer  error=" + std::to_wstring(error));
}

}  // namespace
}  // namespace vyx::service
