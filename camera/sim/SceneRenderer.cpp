#include "SceneRenderer.h"

#include <cmath>

namespace vyx::sim {
namespace {

// Dark current doubles every 6.5 degrees.
double DarkFactor(double celsius) { return std::pow(2.0, (celsius - 25.0) / 6.5); }

}  // namespace

bool SameFrameAndField(const RateRegion& a, const RateRegion& b) {
    return a.width == b.width && a.height == b.height && a.bin == b.bin && a.startX == b.startX &&
           a.startY == b.startY && a.color == b.color && a.fieldDx == b.fieldDx && a.fieldDy == b.fieldDy;
}

bool SameRegion(const RateRegion& a, const RateRegion& b) {
    return SameFrameAndField(a, b) && a.darkRate == b.darkRate && a.hotScale == b.hotScale;
}

RateRegion SceneRenderer::RegionOf(const FrameJob& job) const {
    const CameraSettings& s = job.settings;
    RateRegion region;
    region.width = s.width;
    region.height = s.height;
    region.bin = s.bin;
    region.startX = s.startX;
    region.startY = s.startY;
    region.color = m_traits.row->color;
    // Steps of a twentieth of a pixel and half a degree keep the cache useful while the
    // field and the temperature move slowly.
    region.fieldDx = std::round(job.fieldDx * 20.0) / 20.0;
    region.fieldDy = std::round(job.fieldDy * 20.0) / 20.0;
    const double celsius = std::round(job.temperature * 2.0) / 2.0;
    region.hotScale = DarkFactor(celsius);
    region.darkRate = m_traits.darkCurrent25 * region.hotScale;
    return region;
}

void SceneRenderer::UpdateRates(const FrameJob& job) {
    const CameraSettings& s = job.settings;
    const RateRegion region = RegionOf(job);
    if (m_ratesValid && SameRegion(region, m_ratesRegion)) return;
    m_ratesValid = false;
    m_rates.resize(static_cast<std::size_t>(s.width) * s.height);
    m_sky.BuildRates(region, m_rates.data());
    m_ratesRegion = region;
    m_ratesValid = true;
}

void SceneRenderer::Render(const FrameJob& job, std::uint8_t* out, FrameStats* stats) {
    const CameraSettings& s = job.settings;
    FrameLayout layout;
    layout.width = s.width;
    layout.height = s.height;
    layout.format = s.format;
    layout.color = m_traits.row->color;
    layout.flipH = s.flipH;
    layout.flipV = s.flipV;
    layout.highQuality = s.highQuality;
    layout.startX = s.startX;
    layout.startY = s.startY;
    if (job.testPattern) {
        m_formatter.WriteTestPattern(layout, out);
        if (stats) *stats = FrameStats{};
        return;
    }

    UpdateRates(job);
    const SensorModeTraits mode = m_traits.ModeTraits(s.sensorMode);
    const double binPixels = static_cast<double>(s.bin) * s.bin;
    ReadoutParams p;
    p.width = s.width;
    p.height = s.height;
    p.startX = s.startX;
    p.startY = s.startY;
    p.color = m_traits.row->color;
    p.exposureS = s.exposureUs / 1e6;
    p.aduPerElectron = 65536.0 / m_traits.fullWellE * std::pow(10.0, s.gain / 200.0) * mode.conversionGain;
    // Hardware binning adds charge before the single read; software binning adds reads.
    p.readNoiseE = m_traits.readNoiseE * mode.readNoise * (s.hardBin ? 1.0 : s.bin);
    p.fullWellE = m_traits.fullWellE * mode.fullWell * binPixels;
    p.offsetAdu = s.offset * std::pow(2.0, 16 - m_traits.adcBits);
    p.binScale = s.binSum ? 1.0 : 1.0 / binPixels;
    for (int c = 0; c < 3; ++c) p.whiteBalance[c] = m_traits.row->color ? s.whiteBalance[c] / 50.0 : 1.0;
    p.adcBits = m_traits.adcBits;
    p.frameIndex = job.frameIndex;
    m_raw.resize(static_cast<std::size_t>(s.width) * s.height);
    ReadOut(m_rates.data(), p, m_raw.data(), stats);
    m_formatter.Write(m_raw.data(), layout, out);
}

}  // namespace vyx::sim
