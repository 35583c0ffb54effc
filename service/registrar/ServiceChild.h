#pragma once
// One run of a program the service starts on a file it holds trusted (regsvr32 on a
// library, the virtual-camera helper), in a job of its own, with the registration time-out
// and the stop event. Any thread.

#include <windows.h>

#include <string>

namespace vyx::service {

// 0 when it ran to its end (its exit code in `exitCode`); ERROR_TIMEOUT or ERROR_CANCELLED
// when the time-out or the stop event (optional) ended it first; else the error of
// starting or waiting for it. A run without a job of its own writes warning 1400 naming
// `program` and `subject`.
DWORD RunServiceChild(const std::wstring& programPath, const std::wstring& commandLine, const wchar_t* program,
                      const std::wstring& subject, HANDLE stopEvent, DWORD& exitCode);

}  // namespace vyx::service
