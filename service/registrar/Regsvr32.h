#pragma once
// One run of regsvr32 on a library. Any thread.

#include <windows.h>

#include <string>

namespace vyx::service {

// 0 when it ran to exit code 0; ERROR_GEN_FAILURE with the exit code for any other;
// ERROR_TIMEOUT or ERROR_CANCELLED when the time-out or the stop event (optional) ended it
// first; else the error of starting or waiting for it.
DWORD RunRegsvr32(const std::wstring& regsvr32Path, const std::wstring& dllPath, bool unregister,
                  HANDLE stopEvent, DWORD& exitCode);

}  // namespace vyx::service
