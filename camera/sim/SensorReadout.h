// Turns signal rates into one exposure's raw 16-bit frame: shot noise and read noise,
// full-well saturation, gain, offset, per-channel white balance, binning arithmetic
// and the converter's bit depth. Also gathers the statistics the automatic controls use.
#pragma once

#include <cstdint>

namespace vyx::sim {

struct ReadoutParams {
    int width = 0;
    int height = 0;
    int startX = 0;  // binned, for the colour pattern's phase
    int startY = 0;
    bool color = false;
    double exposureS = 0;
    double aduPerElectron = 0;  // 16-bit scale, gain included
    double readNoiseE = 0;      // per binned pixel
    double fullWellE = 0;       // per binned pixel
    double offsetAdu = 0;       // 16-bit scale
    double binScale = 1;        // 1 when bins add up, 1 / bin^2 when they average
    double whiteBalance[3] = {1, 1, 1};
    int adcBits = 16;
    std::uint64_t frameIndex = 0;
};

struct FrameStats {
    // Mean signal above the offset, 16-bit scale, per colour channel (mono: green).
    double mean[3] = {};
    double meanAll = 0;
};

void ReadOut(const float* rates, const ReadoutParams& params, std::uint16_t* raw, FrameStats* stats);

}  // namespace vyx::sim
