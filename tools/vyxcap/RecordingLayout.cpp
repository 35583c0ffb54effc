#include "RecordingLayout.h"

#include <cstdlib>
#include <string>

#include "MediaTypePtr.h"
#include "SubtypeName.h"
#include "Text.h"
#include "ToolError.h"

namespace vyx::vyxcap {

RecordingLayout RecordingLayoutOf(const AM_MEDIA_TYPE& type, RecordingContainer container) {
    const BITMAPINFOHEADER* header = vyx::win::BitmapHeader(type);
    if (!header) throw ToolError("cannot record: the connected type has no video format block");
    const std::wstring name = SubtypeName(type.subtype);
    const std::string shown = Narrow(name);
    const WORD bits = header->biBitCount;
    RecordingLayout layout;
    if (name == L"RGB24" && bits == 24) {
        layout.channels = 3;
        layout.bytesPerSample = 1;
    } else if ((name == L"RGB8" || name == L"Y800" || name == L"Y8" || name == L"GREY") && bits == 8) {
        layout.channels = 1;
        layout.bytesPerSample = 1;
    } else if (name == L"Y16" && bits == 16) {
        if (container == RecordingContainer::Avi)
            throw ToolError("an AVI file cannot hold 16-bit " + shown + " frames: record them with --ser FILE.ser");
        layout.channels = 1;
        layout.bytesPerSample = 2;
    } else if (name == L"YUY2" || name == L"UYVY") {
        throw ToolError("cannot record " + shown +
                        " frames: their colour is subsampled, so no recording of them is lossless; "
                        "choose RGB24, RGB8, Y800 or Y16 with --format");
    } else {
        throw ToolError("cannot record " + shown + " frames (" + std::to_string(bits) +
                        " bits): choose RGB24, RGB8, Y800 or Y16 with --format");
    }
    if (header->biWidth <= 0 || header->biHeight == 0 || header->biWidth > 65535 || std::abs(header->biHeight) > 65535)
        throw ToolError("cannot record frames of " + std::to_string(header->biWidth) + "x" +
                        std::to_string(header->biHeight) + " pixels");
    layout.width = header->biWidth;
    layout.height = std::abs(header->biHeight);
    // As ImageConvert reads frames: RGB layouts run bottom-up unless their height is negative
    // and pad rows to four bytes; FOURCC layouts are top-down and packed.
    const bool rgbLayout = header->biCompression == BI_RGB || header->biCompression == BI_BITFIELDS;
    layout.bottomUp = rgbLayout && header->biHeight > 0;
    layout.stride = rgbLayout ? (layout.RowBytes() + 3) / 4 * 4 : layout.RowBytes();
    if (const REFERENCE_TIME* interval = vyx::win::AvgTimePerFrame(type)) layout.frameInterval = *interval;
    return layout;
}

}  // namespace vyx::vyxcap
