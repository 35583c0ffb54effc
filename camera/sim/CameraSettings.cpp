#include "CameraSettings.h"

namespace vyx::sim {

CameraSettings DefaultSettings(const ModelTraits& traits) {
    CameraSettings s;
    s.width = MaxWidthAtBin(traits, 1);
    s.height = MaxHeightAtBin(traits, 1);
    s.exposureUs = traits.exposure.def;
    s.gain = traits.gain.def;
    s.offset = traits.offset.def;
    for (int i = 0; i < 3; ++i) s.whiteBalance[i] = traits.whiteBalanceDefault[i];
    s.autoExpMaxMs = traits.autoExpMax.def;
    s.autoGainMax = traits.autoGainMax.def;
    s.targetBrightness = traits.targetBrightness.def;
    s.usbBandwidth = traits.usbBandwidth.def;
    s.frameRateLimit = traits.frameRateLimit.def;
    s.targetTemperature = traits.targetTemperature.def;
    s.fanPower = traits.row->cooler ? 100 : 0;
    return s;
}

int MaxWidthAtBin(const ModelTraits& traits, int bin) { return traits.row->sensorWidth / bin / 4 * 4; }

int MaxHeightAtBin(const ModelTraits& traits, int bin) { return traits.row->sensorHeight / bin / 2 * 2; }

int BytesPerPixel(ImageFormat format) {
    switch (format) {
    case IMG_RAW16:
    case IMG_YUY2:
        return 2;
    case IMG_RGB24:
        return 3;
    default:
        return 1;
    }
}

std::size_t FrameBytes(const CameraSettings& settings) {
    return static_cast<std::size_t>(settings.width) * static_cast<std::size_t>(settings.height) *
           static_cast<std::size_t>(BytesPerPixel(settings.format));
}

}  // namespace vyx::sim
