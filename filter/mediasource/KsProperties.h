#pragma once
// IKsControl::KsProperty for the two standard video-capture property sets, answered as a
// camera driver answers them and mapped onto the camera exactly as the filter's
// IAMVideoProcAmp and IAMCameraControl map them:
//   GET            fills the property's Value, Flags and Capabilities;
//   SET            takes Value and Flags;
//   BASICSUPPORT   the access flags (a ULONG), the description alone, or the description
//                  with one range member (minimum, maximum, step);
//   DEFAULTVALUES  the description with the default value.
// Results: E_POINTER for missing pointers; E_INVALIDARG for a property header too short or
// an unknown request type; HRESULT_FROM_WIN32(ERROR_SET_NOT_FOUND) for another property set;
// E_PROP_ID_UNSUPPORTED (HRESULT_FROM_WIN32(ERROR_NOT_FOUND)) for a property the mapping
// does not offer; HRESULT_FROM_WIN32(ERROR_MORE_DATA) with the size needed in `returned`
// for an empty data buffer, HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER) for one too small.
#include <windows.h>
#include <ks.h>

#include "SourceCamera.h"

namespace vyx::mf {

HRESULT HandleKsProperty(SourceCamera& camera, const KSPROPERTY* property, ULONG propertyLength, void* data,
                         ULONG dataLength, ULONG* returned);

}  // namespace vyx::mf
