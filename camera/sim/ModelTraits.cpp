#include "ModelTraits.h"

#include <cmath>
#include <cstring>

namespace vyx::sim {

namespace {
// 2048 s (2^11 s): the longest exposure the standard camera-control interface can ask for.
constexpr int kLongestExposureUs = 2048000000;
}  // namespace

SensorModeTraits ModelTraits::ModeTraits(int mode) const {
    if (!row || mode < 0 || mode >= row->sensorModeCount) return {1.0, 1.0, 1.0, 1.0};
    const char* name = row->sensorModes[mode];
    if (std::strcmp(name, "HighGain") == 0) return {2.5, 0.6, 0.4, 1.0};
    if (std::strcmp(name, "LowNoise") == 0) return {1.0, 0.7, 1.0, 2.0};
    return {1.0, 1.0, 1.0, 1.0};
}

ModelTraits TraitsFor(const vyx::catalogue::ModelRow& row) {
    ModelTraits t;
    t.row = &row;
    const double megapixels = row.sensorWidth * static_cast<double>(row.sensorHeight) / 1e6;
    double pixelRateMpx = 0;  // sensor readout, megapixels per second
    // Power-on exposure and gain: a first frame of the night sky at the default format
    // shows its background and stars, as a camera pointed at the sky should, instead of
    // a black frame (tests/camera/DefaultSkyTest.cpp).
    if (row.cooler) {
        // Cooled deep-sky cameras: large wells, 14-bit converters, slower readout.
        t.pixelSizeUm = megapixels > 30 ? 3.76 : 4.63;
        t.fullWellE = 50000;
        t.readNoiseE = 3.2;
        t.adcBits = 14;
        t.darkCurrent25 = 0.05;
        pixelRateMpx = 160;
        t.focalLengthMm = 530;
        t.coolerMaxDelta = 35;
        t.gain = {300, 0, 250};
        t.exposure = {kLongestExposureUs, 32, 2000000};
    } else if (!row.color && !row.usb3) {
        // Guide cameras: small sensors on USB 2.
        t.pixelSizeUm = 3.75;
        t.fullWellE = 14000;
        t.readNoiseE = 2.4;
        t.adcBits = 12;
        t.darkCurrent25 = 0.2;
        pixelRateMpx = 120;
        t.focalLengthMm = 240;
        t.lightGathering = 0.1;  // a small guide scope
        t.gain = {400, 0, 380};
        t.exposure = {kLongestExposureUs, 64, 250000};
    } else {
        // Planetary cameras: small wells, fast 12-bit readout, high gain.
        t.pixelSizeUm = megapixels > 6 ? 2.0 : 2.9;
        t.fullWellE = 11000;
        t.readNoiseE = 1.2;
        t.adcBits = 12;
        t.darkCurrent25 = 0.1;
        pixelRateMpx = row.usb3 ? 260 : 60;
        t.focalLengthMm = 400;
        t.gain = {500, 0, 450};
        t.exposure = {kLongestExposureUs, 1, 100000};  // fast global readout: 1 us
    }
    t.lineTimeUs = row.sensorWidth / pixelRateMpx;

    const int offsetScale = t.adcBits >= 14 ? 4 : 1;
    t.offset = {255 * offsetScale / 2, 0, 8 * offsetScale};
    t.autoExpMax = {60000, 1, 100};
    t.autoGainMax = {t.gain.max, t.gain.min, t.gain.max / 2};
    t.targetBrightness = {160, 50, 100};
    t.usbBandwidth = {100, 40, 80};
    t.frameRateLimit = {1000, 1, 0};
    t.targetTemperature = {30, -40, -10};
    t.whiteBalance = {99, 1, 50};
    t.whiteBalanceDefault[0] = 52;
    t.whiteBalanceDefault[1] = 50;
    t.whiteBalanceDefault[2] = 95;

    // Unity gain: one electron per step of the converter's own scale.
    const double unity = 200.0 * std::log10(t.fullWellE / std::pow(2.0, t.adcBits));
    t.presetGains[0] = 0;
    t.presetGains[1] = static_cast<int>(std::lround(unity * 0.85));
    t.presetGains[2] = static_cast<int>(std::lround(unity));
    t.presetGains[3] = static_cast<int>(std::lround(unity + (t.gain.max - unity) * 0.5));
    for (int& g : t.presetGains) g = g < t.gain.min ? t.gain.min : (g > t.gain.max ? t.gain.max : g);
    t.presetOffsets[0] = 3 * offsetScale;
    t.presetOffsets[1] = 10 * offsetScale;
    t.presetOffsets[2] = 12 * offsetScale;
    t.presetOffsets[3] = 25 * offsetScale;
    return t;
}

}  // namespace vyx::sim
