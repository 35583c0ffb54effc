#pragma once
// The class factory's entry for the media source, free of Media Foundation's headers so the
// module's table compiles with the filter's Windows version.
#include <windows.h>

class CUnknown;

namespace vyx::mf {

// Creates the media source of the build's model (g_ModelDescriptor); aggregation is refused
// with CLASS_E_NOAGGREGATION. See OpenSourceCamera for the camera's failures, and
// platform::Bind for a system without Media Foundation.
CUnknown* CALLBACK CreateCameraMediaSource(LPUNKNOWN outer, HRESULT* result);

}  // namespace vyx::mf
