#pragma once
// Where a model's filter build lies (DX_x86 or DX_x64 beside the service's executable), and
// whether an open file is a library of the architecture. Any thread.

#include "CameraModel.h"
#include "FilterArch.h"

#include <windows.h>

#include <string>

namespace vyx::service {

// The full path of the row's library in DX_x86 or DX_x64 beside this executable; false
// with the last error 123 (unusable name) or 161 (path leaves the folder).
bool BuildDllPath(const CameraModel& model, FilterArch arch, std::wstring& path);
// The same for any file of DX_x86 or DX_x64 (the x64 virtual-camera helper).
bool BuildArchFilePath(const wchar_t* fileName, FilterArch arch, std::wstring& path);

// The full path of this program (the service's executable, or a test's).
bool GetServiceExecutablePath(std::wstring& path);

// 0 when the open file (held, see TrustedFiles) is a PE image for the architecture's
// machine, else a Windows error; ERROR_INVALID_HANDLE for a null handle.
DWORD ValidateFilterDll(HANDLE file, FilterArch arch);

}  // namespace vyx::service
