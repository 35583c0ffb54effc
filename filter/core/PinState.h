#pragma once
// State of the capture pin that its interface parts share: negotiation, the camera
// instance and control interfaces, the settings file and the frame pump.
//
// Threads and ownership:
// - The configuration fields and the camera pointer change only while the filter is
//   stopped: ICameraInstance's setters and SetFormat run through the capture session's
//   Configure, which refuses once the filter has left Stopped; negotiation writes them under
//   the filter's state lock, which a connection holds. The streaming thread rewrites them in
//   OnThreadCreate while the activating thread waits for it, and reads them while streaming.
// - The camera pointer and the cached camera values are written under the pin's instance
//   lock (ICameraInstance and the control interfaces hold it; the pin's construction runs
//   before anything else can call); the streaming thread reads none of the cached values
//   except exposureUs, hence atomic.
// - The negotiation flags are cleared by OnThreadDestroy on the streaming thread and read
//   and set by negotiation, hence atomic.
// - The stream's life, the read failures and the delivered count are the capture session's.
#include <windows.h>
#include <cguid.h>

#include <atomic>
#include <cstdint>

#include "VyxonCamera.h"

namespace vyx {

struct PinState {
    VyxonCamera* camera = nullptr;  // the pin's camera; owned by the pin's OpenCamera
    bool color = false;

    // Current configuration: what the camera is set to now.
    std::int32_t bin = 1;
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::int32_t imageFormat = IMG_RAW8;
    std::int32_t outputFormatIndex = 0;  // into the output subtype list
    GUID subtype = GUID_NULL;
    std::int32_t resolutionIndex = 0;    // into the model's resolution list

    // Cached camera values.
    std::atomic<std::int32_t> exposureUs{0};
    bool exposureAuto = false;
    std::int32_t exposureLog2 = 0;       // last exposure in log2 seconds
    std::int32_t gain = 0;
    bool gainAuto = false;
    std::int32_t offset = 0;
    std::int32_t startX = 0;
    std::int32_t startY = 0;
    bool flipHorizontal = false;
    bool flipVertical = false;
    std::int32_t gamma = 0;              // held only by the pin; never reaches the camera
    std::int32_t gainsAndOffsets[8] = {};  // GetGainsAndOffsets at open: presets of the settings file

    // Negotiation.
    LONGLONG requestedFrameInterval = 0;  // 100 ns units, 0 when none
    std::atomic<bool> configurationChanged{false};
    std::atomic<bool> formatLocked{false};
    std::atomic<bool> frameIntervalRequested{false};
};

}  // namespace vyx
