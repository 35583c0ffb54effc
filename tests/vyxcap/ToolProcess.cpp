#include "ToolProcess.h"

#include <gtest/gtest.h>

#include "InstalledBuilds.h"

namespace vyx::vyxcap::test {

// Far beyond any run of the tool in these tests (captures included), and below CTest's limits.
constexpr DWORD kToolTimeoutMs = 170000;

ToolRun RunVyxcap(const std::wstring& arguments) {
    EXPECT_FALSE(vyx::test::DistPath().empty()) << "VYX_DIST names the installed layout";
    ToolRun run = vyx::test::RunProcess(L"\"" + vyx::test::ToolPath(L"vyxcap.exe") + L"\" " + arguments, kToolTimeoutMs);
    EXPECT_TRUE(run.started) << "vyxcap.exe could not be started";
    return run;
}

int CountLines(const std::string& text) {
    int lines = 0;
    for (const char c : text) lines += c == '\n';
    if (!text.empty() && text.back() != '\n') ++lines;
    return lines;
}

}  // namespace vyx::vyxcap::test
