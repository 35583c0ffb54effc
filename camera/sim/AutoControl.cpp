#include "AutoControl.h"

#include <algorithm>
#include <cmath>

namespace vyx::sim {
namespace {

bool StepBrightness(const ModelTraits& traits, const FrameStats& stats, CameraSettings* s) {
    if (!s->autoExposure && !s->autoGain) return false;
    const double offset = s->offset * std::pow(2.0, 16 - traits.adcBits);
    // The target is a mean on the 8-bit scale; the statistics are the signal above the offset.
    const double wanted = std::max(1.0, s->targetBrightness * 256.0 - offset);
    const double have = std::max(1.0, stats.meanAll);
    double ratio = std::pow(wanted / have, 0.7);  // damped
    ratio = std::clamp(ratio, 0.25, 4.0);
    if (std::abs(ratio - 1.0) < 0.02) return false;

    const int expMin = traits.exposure.min;
    const int expMax = std::min(traits.exposure.max, s->autoExpMaxMs * 1000);
    const int gainMin = traits.gain.min;
    const int gainMax = std::min(traits.gain.max, s->autoGainMax);
    const int oldExposure = s->exposureUs;
    const int oldGain = s->gain;

    auto applyExposure = [&](double factor) {
        const double next = std::clamp(s->exposureUs * factor, static_cast<double>(expMin), static_cast<double>(expMax));
        const double used = next / std::max(1, s->exposureUs);
        s->exposureUs = static_cast<int>(std::lround(next));
        return factor / used;  // what is left for the gain
    };
    auto applyGain = [&](double factor) {
        const double next = std::clamp(s->gain + 200.0 * std::log10(factor), static_cast<double>(gainMin),
                                       static_cast<double>(std::max(gainMin, gainMax)));
        const double used = std::pow(10.0, (next - s->gain) / 200.0);
        s->gain = static_cast<int>(std::lround(next));
        return factor / used;
    };

    // Brighter: lengthen the exposure first, then add gain. Darker: take gain away first.
    if (s->autoExposure && s->autoGain) {
        if (ratio > 1.0)
            applyGain(applyExposure(ratio));
        else
            applyExposure(applyGain(ratio));
    } else if (s->autoExposure) {
        applyExposure(ratio);
    } else {
        applyGain(ratio);
    }
    return s->exposureUs != oldExposure || s->gain != oldGain;
}

bool StepWhiteBalance(const ModelTraits& traits, const FrameStats& stats, CameraSettings* s) {
    if (!s->autoWhiteBalance || !traits.row->color) return false;
    const double green = stats.mean[1];
    if (green < 16.0 || stats.mean[0] < 1.0 || stats.mean[2] < 1.0) return false;  // too dark to judge
    bool changed = false;
    for (int c : {0, 2}) {
        const double ratio = std::clamp(std::pow(green / stats.mean[c], 0.6), 0.8, 1.25);
        const int next = std::clamp(static_cast<int>(std::lround(s->whiteBalance[c] * ratio)), traits.whiteBalance.min,
                                    traits.whiteBalance.max);
        changed |= next != s->whiteBalance[c];
        s->whiteBalance[c] = next;
    }
    return changed;
}

}  // namespace

bool StepAutoControls(const ModelTraits& traits, const FrameStats& stats, CameraSettings* settings) {
    const bool brightness = StepBrightness(traits, stats, settings);
    const bool white = StepWhiteBalance(traits, stats, settings);
    return brightness || white;
}

}  // namespace vyx::sim
