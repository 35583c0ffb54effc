#pragma once
// Whether a model's filter build is registered, and registered correctly, in one registry
// view, read afresh from the registry on every call; and the direct deletion of its keys
// that an unregistration falls back to. Any thread.

#include "CameraModel.h"
#include "FilterArch.h"
#include "ReconcilePlan.h"

#include <windows.h>

#include <string>

namespace vyx::service {

inline constexpr wchar_t kVideoInputDeviceCategory[] = L"{860BB310-5D01-11D0-BD3B-00A0C911CE86}";

// A REG_SZ or REG_EXPAND_SZ value (unexpanded) under HKLM in the architecture's view;
// a null value name reads the default value.
bool ReadRegistryString(const std::wstring& keyPath, FilterArch arch, const wchar_t* valueName, std::wstring& value);

// An empty expected path (the library's path could not be built) is never correct.
ArchRegistrationState QueryRegistrationState(const CameraModel& model, FilterArch arch,
                                             const std::wstring& expectedPath);
// Both architectures' state; the x64 side only on 64-bit Windows.
ModelRegistrationState QueryModelState(const CameraModel& model, bool native64BitWindows);

// Removes the filter's class key and its video input category entry; nothing else.
DWORD DeleteFilterRegistration(const CameraModel& model, FilterArch arch);

}  // namespace vyx::service
