#pragma once
// Whether a model's filter build is registered, and registered correctly, for one
// architecture; and the registration actions that change it through the system's
// regsvr32. The registry is the only state: every query reads it afresh.
//
// Threads: one action at a time, on the thread of the reconcile pass or of the uninstall
// command. The stop event is the only link to other threads: it cuts a running regsvr32
// and the waits between attempts short.

#include "CameraModel.h"
#include "FilterArch.h"
#include "PathText.h"

#include <windows.h>

#include <string>

namespace vyx::service {

struct ArchRegistrationState {
    bool present = false;
    bool correct = false;
};

struct ModelRegistrationState {
    ArchRegistrationState x86;
    ArchRegistrationState x64;  // both false when Windows is 32-bit
};

inline constexpr wchar_t kVideoInputDeviceCategory[] = L"{860BB310-5D01-11D0-BD3B-00A0C911CE86}";
inline constexpr int kMaxAttempts = 3;

// The full path of the row's library in DX_x86 or DX_x64 beside this executable; false
// with the last error 123 (unusable name) or 161 (path leaves the folder).
bool BuildDllPath(const CameraModel& model, FilterArch arch, std::wstring& path);

// The full path of this program (the service's executable, or a test's).
bool GetServiceExecutablePath(std::wstring& path);

// 0 when the open file (held, see TrustedFiles) is a PE image for the architecture's
// machine, else a Windows error; ERROR_INVALID_HANDLE for a null handle.
DWORD ValidateFilterDll(HANDLE file, FilterArch arch);

// A REG_SZ or REG_EXPAND_SZ value (unexpanded) under HKLM in the architecture's view;
// a null value name reads the default value.
bool ReadRegistryString(const std::wstring& keyPath, FilterArch arch, const wchar_t* valueName, std::wstring& value);

ArchRegistrationState QueryRegistrationState(const CameraModel& model, FilterArch arch,
                                             const std::wstring& expectedPath);

bool IsNative64BitWindows();
ModelRegistrationState QueryModelState(const CameraModel& model, bool native64BitWindows);

// Removes the filter's class key and its video input category entry; nothing else.
DWORD DeleteFilterRegistration(const CameraModel& model, FilterArch arch);

bool GetRegsvr32Path(FilterArch arch, std::wstring& path);

// Tests run a stand-in registration program instead of the system's; empty restores it.
void SetRegsvr32PathOverrideForTesting(const std::wstring& path);

DWORD RunRegsvr32(const std::wstring& regsvr32Path, const std::wstring& dllPath, bool unregister,
                  HANDLE stopEvent, DWORD& exitCode);

// True when the wanted state was reached and verified in the registry.
bool RunRegistrationAction(const CameraModel& model, FilterArch arch, bool registerFilter, HANDLE stopEvent);

}  // namespace vyx::service
