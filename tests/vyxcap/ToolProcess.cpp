#include "ToolProcess.h"

#include <gtest/gtest.h>

namespace vyx::vyxcap::test {

ToolRun RunVyxcap(const std::wstring& arguments) {
    EXPECT_FALSE(DistPath().empty()) << "VYX_DIST names the installed layout";
    ToolRun run = RunProcess(L"\"" + ToolPath(L"vyxcap.exe") + L"\" " + arguments);
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
