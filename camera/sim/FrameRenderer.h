// Renders the frames of a simulated camera's stream. The first frames of a scene are
// rendered in full; later ones are composed of those (FrameVariants), so a steady scene
// costs one copy per frame. A scene that changes only by a sensor temperature step is
// rendered in the background while frames are still composed of the previous scene's
// renderings: the step shows a few frames late, as the slow drift of a real sensor's dark
// current would. Any other change (settings, field, test pattern) shows in the next frame.
// Used only by the stream's producer thread.
#pragma once

#include <cstdint>

#include "BackgroundRender.h"
#include "FrameVariants.h"
#include "SceneRenderer.h"

namespace vyx::sim {

class FrameRenderer {
public:
    FrameRenderer(const ModelTraits& traits, const SkyField& sky) : m_scene(traits, sky), m_background(traits, sky) {}

    // out: FrameBytes(job.settings) bytes. Throws std::bad_alloc when memory runs out.
    void Render(const FrameJob& job, std::uint8_t* out, FrameStats* stats);

private:
    bool SameScene(const FrameJob& job, const RateRegion& region) const;
    // The same scene but for the temperature: one the background may render.
    bool TemperatureStepOf(const FrameJob& job, const RateRegion& region) const;
    void ShowScene(const FrameJob& job, const RateRegion& region);
    // Swaps in a finished background rendering that still fits the job.
    void TakeBackgroundScene(const FrameJob& job, const RateRegion& region);

    SceneRenderer m_scene;
    FrameVariants m_variants;
    CameraSettings m_sceneSettings;  // the scene m_variants show
    RateRegion m_sceneRegion{};
    bool m_sceneTestPattern = false;
    BackgroundRender m_background;  // last: its thread ends before the rest goes
};

}  // namespace vyx::sim
