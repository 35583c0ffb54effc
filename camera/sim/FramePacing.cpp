#include "FramePacing.h"

#include <algorithm>
#include <cmath>

namespace vyx::sim {

long long SensorReadoutUs(const ModelTraits& traits, const CameraSettings& settings) {
    // Binning in the sensor reads the binned rows once; otherwise every row is read.
    const double rows = static_cast<double>(settings.height) * (settings.hardBin ? 1 : settings.bin);
    return static_cast<long long>(
        std::ceil(rows * traits.lineTimeUs * traits.ModeTraits(settings.sensorMode).lineTime));
}

long long TransferUs(const CameraSettings& settings, bool usb3Link) {
    // The camera bins in hardware only when asked to; otherwise the host receives every
    // sensor pixel of the region and bins them itself. 16-bit frames cost two bytes a
    // pixel, every other format is produced from 8-bit data on the host.
    double pixels = static_cast<double>(settings.width) * settings.height;
    if (!settings.hardBin) pixels *= static_cast<double>(settings.bin) * settings.bin;
    const double bytes = pixels * (settings.format == IMG_RAW16 ? 2.0 : 1.0);
    const double rate = (usb3Link ? kUsb3BytesPerUs : kUsb2BytesPerUs) * settings.usbBandwidth / 100.0;
    return static_cast<long long>(std::ceil(bytes / rate));
}

long long FrameTimeUs(const ModelTraits& traits, const CameraSettings& settings, bool usb3Link) {
    long long frame = std::max<long long>(settings.exposureUs,
                                          std::max(SensorReadoutUs(traits, settings), TransferUs(settings, usb3Link)));
    if (settings.frameRateLimit > 0)
        frame = std::max<long long>(frame, (1000000 + settings.frameRateLimit - 1) / settings.frameRateLimit);
    return std::max<long long>(frame, 1);
}

}  // namespace vyx::sim
