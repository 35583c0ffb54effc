// vyxsim snapshot: opens a plugged camera through the camera library, takes one frame
// with settings that show the sky well, and writes it as a PNG (colour or grey).
#pragma once

#include <string>

namespace vyx::tools {

// false with a one-line reason in *error.
bool WriteSnapshot(const std::wstring& model, const std::wstring& path, int exposureMs, std::string* error);

}  // namespace vyx::tools
