// The renderer's steady scene: after its first few frames, frames are composed of their rows,
// so noise keeps changing from frame to frame while every row is a genuine rendering; a
// change of a control shows in the very next frame; a temperature step is rendered beside
// the stream and shows a little later.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <numeric>
#include <thread>
#include <vector>

#include "FrameRenderer.h"
#include "SimulatedBus.h"

namespace {

using vyx::sim::FrameJob;
using vyx::sim::FrameRenderer;
using Frame = std::vector<std::uint8_t>;

constexpr int kWidth = 320;
constexpr int kHeight = 240;
constexpr std::size_t kStride = kWidth * 3;

Frame Render(FrameRenderer& renderer, FrameJob job, std::uint64_t index) {
    job.frameIndex = index;
    Frame frame(vyx::sim::FrameBytes(job.settings));
    renderer.Render(job, frame.data(), nullptr);
    return frame;
}

bool SameRow(const Frame& a, const Frame& b, int row) {
    return std::equal(a.begin() + row * kStride, a.begin() + (row + 1) * kStride, b.begin() + row * kStride);
}

double Mean(const Frame& frame) { return std::accumulate(frame.begin(), frame.end(), 0.0) / frame.size(); }

class FrameRendering : public testing::Test {
protected:
    FrameRendering() : m_traits(vyx::sim::TraitsFor(*vyx::sim::bus::FindModel(L"Osprey 2C"))), m_sky(m_traits, 1234) {
        m_job.settings = vyx::sim::DefaultSettings(m_traits);
        m_job.settings.width = kWidth;
        m_job.settings.height = kHeight;
        m_job.settings.format = IMG_RGB24;
        m_job.settings.exposureUs = 200000;
    }

    // Whether every row of `frame` is the same row of one of `renderings`.
    static bool ComposedOf(const Frame& frame, const std::vector<Frame>& renderings) {
        for (int r = 0; r < kHeight; ++r) {
            bool found = false;
            for (std::size_t v = 0; v < renderings.size() && !found; ++v) found = SameRow(frame, renderings[v], r);
            if (!found) return false;
        }
        return true;
    }

    const vyx::sim::ModelTraits m_traits;
    const vyx::sim::SkyField m_sky;
    FrameJob m_job;
};

TEST_F(FrameRendering, SteadySceneShowsNewNoiseEveryFrameFromRowsOfItsRenderings) {
    FrameRenderer renderer(m_traits, m_sky);
    FrameJob job = m_job;

    std::vector<Frame> frames;
    for (std::uint64_t i = 0; i < 8; ++i) frames.push_back(Render(renderer, job, i));
    for (std::size_t i = 1; i < frames.size(); ++i) EXPECT_NE(frames[i], frames[i - 1]) << "frame " << i;
    // The renderings are the first frames; every later row is one of theirs.
    const int renderings = vyx::sim::FrameVariants::kCount;
    const std::vector<Frame> first(frames.begin(), frames.begin() + renderings);
    for (std::size_t i = renderings; i < frames.size(); ++i) {
        EXPECT_TRUE(ComposedOf(frames[i], first)) << "frame " << i;
        for (int v = 0; v < renderings; ++v) EXPECT_NE(frames[i], frames[v]) << "frame " << i;
    }

    // A control change renders the new scene at once.
    job.settings.gain += 100;
    const Frame brighter = Render(renderer, job, frames.size());
    EXPECT_GT(Mean(brighter), 1.2 * Mean(frames.back()));
    job.settings.gain -= 100;
    const Frame back = Render(renderer, job, frames.size() + 1);
    EXPECT_NEAR(Mean(back), Mean(frames.back()), 0.05 * Mean(frames.back()));
}

TEST_F(FrameRendering, TemperatureStepIsRenderedBesideTheStreamAndSettingsStillShowAtOnce) {
    using namespace std::chrono_literals;
    FrameRenderer renderer(m_traits, m_sky);
    FrameJob job = m_job;
    std::vector<Frame> warm;
    std::uint64_t index = 0;
    for (; index < vyx::sim::FrameVariants::kCount; ++index) warm.push_back(Render(renderer, job, index));

    // The step: frames go on from the previous scene's rows until the new scene is rendered.
    job.temperature += 10;
    EXPECT_TRUE(ComposedOf(Render(renderer, job, index++), warm));
    bool stepShown = false;
    for (const auto deadline = std::chrono::steady_clock::now() + 20s;
         !stepShown && std::chrono::steady_clock::now() < deadline; std::this_thread::sleep_for(5ms))
        stepShown = !ComposedOf(Render(renderer, job, index++), warm);
    EXPECT_TRUE(stepShown);

    // A control changed while a step renders shows in the next frame, and the rendering of
    // the old settings, finished later, never replaces it.
    const double before = Mean(Render(renderer, job, index++));
    job.temperature += 10;
    Render(renderer, job, index++);
    job.settings.gain += 100;
    for (int i = 0; i < 40; ++i, std::this_thread::sleep_for(5ms))
        ASSERT_GT(Mean(Render(renderer, job, index++)), 1.2 * before) << "frame " << i;
}

}  // namespace
