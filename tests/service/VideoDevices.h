#pragma once
// What applications see: the friendly names the system device enumerator lists in the
// video input category, to this 32-bit process and to a 64-bit application (the vyxcap
// tool of the installed layout).

#include <windows.h>

#include <string>
#include <vector>

namespace vyx::service::test {

std::vector<std::wstring> ListVideoInputDevices32();
// Empty, with `ok` false, when the 64-bit tool could not be run.
std::vector<std::wstring> ListVideoInputDevices64(bool& ok);

// Runs a command line to its end; the exit code, or -1 when it could not start. Its
// standard output is collected when `output` is given.
int RunProgram(const std::wstring& commandLine, std::string* output = nullptr, DWORD* processId = nullptr);

}  // namespace vyx::service::test
