#pragma once
// Registration of the build: its class keys through the framework's helper, and the filter
// under the video input device category through the filter mapper. The registry layout
// these write is what the hot-plug service verifies.
#include <windows.h>

#include "SetupTypes.h"

namespace vyx {

// The filter's setup data for the class-factory entry: legacy filter category, do-not-use merit.
extern const AMOVIESETUP_FILTER g_FilterSetup;

// DllRegisterServer: class keys, legacy category entry, then the video input device
// category entry; the mapper's result is returned.
HRESULT RegisterFilterBuild();

// DllUnregisterServer: class keys and legacy entry removed, both possible video input
// device category entries removed; the result of removing the one named by the class
// identifier is returned, so a missing entry makes regsvr32 report a failure.
HRESULT UnregisterFilterBuild();

}  // namespace vyx
