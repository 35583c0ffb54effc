#pragma once
// What the camera is set to now, and how negotiation is steered: the capture core's one
// record of it, read and written only under the core's lock (CaptureCore.h), through the
// views below.
#include <cstdint>

#include "FormatList.h"
#include "VyxonCamera.h"

namespace vyx {

struct StreamConfiguration {
    std::int32_t bin = 1;
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::int32_t imageFormat = 0;        // ImageFormat set on the camera
    std::int32_t outputFormatIndex = 0;  // into the output format table (OutputFormats.h)
    std::int32_t resolutionIndex = 0;    // into the model's resolution list

    // Negotiation. A configuration chosen through the camera-instance setters is tried
    // first; a chosen format is the only one offered until streaming stops; a requested
    // frame interval limits the camera's frame rate.
    bool changed = false;
    bool formatLocked = false;
    bool intervalRequested = false;
    std::int64_t requestedInterval = 0;  // 100 ns units, 0 when none

    FormatEntry Entry() const { return {outputFormatIndex, bin, resolutionIndex, imageFormat}; }
    void Record(const FormatEntry& entry, std::int32_t frameWidth, std::int32_t frameHeight) {
        outputFormatIndex = entry.outputFormatIndex;
        bin = entry.bin;
        resolutionIndex = entry.resolutionIndex;
        imageFormat = entry.imageFormat;
        width = frameWidth;
        height = frameHeight;
    }
};

// What Read hands its reader, under the core's lock.
struct CoreView {
    const StreamConfiguration& config;
    const FormatList& formats;
    bool color;
};

// What Configure hands its change, under the core's lock while the source is stopped.
struct CoreChange {
    StreamConfiguration& config;
    const FormatList& formats;
    bool color;
    VyxonCamera* camera;  // null when the core holds none

    CoreView View() const { return {config, formats, color}; }
};

}  // namespace vyx
