#pragma once
// Runs the installed vyxcap.exe of the test's own architecture and collects what it says.
#include <string>

#include "Processes.h"

namespace vyx::vyxcap::test {

using ToolRun = vyx::test::ProcessResult;

// `arguments` is the command line after the program name, quoted as needed; a tool that
// cannot be started fails the test.
ToolRun RunVyxcap(const std::wstring& arguments);

// Lines of text, a last line without its line end included.
int CountLines(const std::string& text);

}  // namespace vyx::vyxcap::test
