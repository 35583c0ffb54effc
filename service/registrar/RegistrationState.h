#pragma once
// Whether a model's filter build is registered, and registered correctly, in one registry
// view, read afresh from the registry on every call; and the direct deletion of its keys
// that an unregistration falls back to. Any thread.

#include "CameraModel.h"
#include "FilterArch.h"
#include "ReconcilePlan.h"
#include "UniqueResource.h"

#include <windows.h>

#include <string>

namespace vyx::service {

inline constexpr wchar_t kVideoInputDeviceCategory[] = L"{860BB310-5D01-11D0-BD3B-00A0C911CE86}";

// A REG_SZ or REG_EXPAND_SZ value (unexpanded) under HKLM in the architecture's view;
// a null value name reads the default value.
bool ReadRegistryString(const std::wstring& keyPath, FilterArch arch, const wchar_t* valueName, std::wstring& value);

// "SOFTWARE\Classes\CLSID" of the architecture's view, where every filter registration
// lives; empty when it cannot be opened (then nothing below it is present).
win::UniqueRegKey OpenClassesClsid(FilterArch arch);

// An empty expected path (the library's path could not be built) is never correct.
ArchRegistrationState QueryRegistrationState(const CameraModel& model, FilterArch arch,
                                             const std::wstring& expectedPath);
// The same, below the view's key from OpenClassesClsid: for reading many models at once,
// since opening a path of the other view from its root walks it key by key.
ArchRegistrationState QueryRegistrationState(HKEY classesClsid, const CameraModel& model,
                                             const std::wstring& expectedPath);

// Removes the filter's class key and its video input category entry; nothing else.
DWORD DeleteFilterRegistration(const CameraModel& model, FilterArch arch);

}  // namespace vyx::service
