#pragma once
// Writing a converted frame as a PNG file.
#include <string>

#include "ImageConvert.h"

namespace vyx::vyxcap {

// Throws ToolError naming the file when it cannot be written.
void WritePng(const Image& image, const std::wstring& path);

}  // namespace vyx::vyxcap
