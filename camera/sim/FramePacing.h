// How fast a camera delivers frames: the longer of the exposure and the readout, where
// the readout is the slower of the sensor's row readout and the USB transfer, and no
// faster than the frame-rate limit.
#pragma once

#include "CameraSettings.h"

namespace vyx::sim {

// Usable USB throughput, bytes per microsecond (megabytes per second), at 100 % bandwidth.
inline constexpr double kUsb3BytesPerUs = 380.0;
inline constexpr double kUsb2BytesPerUs = 42.0;

long long SensorReadoutUs(const ModelTraits& traits, const CameraSettings& settings);
long long TransferUs(const CameraSettings& settings, bool usb3Link);
long long FrameTimeUs(const ModelTraits& traits, const CameraSettings& settings, bool usb3Link);

}  // namespace vyx::sim
