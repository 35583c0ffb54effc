#pragma once
// Reading every capability of a pin's IAMStreamConfig, in GetStreamCaps order.
#include <windows.h>
#include <dshow.h>

#include <vector>

#include "FormatChoice.h"

namespace vyx::vyxcap {

// Throws ToolError when the count cannot be read or a capability record is not a
// VIDEO_STREAM_CONFIG_CAPS; a failing GetStreamCaps entry is kept with an empty type.
std::vector<StreamCapability> ReadCapabilities(IAMStreamConfig* config);

}  // namespace vyx::vyxcap
