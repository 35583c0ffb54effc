// The physical and electrical character of a simulated model, and the ranges and
// defaults of its controls. Derived from the catalogue row: cooled deep-sky cameras,
// uncooled planetary cameras and small guide cameras behave differently.
#pragma once

#include "vyx_catalogue.h"

namespace vyx::sim {

struct ControlRange {
    int max;
    int min;
    int def;
    bool Contains(int value) const { return value >= min && value <= max; }
};

struct SensorModeTraits {
    double conversionGain;  // multiplies the electrons-to-ADU factor
    double readNoise;       // multiplies the read noise
    double fullWell;        // multiplies the full-well capacity
    double lineTime;        // multiplies the row readout time
};

struct ModelTraits {
    const vyx::catalogue::ModelRow* row = nullptr;

    double pixelSizeUm = 0;
    double fullWellE = 0;        // electrons, gain 0
    double readNoiseE = 0;       // electrons rms
    int adcBits = 0;
    double darkCurrent25 = 0;    // e-/s per pixel at 25 degrees C
    double lineTimeUs = 0;       // one sensor row at full width
    double focalLengthMm = 0;    // of the imagined telescope, for the plate scale
    double lightGathering = 1;   // the telescope's aperture area relative to a 300 mm astrograph
    double coolerMaxDelta = 0;   // degrees below ambient at full power and fan

    ControlRange exposure{};     // microseconds
    ControlRange gain{};         // 0.1 dB
    ControlRange offset{};
    ControlRange autoExpMax{};   // milliseconds
    ControlRange autoGainMax{};
    ControlRange targetBrightness{};
    ControlRange usbBandwidth{};  // percent
    ControlRange frameRateLimit{};  // frames per second, default 0 = none
    ControlRange targetTemperature{};
    ControlRange whiteBalance{};
    int whiteBalanceDefault[3] = {};

    // Gains for highest dynamic range, high conversion gain, unity gain, lowest read
    // noise, then their offsets.
    int presetGains[4] = {};
    int presetOffsets[4] = {};

    SensorModeTraits ModeTraits(int mode) const;
};

ModelTraits TraitsFor(const vyx::catalogue::ModelRow& row);

}  // namespace vyx::sim
