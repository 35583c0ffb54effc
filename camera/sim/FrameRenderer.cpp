#include "FrameRenderer.h"

#include <cstring>

namespace vyx::sim {

bool FrameRenderer::SameScene(const FrameJob& job, const RateRegion& region) const {
    return job.settings == m_sceneSettings && job.testPattern == m_sceneTestPattern &&
           SameRegion(region, m_sceneRegion);
}

bool FrameRenderer::TemperatureStepOf(const FrameJob& job, const RateRegion& region) const {
    return job.settings == m_sceneSettings && job.testPattern == m_sceneTestPattern &&
           SameFrameAndField(region, m_sceneRegion);
}

void FrameRenderer::ShowScene(const FrameJob& job, const RateRegion& region) {
    m_sceneSettings = job.settings;
    m_sceneRegion = region;
    m_sceneTestPattern = job.testPattern;
}

void FrameRenderer::TakeBackgroundScene(const FrameJob& job, const RateRegion& region) {
    FrameJob rendered;
    if (!m_background.Finish(&rendered)) return;
    // A rendering begun before a change of settings or field shows a stale scene.
    const RateRegion renderedRegion = m_scene.RegionOf(rendered);
    if (rendered.settings != job.settings || rendered.testPattern != job.testPattern ||
        !SameFrameAndField(renderedRegion, region))
        return;
    m_background.SwapVariants(&m_variants);
    ShowScene(rendered, renderedRegion);
}

void FrameRenderer::Render(const FrameJob& job, std::uint8_t* out, FrameStats* stats) {
    const RateRegion region = m_scene.RegionOf(job);
    TakeBackgroundScene(job, region);
    if (!SameScene(job, region)) {
        if (m_variants.Complete() && TemperatureStepOf(job, region) &&
            (m_background.Busy() || m_background.Start(job))) {
            // Compose from the previous scene's renderings until the new ones are done.
        } else {
            m_variants.Clear();
            ShowScene(job, region);
        }
    }
    const std::size_t bytes = FrameBytes(job.settings);
    if (m_variants.Complete()) {
        m_variants.Compose(job.frameIndex, job.settings.height, bytes / job.settings.height, out, stats);
        return;
    }
    std::uint8_t* variant = m_variants.NextBuffer(bytes);
    FrameStats variantStats;
    m_scene.Render(job, variant, &variantStats);
    m_variants.Add(variantStats);
    std::memcpy(out, variant, bytes);
    if (stats) *stats = variantStats;
}

}  // namespace vyx::sim
