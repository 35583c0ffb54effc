// Text helpers shared by the command-line tools.
#pragma once

#include <windows.h>

#include <string>

namespace vyx::tools {

// UTF-8 form of a wide string, for console output.
std::string Narrow(const std::wstring& text);
// The system's message for a Win32 error code, with the code itself.
std::string Win32ErrorText(DWORD error);

}  // namespace vyx::tools
