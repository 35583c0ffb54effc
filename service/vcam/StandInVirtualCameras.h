#pragma once
// The test build's MFCreateVirtualCamera, for hosts without one (Wine, Windows 10): a stand-in
// that keeps its cameras as Windows 11 does, so the service's helper and the tests driving the
// service can be checked here. Windows is "11" while the key kStandInKey exists (a test makes
// it) and "10" while it does not. A started camera of system lifetime is a value of that key,
// named by its source ID, "friendly name;lifetime=N;access=N", so it outlives the helper's
// process as a real one does; a session camera goes when its last reference does.
// Never linked into the shipped helper. Any thread; one camera object per thread.

#include "MfVirtualCamera.h"

namespace vyx::vcam {

// Under HKLM, in the 64-bit view from either architecture.
inline constexpr wchar_t kStandInKey[] = L"SOFTWARE\\VYXDShowDriver\\TestVirtualCameras";

HRESULT STDAPICALLTYPE StandInCreateVirtualCamera(MFVirtualCameraType type, MFVirtualCameraLifetime lifetime,
                                                  MFVirtualCameraAccess access, LPCWSTR friendlyName,
                                                  LPCWSTR sourceId, const GUID* categories, ULONG categoryCount,
                                                  IMFVirtualCamera** camera);

}  // namespace vyx::vcam
