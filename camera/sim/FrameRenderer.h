// Renders one frame of a simulated camera: signal rates of the sky in the current
// region (cached until the region, the field position or the temperature changes),
// one exposure's raw readout, then the output format's byte layout. The first frames of
// a scene are rendered in full; later ones are composed of those (FrameVariants), so a
// steady scene costs one copy per frame.
// Used only by the stream's producer thread.
#pragma once

#include <cstdint>
#include <vector>

#include "CameraSettings.h"
#include "FrameFormatter.h"
#include "FrameVariants.h"
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

class FrameRenderer {
public:
    FrameRenderer(const ModelTraits& traits, const SkyField& sky) : m_traits(traits), m_sky(sky) {}

    // out: FrameBytes(job.settings) bytes. Throws std::bad_alloc when memory runs out.
    void Render(const FrameJob& job, std::uint8_t* out, FrameStats* stats);

private:
    // The job's region of the sky, with the field and temperature in the steps the caches use.
    RateRegion RegionOf(const FrameJob& job) const;
    bool SameScene(const FrameJob& job, const RateRegion& region) const;
    void RenderScene(const FrameJob& job, std::uint8_t* out, FrameStats* stats);
    void UpdateRates(const FrameJob& job);

    const ModelTraits& m_traits;
    const SkyField& m_sky;
    std::vector<float> m_rates;
    RateRegion m_ratesRegion{};
    bool m_ratesValid = false;
    std::vector<std::uint16_t> m_raw;
    FrameFormatter m_formatter;
    FrameVariants m_variants;
    CameraSettings m_sceneSettings;  // the scene m_variants show
    RateRegion m_sceneRegion{};
    bool m_sceneTestPattern = false;
};

}  // namespace vyx::sim
