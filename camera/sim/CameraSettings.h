// Everything a simulated camera can be told, with its state after opening.
#pragma once

#include <cstddef>

#include "ModelTraits.h"
#include "VyxonCamera.h"

namespace vyx::sim {

struct CameraSettings {
    // Frame geometry, in binned pixels.
    int width = 0;
    int height = 0;
    int bin = 1;
    int startX = 0;
    int startY = 0;
    ImageFormat format = IMG_RAW8;
    bool flipH = false;
    bool flipV = false;
    bool hardBin = false;
    bool binSum = false;
    bool highQuality = true;
    int sensorMode = 0;

    // Controls.
    int exposureUs = 0;
    bool autoExposure = false;
    int gain = 0;
    bool autoGain = false;
    int offset = 0;
    int whiteBalance[3] = {};  // red, green, blue
    bool autoWhiteBalance = false;
    int autoExpMaxMs = 0;
    int autoGainMax = 0;
    int targetBrightness = 0;
    int usbBandwidth = 0;
    int frameRateLimit = 0;

    // Cooling.
    bool coolerOn = false;
    int targetTemperature = 0;
    int fanPower = 0;
    int lensHeaterPower = 0;

    bool operator==(const CameraSettings&) const = default;
};

CameraSettings DefaultSettings(const ModelTraits& traits);

// Largest frame of a bin factor: the binned sensor, width a multiple of 4, height of 2.
int MaxWidthAtBin(const ModelTraits& traits, int bin);
int MaxHeightAtBin(const ModelTraits& traits, int bin);

int BytesPerPixel(ImageFormat format);
std::size_t FrameBytes(const CameraSettings& settings);

}  // namespace vyx::sim
