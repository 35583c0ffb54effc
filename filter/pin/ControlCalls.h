#pragma once
// The platform's two control surfaces over the core's controls: the property numbers of
// IAMVideoProcAmp and IAMCameraControl (which the kernel-streaming property sets
// PROPSETID_VIDCAP_VIDEOPROCAMP and PROPSETID_VIDCAP_CAMERACONTROL share) mapped onto a
// Control, and the three operations on it (known false: a property the surface does not
// have). Both surfaces number their auto and manual flags alike. Every client that offers
// these properties maps them here, so they answer alike.
#include <windows.h>

#include "CameraControls.h"

namespace vyx {

// False for a property the surface does not offer.
bool VideoProcAmpControl(long property, Control* control);
bool CameraControlControl(long property, Control* control);

HRESULT ControlRangeCall(CameraControls& controls, bool known, Control control, long* min, long* max, long* step,
                         long* byDefault, long* caps);
HRESULT ControlSetCall(CameraControls& controls, bool known, Control control, long value, long flags);
// Hardware binning leaves `flags` untouched, so it may be null there.
HRESULT ControlGetCall(CameraControls& controls, bool known, Control control, long* value, long* flags);

}  // namespace vyx
