// A camera's first frame at its power-on settings, in the format an application gets
// first (RGB24 on a colour camera, 8-bit on a monochrome one, the full sensor): a visible
// sky with stars, not a black frame. One model of each kind of camera.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cwchar>
#include <numeric>
#include <string>
#include <vector>

#include "SceneRenderer.h"
#include "SimulatedBus.h"

namespace {

struct Grey {
    int width = 0, height = 0;
    std::vector<int> levels;  // 0..255 per pixel; the mean of the three colours on a colour camera
    int At(int x, int y) const { return levels[static_cast<std::size_t>(y) * width + x]; }
};

struct FirstFrame {
    double meanLevel = 0;  // over every byte of the frame, 0..255
    Grey picture;
};

FirstFrame RenderPowerOnFrame(const std::wstring& model, std::uint32_t seed) {
    const vyx::catalogue::ModelRow* row = vyx::sim::bus::FindModel(model);
    EXPECT_NE(row, nullptr) << "no model " << std::string(model.begin(), model.end());
    if (!row) return {};
    const vyx::sim::ModelTraits traits = vyx::sim::TraitsFor(*row);
    const vyx::sim::SkyField sky(traits, seed);
    vyx::sim::SceneRenderer renderer(traits, sky);
    vyx::sim::FrameJob job;
    job.settings = vyx::sim::DefaultSettings(traits);
    job.settings.format = row->color ? IMG_RGB24 : IMG_RAW8;
    std::vector<std::uint8_t> bytes(vyx::sim::FrameBytes(job.settings));
    renderer.Render(job, bytes.data(), nullptr);

    FirstFrame frame;
    frame.meanLevel = std::accumulate(bytes.begin(), bytes.end(), 0.0) / static_cast<double>(bytes.size());
    const int channels = row->color ? 3 : 1;
    frame.picture.width = job.settings.width;
    frame.picture.height = job.settings.height;
    frame.picture.levels.resize(bytes.size() / channels);
    for (std::size_t i = 0; i < frame.picture.levels.size(); ++i) {
        int sum = 0;
        for (int c = 0; c < channels; ++c) sum += bytes[i * channels + c];
        frame.picture.levels[i] = sum / channels;
    }
    return frame;
}

int MedianLevel(std::vector<int> levels) {
    std::nth_element(levels.begin(), levels.begin() + levels.size() / 2, levels.end());
    return levels[levels.size() / 2];
}

// Points a viewer sees as stars: a pixel brighter than its eight neighbours and at least
// 24 levels above the sky, with light in the pixels around it (a hot pixel has none).
int VisibleStars(const Grey& g) {
    const int sky = MedianLevel(g.levels);
    int stars = 0;
    for (int y = 2; y < g.height - 2; ++y) {
        for (int x = 2; x < g.width - 2; ++x) {
            const int v = g.At(x, y);
            if (v < sky + 24) continue;
            bool peak = true;
            for (int dy = -1; dy <= 1 && peak; ++dy)
                for (int dx = -1; dx <= 1; ++dx)
                    if ((dx || dy) && g.At(x + dx, y + dy) >= v) peak = false;
            const int around = g.At(x - 1, y) + g.At(x + 1, y) + g.At(x, y - 1) + g.At(x, y + 1);
            if (peak && around >= 4 * sky + 8) ++stars;
        }
    }
    return stars;
}

TEST(PowerOnSettings, FirstFrameShowsTheSkyAndItsStarsOnEveryKindOfCamera) {
    // Planetary colour (USB 2 and USB 3), guide, planetary monochrome, cooled deep-sky;
    // each sky is a different patch (seed), as two cameras' skies are.
    std::uint32_t seed = 1;
    for (const wchar_t* model : {L"Kestrel 1C", L"Kestrel 8C", L"Kestrel 1M", L"Osprey 7M", L"Heron 9M"}) {
        const FirstFrame frame = RenderPowerOnFrame(model, seed++);
        const std::string name(model, model + std::wcslen(model));
        EXPECT_GT(frame.meanLevel, 5.0) << name << ": a black sky";
        EXPECT_GE(VisibleStars(frame.picture), 20) << name << ": mean " << frame.meanLevel;
    }
}

}  // namespace
