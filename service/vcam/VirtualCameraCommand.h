#pragma once
// The service's 64-bit virtual-camera helper, VYXVirtualCamera.exe in DX_x64: adds a model's
// camera to Windows 11's camera frame server, or removes it, and says how it went in its
// exit code. The service is a 32-bit program and Microsoft documents MFCreateVirtualCamera
// for 64-bit callers only, so the service starts this helper as it starts regsvr32.
//
//   VYXVirtualCamera.exe add {media source CLSID} "friendly name"
//   VYXVirtualCamera.exe remove {media source CLSID} "friendly name"
//
// A camera is made for the whole system and all users (it outlives the helper), backed by
// the media source of that class in the model's x64 filter library. Adding a camera that is
// there re-opens and starts it again, which Windows allows. One thread.

#include "MfVirtualCamera.h"

#include <windows.h>

namespace vyx::vcam {

inline constexpr wchar_t kHelperFileName[] = L"VYXVirtualCamera.exe";

// 0 when done; ERROR_PROC_NOT_FOUND (127) when `create` is null (no MFCreateVirtualCamera:
// Windows 10, Wine); ERROR_BAD_ARGUMENTS (160) for any other command line; else the HRESULT
// of the call that failed.
DWORD RunVirtualCameraCommand(int argc, const wchar_t* const* argv, CreateVirtualCameraFn create);

// MFCreateVirtualCamera of this Windows, or null. The shipped helper asks the system's
// mfsensorgroup.dll; the test build answers with a stand-in that keeps its cameras as
// Windows 11 does (StandInVirtualCameras.cpp).
CreateVirtualCameraFn LookUpCreateVirtualCamera();

}  // namespace vyx::vcam
