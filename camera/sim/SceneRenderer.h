// Renders one frame of a scene in full: signal rates of the sky in the current region
// (cached until the region, the field position or the temperature changes), one exposure's
// raw readout, then the output format's byte layout. One instance per thread that renders.
#pragma once

#include <cstdint>
#include <vector>

#include "CameraSettings.h"
#include "FrameFormatter.h"
#include "SensorReadout.h"
#include "SkyField.h"

namespace vyx::sim {

struct FrameJob {
    CameraSettings settings;
    bool testPattern = false;
    double temperature = 20;  // sensor, degrees C
    double fieldDx = 0;       // sensor pixels
    double fieldDy = 0;
    std::uint64_t frameIndex = 0;
};

class SceneRenderer {
public:
    SceneRenderer(const ModelTraits& traits, const SkyField& sky) : m_traits(traits), m_sky(sky) {}

    // The job's region of the sky, with the field and temperature in the steps the caches use.
    RateRegion RegionOf(const FrameJob& job) const;
    // out: FrameBytes(job.settings) bytes. Throws std::bad_alloc when memory runs out.
    void Render(const FrameJob& job, std::uint8_t* out, FrameStats* stats);

private:
    void UpdateRates(const FrameJob& job);

    const ModelTraits& m_traits;
    const SkyField& m_sky;
    std::vector<float> m_rates;
    RateRegion m_ratesRegion{};
    bool m_ratesValid = false;
    std::vector<std::uint16_t> m_raw;
    FrameFormatter m_formatter;
};

// Whether two regions show the same scene; SameFrameAndField ignores the temperature.
bool SameRegion(const RateRegion& a, const RateRegion& b);
bool SameFrameAndField(const RateRegion& a, const RateRegion& b);

}  // namespace vyx::sim
