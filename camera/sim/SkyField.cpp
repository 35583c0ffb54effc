#include "SkyField.h"

#include <algorithm>
#include <cmath>

#include "Bayer.h"
#include "Random.h"

namespace vyx::sim {
namespace {

// Electrons per second of a magnitude-0 star through a fast 300 mm astrograph.
constexpr double kZeroPointFlux = 1.0e9;
constexpr double kFaintestMagnitude = 15.5;
// Stars brighter than the faint limit per square degree, away from the Milky Way.
constexpr double kStarsPerSquareDegree = 700.0;
constexpr double kSkyMagnitudePerArcsec2 = 19.5;  // a suburban sky
constexpr double kSeeingArcsec = 2.6;
constexpr double kMoffatBeta = 3.0;
// Relative quantum efficiency of the red, green and blue filters, and a sky tinted by
// sodium light pollution.
constexpr double kColorResponse[3] = {0.80, 1.00, 0.65};
constexpr double kSkyTint[3] = {1.20, 1.00, 0.85};

double Response(const RateRegion& region, Channel channel) {
    return region.color ? kColorResponse[channel] : 0.78;
}

}  // namespace

SkyField::SkyField(const ModelTraits& traits, std::uint32_t seed)
    : m_sensorWidth(traits.row->sensorWidth), m_sensorHeight(traits.row->sensorHeight) {
    Random random(0x5EED000000000000ull ^ seed);
    m_plateScale = 206.265 * traits.pixelSizeUm / traits.focalLengthMm;
    const double pixelArea = m_plateScale * m_plateScale;
    const double zeroPoint = kZeroPointFlux * traits.lightGathering;
    m_skyRate = zeroPoint * std::pow(10.0, -0.4 * kSkyMagnitudePerArcsec2) * pixelArea;
    const double fwhm = std::max(1.8, kSeeingArcsec / m_plateScale);
    m_alpha = fwhm / (2.0 * std::sqrt(std::pow(2.0, 1.0 / kMoffatBeta) - 1.0));

    // Stars also fill a margin around the sensor, so guiding and drift bring new ones in.
    const double margin = 64;
    const double fieldW = m_sensorWidth + 2 * margin;
    const double fieldH = m_sensorHeight + 2 * margin;
    const double squareDegrees = fieldW * fieldH * pixelArea / (3600.0 * 3600.0);
    const int count = std::max(40, static_cast<int>(kStarsPerSquareDegree * squareDegrees));
    m_stars.reserve(count);
    for (int i = 0; i < count; ++i) {
        Star star{};
        star.x = static_cast<float>(random.Range(-margin, m_sensorWidth + margin));
        star.y = static_cast<float>(random.Range(-margin, m_sensorHeight + margin));
        // Counts grow by a factor of about 2.2 per magnitude towards the faint end.
        const double magnitude = kFaintestMagnitude + std::log10(random.Uniform()) / 0.35;
        star.flux = static_cast<float>(zeroPoint * std::pow(10.0, -0.4 * magnitude));
        const double bv = std::clamp(0.6 + 0.45 * random.Normal(), -0.3, 1.9);  // B-V colour index
        star.color[kRed] = static_cast<float>(std::max(0.2, 1.0 + 0.40 * (bv - 0.6)));
        star.color[kGreen] = 1.0f;
        star.color[kBlue] = static_cast<float>(std::max(0.2, 1.0 - 0.45 * (bv - 0.6)));
        m_stars.push_back(star);
    }

    const int galaxies = 1 + static_cast<int>(random.Uniform() * 2.0);
    for (int i = 0; i < galaxies; ++i) {
        Galaxy g{};
        g.x = static_cast<float>(random.Range(0.2, 0.8) * m_sensorWidth);
        g.y = static_cast<float>(random.Range(0.2, 0.8) * m_sensorHeight);
        g.sigmaMajor = static_cast<float>(random.Range(0.012, 0.03) * std::min(m_sensorWidth, m_sensorHeight));
        g.sigmaMinor = static_cast<float>(g.sigmaMajor * random.Range(0.25, 0.7));
        const double angle = random.Range(0.0, 3.14159);
        g.cosA = static_cast<float>(std::cos(angle));
        g.sinA = static_cast<float>(std::sin(angle));
        g.peak = static_cast<float>(m_skyRate * random.Range(0.6, 1.5));
        m_galaxies.push_back(g);
    }

    const int hot = std::max(3, m_sensorWidth / 100 * (m_sensorHeight / 100) / 4);
    for (int i = 0; i < hot; ++i) {
        HotPixel p{};
        p.x = static_cast<int>(random.Uniform() * (m_sensorWidth - 1));
        p.y = static_cast<int>(random.Uniform() * (m_sensorHeight - 1));
        p.rate25 = static_cast<float>(random.Range(20.0, 400.0));
        m_hotPixels.push_back(p);
    }
}

void SkyField::BuildRates(const RateRegion& region, float* rates) const {
    AddBackground(region, rates);
    for (const Galaxy& galaxy : m_galaxies) AddGalaxy(galaxy, region, rates);
    for (const Star& star : m_stars) AddStar(star, region, rates);
    AddHotPixels(region, rates);
}

void SkyField::AddBackground(const RateRegion& region, float* rates) const {
    const int b = region.bin;
    const double pixels = static_cast<double>(b) * b;
    const double halfW = m_sensorWidth / 2.0;
    const double halfH = m_sensorHeight / 2.0;
    // Vignetting darkens the corners by a fifth; the sky brightens towards the horizon
    // (the bottom of the sensor) by a sixth.
    std::vector<float> column(static_cast<size_t>(region.width));
    for (int x = 0; x < region.width; ++x) {
        const double cx = ((x + region.startX) * b + b / 2.0 - halfW) / halfW;
        column[x] = static_cast<float>(0.1 * cx * cx);
    }
    for (int y = 0; y < region.height; ++y) {
        const double sensorY = (y + region.startY) * b + b / 2.0;
        const double cy = (sensorY - halfH) / halfH;
        const double rowVignette = 1.0 - 0.1 * cy * cy;
        const double gradient = 1.0 + sensorY / m_sensorHeight / 6.0;
        float rowRate[3];
        for (int c = 0; c < 3; ++c)
            rowRate[c] = static_cast<float>(pixels * (m_skyRate * gradient *
                                                          (region.color ? kSkyTint[c] : 1.0) *
                                                          Response(region, static_cast<Channel>(c))));
        const float dark = static_cast<float>(pixels * region.darkRate);
        float* out = rates + static_cast<size_t>(y) * region.width;
        const int ay = y + region.startY;
        for (int x = 0; x < region.width; ++x) {
            const Channel c = region.color ? BayerChannel(x + region.startX, ay) : kGreen;
            out[x] = rowRate[c] * static_cast<float>(rowVignette - column[x]) + dark;
        }
    }
}

void SkyField::AddStar(const Star& star, const RateRegion& region, float* rates) const {
    const int b = region.bin;
    const double sx = star.x + region.fieldDx;
    const double sy = star.y + region.fieldDy;
    const double alpha2 = m_alpha * m_alpha;
    const double peak = star.flux * (kMoffatBeta - 1.0) / (3.14159265358979 * alpha2);
    // Out to where the profile falls below a twentieth of an electron per second.
    const double reach = std::cbrt(peak / 0.05);  // (1 + r^2/alpha^2)^3 = reach^3
    const int radius = std::min(40, static_cast<int>(std::ceil(m_alpha * std::sqrt(std::max(0.0, reach - 1.0)))));
    const int left = std::max(static_cast<int>(std::floor(sx)) - radius, region.startX * b);
    const int right = std::min(static_cast<int>(std::floor(sx)) + radius, (region.startX + region.width) * b - 1);
    const int top = std::max(static_cast<int>(std::floor(sy)) - radius, region.startY * b);
    const int bottom = std::min(static_cast<int>(std::floor(sy)) + radius, (region.startY + region.height) * b - 1);
    if (left > right || top > bottom) return;
    float weight[3];
    for (int c = 0; c < 3; ++c)
        weight[c] = static_cast<float>(region.color ? star.color[c] * kColorResponse[c]
                                                    : Response(region, kGreen) *
                                                          (star.color[0] + star.color[1] + star.color[2]) / 3.0);
    for (int py = top; py <= bottom; ++py) {
        const double dy = py + 0.5 - sy;
        const int by = py / b - region.startY;
        float* row = rates + static_cast<size_t>(by) * region.width;
        for (int px = left; px <= right; ++px) {
            const double dx = px + 0.5 - sx;
            const double t = 1.0 / (1.0 + (dx * dx + dy * dy) / alpha2);
            const int bx = px / b - region.startX;
            const Channel c = region.color ? BayerChannel(bx + region.startX, by + region.startY) : kGreen;
            row[bx] += static_cast<float>(peak * t * t * t) * weight[c];
        }
    }
}

void SkyField::AddGalaxy(const Galaxy& g, const RateRegion& region, float* rates) const {
    const int b = region.bin;
    const double cx = g.x + region.fieldDx;
    const double cy = g.y + region.fieldDy;
    const int reach = static_cast<int>(std::ceil(3.5 * g.sigmaMajor));
    const int left = std::max(static_cast<int>(cx) - reach, region.startX * b);
    const int right = std::min(static_cast<int>(cx) + reach, (region.startX + region.width) * b - 1);
    const int top = std::max(static_cast<int>(cy) - reach, region.startY * b);
    const int bottom = std::min(static_cast<int>(cy) + reach, (region.startY + region.height) * b - 1);
    if (left > right || top > bottom) return;
    const double inv2Major = 1.0 / (2.0 * g.sigmaMajor * g.sigmaMajor);
    const double inv2Minor = 1.0 / (2.0 * g.sigmaMinor * g.sigmaMinor);
    // Sampled once per binned pixel and scaled by its area: the profile is smooth.
    for (int by = top / b; by <= bottom / b; ++by) {
        const int ry = by - region.startY;
        if (ry < 0 || ry >= region.height) continue;
        const double dy = by * b + b / 2.0 - cy;
        float* row = rates + static_cast<size_t>(ry) * region.width;
        for (int bx = left / b; bx <= right / b; ++bx) {
            const int rx = bx - region.startX;
            if (rx < 0 || rx >= region.width) continue;
            const double dx = bx * b + b / 2.0 - cx;
            const double u = dx * g.cosA + dy * g.sinA;
            const double v = -dx * g.sinA + dy * g.cosA;
            const double q = u * u * inv2Major + v * v * inv2Minor;
            if (q > 12.0) continue;
            // A yellowish core: old stars.
            const Channel c = region.color ? BayerChannel(bx, by) : kGreen;
            const double tint = region.color ? (c == kRed ? 1.15 : c == kBlue ? 0.8 : 1.0) : 1.0;
            row[rx] += static_cast<float>(g.peak * std::exp(-q) * b * b * tint * Response(region, c));
        }
    }
}

void SkyField::AddHotPixels(const RateRegion& region, float* rates) const {
    // Hot pixels belong to the sensor: guiding and drift do not move them.
    const int b = region.bin;
    for (const HotPixel& p : m_hotPixels) {
        const int bx = p.x / b - region.startX;
        const int by = p.y / b - region.startY;
        if (bx < 0 || by < 0 || bx >= region.width || by >= region.height) continue;
        rates[static_cast<size_t>(by) * region.width + bx] += static_cast<float>(p.rate25 * region.hotScale);
    }
}

}  // namespace vyx::sim
