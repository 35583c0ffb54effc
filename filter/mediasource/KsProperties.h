#pragma once
// IKsControl::KsProperty for the two standard video-capture property sets, answered as a
// camera driver answers them and mapped onto the camera's controls by the same calls as the
// pin's IAMVideoProcAmp and IAMCameraControl (pin/ControlCalls.h):
//   GET            fills the property's Value, Flags and Capabilities;
//   SET            takes Value and Flags;
//   BASICSUPPORT   the access flags (a ULONG), the description alone, or the description
//                  with one range member (minimum, maximum, step);
//   DEFAULTVALUES  the description with the default value.
// Results: E_POINTER for missing pointers; E_INVALIDARG for a property header too short or
// an unknown request type; HRESULT_FROM_WIN32(ERROR_SET_NOT_FOUND) for another property set;
// the pin's results for a property (E_PROP_ID_UNSUPPORTED for one it does not offer);
// HRESULT_FROM_WIN32(ERROR_MORE_DATA) with the size needed in `returned` for an empty data
// buffer, HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER) for one too small.
#include <windows.h>
#include <ks.h>

#include "CameraControls.h"

namespace vyx::mf {

HRESULT HandleKsProperty(CameraControls& controls, const KSPROPERTY* property, ULONG propertyLength, void* data,
                         ULONG dataLength, ULONG* returned);

}  // namespace vyx::mf
