#pragma once
// What the service asks of the Windows it runs on: its bitness, its own process's, and
// where the system's regsvr32 of each architecture lies. Both platform flavours carry it, so
// the test flavour's stand-in regsvr32 can fall back to the system's. Any thread.

#include "FilterArch.h"

#include <string>

namespace vyx::service {

// The native processor is x64 (GetNativeSystemInfo): both architectures are examined.
bool IsNative64BitWindows();
// This process runs under WOW64.
bool IsProcessWow64();
// The system's regsvr32 for the architecture under the Windows directory; false with the
// last error when the directory cannot be had.
bool GetRegsvr32Path(FilterArch arch, std::wstring& path);

}  // namespace vyx::service
