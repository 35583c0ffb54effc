#include "PngOutput.h"

#include "PngWriter.h"
#include "Text.h"
#include "ToolError.h"
#include "ToolText.h"

namespace vyx::vyxcap {

void WritePng(const Image& image, const std::wstring& path) {
    vyx::png::ImageView view;
    view.width = image.width;
    view.height = image.height;
    view.format = image.channels == 1 ? vyx::png::PixelFormat::kGrey8 : vyx::png::PixelFormat::kRgb24;
    view.pixels = image.pixels.data();
    view.stride = static_cast<std::size_t>(image.width) * image.channels;
    const DWORD error = vyx::png::WriteFile(path, view);
    if (error != ERROR_SUCCESS)
        throw ToolError("writing \"" + Narrow(path) + "\" failed: " + vyx::tools::Win32ErrorText(error));
}

}  // namespace vyx::vyxcap
