#pragma once
// The three operations IAMVideoProcAmp and IAMCameraControl share, once an adapter has
// mapped its property onto a Control (known false: a property the interface does not have).
// Both interfaces number their auto and manual flags alike.
#include <windows.h>

#include "CameraControls.h"

namespace vyx {

HRESULT ControlRangeCall(CameraControls& controls, bool known, Control control, long* min, long* max, long* step,
                         long* byDefault, long* caps);
HRESULT ControlSetCall(CameraControls& controls, bool known, Control control, long value, long flags);
// Hardware binning leaves `flags` untouched, so it may be null there.
HRESULT ControlGetCall(CameraControls& controls, bool known, Control control, long* value, long* flags);

}  // namespace vyx
