#pragma once
// What applications see: the friendly names the system device enumerator lists in the
// video input category, to an application of either architecture (this process, or the
// vyxcap tool of the installed layout for the other one).

#include "FilterArch.h"

#include <windows.h>

#include <string>
#include <vector>

namespace vyx::service::test {

// Empty, with `ok` false, when the other architecture's tool could not be run.
std::vector<std::wstring> ListVideoInputDevices(FilterArch arch, bool& ok);

}  // namespace vyx::service::test
