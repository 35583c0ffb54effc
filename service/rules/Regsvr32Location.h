#pragma once
// Where the system's regsvr32 of an architecture lies under the Windows directory, and
// what a failed look-up of that directory means. Pure: any thread.

#include "FilterArch.h"

#include <windows.h>

#include <string>

namespace vyx::service {

// The error of GetWindowsDirectoryW's answer `length` for a buffer of `capacity`
// characters: 0 when the directory fits; ERROR_FILENAME_EXCED_RANGE (206) when it is
// longer than the buffer; the call's own `lastError` when it failed (ERROR_PATH_NOT_FOUND
// if it named none), so the log never says error=0 for a failure.
DWORD WindowsDirectoryError(UINT length, UINT capacity, DWORD lastError);

// "SysWOW64\regsvr32.exe", "Sysnative\regsvr32.exe" or "System32\regsvr32.exe".
const wchar_t* Regsvr32Program(FilterArch arch, bool native64BitWindows, bool processWow64);

// The program joined to the Windows directory with one backslash between them.
std::wstring Regsvr32PathUnder(const std::wstring& windowsDirectory, FilterArch arch, bool native64BitWindows,
                               bool processWow64);

}  // namespace vyx::service
