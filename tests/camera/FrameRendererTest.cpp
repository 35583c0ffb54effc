// The renderer's steady scene: after its first few frames, frames are composed of their rows,
// so noise keeps changing from frame to frame while every row is a genuine rendering; a
// change of a control shows in the very next frame.
#include <gtest/gtest.h>

#include <cstdint>
#include <numeric>
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

TEST(FrameRenderer, SteadySceneShowsNewNoiseEveryFrameFromRowsOfItsRenderings) {
    const vyx::catalogue::ModelRow* row = vyx::sim::bus::FindModel(L"Osprey 2C");
    ASSERT_NE(row, nullptr);
    const vyx::sim::ModelTraits traits = vyx::sim::TraitsFor(*row);
    const vyx::sim::SkyField sky(traits, 1234);
    FrameRenderer renderer(traits, sky);
    FrameJob job;
    job.settings = vyx::sim::DefaultSettings(traits);
    job.settings.width = kWidth;
    job.settings.height = kHeight;
    job.settings.format = IMG_RGB24;
    job.settings.exposureUs = 200000;

    std::vector<Frame> frames;
    for (std::uint64_t i = 0; i < 8; ++i) frames.push_back(Render(renderer, job, i));
    for (std::size_t i = 1; i < frames.size(); ++i) EXPECT_NE(frames[i], frames[i - 1]) << "frame " << i;
    // The renderings are the first frames; every later row is one of theirs.
    const int renderings = vyx::sim::FrameVariants::kCount;
    for (std::size_t i = renderings; i < frames.size(); ++i) {
        for (int r = 0; r < kHeight; ++r) {
            bool found = false;
            for (int v = 0; v < renderings && !found; ++v) found = SameRow(frames[i], frames[v], r);
            ASSERT_TRUE(found) << "frame " << i << " row " << r;
        }
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

}  // namespace
