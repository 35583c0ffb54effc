#pragma once
// Adding or removing a model's Windows 11 virtual camera: the 64-bit helper in DX_x64
// (VYXVirtualCamera.exe), held trusted as a filter library is, run as regsvr32 is, with the
// model's friendly name and media source. Any thread; the stop event cuts a run short.

#include "CameraModel.h"

#include <windows.h>

namespace vyx::service {

enum class VirtualCameraOutcome {
    Done,
    Unavailable,  // no MFCreateVirtualCamera (Windows 10, Wine) or no helper; line 1303 says which
    Failed,       // line 1301 says why
};

VirtualCameraOutcome RunVirtualCameraAction(const CameraModel& model, bool add, HANDLE stopEvent);

}  // namespace vyx::service
