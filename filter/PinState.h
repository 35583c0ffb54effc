#pragma once
// State of the capture pin that its interface parts share: negotiation, the camera
// instance and control interfaces, the settings file and the frame pump.
//
// Threads and ownership:
// - Application threads own the configuration and the cached camera values: negotiation
//   writes them under the filter's state lock, ICameraInstance under its own lock, and
//   only while stopped (the streaming flag keeps ICameraInstance off a running stream,
//   VFW_E_NOT_STOPPED keeps SetFormat off it). The control interfaces take no lock and
//   write the cached values plainly; the streaming thread reads none of them except
//   exposureUs.
// - The streaming thread owns readFailures (OnThreadCreate, FillBuffer, OnThreadDestroy).
//   It also writes width and height in OnThreadCreate, while the thread that activates
//   the filter waits for it, so no other thread reads them concurrently.
// - Shared without a common lock, hence atomic: exposureUs (written by the exposure
//   control, read by FillBuffer), the negotiation flags (cleared by OnThreadDestroy on the
//   streaming thread, read and set by negotiation), streaming (written by the streaming
//   thread, read by ICameraInstance) and deliveredFrames (read by IAMDroppedFrames).
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

    // Frame pump.
    std::atomic<bool> streaming{false};
    std::atomic<std::int32_t> deliveredFrames{0};
    std::int32_t readFailures = 0;  // streaming thread only
};

}  // namespace vyx
