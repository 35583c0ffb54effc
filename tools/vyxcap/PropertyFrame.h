#pragma once
// vyxcap props: the platform's property frame on a device's pages, as capture programs
// open it from their "Video Capture Filter..." and "Video Capture Pin..." menu entries.
#include <string>

namespace vyx::vyxcap {

// Opens the frame on the filter's pages, or with `pin` on its capture pin's pages, and
// returns when the user closes it. Runs in a single-threaded apartment of its own, which
// the frame's dialog needs. Throws ToolError when the device or its pages cannot be had.
void RunProps(const std::wstring& device, bool pin);

}  // namespace vyx::vyxcap
