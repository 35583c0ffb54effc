#pragma once
// State of the capture pin that its interface parts share: negotiation, the camera
// instance and control interfaces, the settings file and the frame pump.
//
// Threads: application threads (control interfaces, ICameraInstance, negotiation) and the
// streaming thread (frame pump). Negotiation runs under the filter's state lock,
// ICameraInstance under its own lock; the control interfaces take none and write the
// cached values plainly. The fields the streaming thread shares with other threads
// without a common lock are atomic.
#include <windows.h>
#include <cguid.h>

#include <atomic>
#include <cstdint>

#include "VyxonCamera.h"

namespace vyx {

struct PinState {
    VyxonCamera* camera = nullptr;  // owned by the pin from CreateCamera to Destory
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
    std::int32_t exposureUs = 0;
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
    bool configurationChanged = false;
    bool formatLocked = false;
    bool frameIntervalRequested = false;

    // Frame pump.
    std::atomic<bool> streaming{false};
    std::atomic<std::int32_t> deliveredFrames{0};
    std::int32_t readFailures = 0;
};

}  // namespace vyx
