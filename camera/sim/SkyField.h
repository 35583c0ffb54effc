// A deterministic patch of night sky over the whole sensor: stars with a Moffat
// point-spread function and a realistic spread of magnitudes and colours, a few faint
// galaxies, a sky background with vignetting and a light-pollution gradient, and the
// sensor's hot pixels. It renders the signal rate (electrons per second) of every
// pixel of a binned region, for a field shifted by guiding or drift.
#pragma once

#include <cstdint>
#include <vector>

#include "ModelTraits.h"

namespace vyx::sim {

struct RateRegion {
    int width = 0;   // binned pixels
    int height = 0;
    int bin = 1;
    int startX = 0;  // binned pixels
    int startY = 0;
    bool color = false;
    double fieldDx = 0;  // sensor pixels
    double fieldDy = 0;
    double darkRate = 0;   // e-/s per sensor pixel
    double hotScale = 1;   // temperature factor of the hot pixels' dark current
};

class SkyField {
public:
    SkyField(const ModelTraits& traits, std::uint32_t seed);

    // rates: width * height values, row by row from the region's top.
    void BuildRates(const RateRegion& region, float* rates) const;

    double PlateScaleArcsec() const { return m_plateScale; }

private:
    struct Star {
        float x, y;      // sensor pixels
        float flux;      // e-/s
        float color[3];  // relative response in R, G, B
    };
    struct Galaxy {
        float x, y, sigmaMajor, sigmaMinor, cosA, sinA, peak;
    };
    struct HotPixel {
        int x, y;
        float rate25;
    };

    void AddBackground(const RateRegion& region, float* rates) const;
    void AddStar(const Star& star, const RateRegion& region, float* rates) const;
    void AddGalaxy(const Galaxy& galaxy, const RateRegion& region, float* rates) const;
    void AddHotPixels(const RateRegion& region, float* rates) const;

    int m_sensorWidth;
    int m_sensorHeight;
    double m_plateScale;  // arcseconds per sensor pixel
    double m_skyRate;     // e-/s per sensor pixel
    double m_alpha;       // Moffat core width, pixels
    std::vector<Star> m_stars;
    std::vector<Galaxy> m_galaxies;
    std::vector<HotPixel> m_hotPixels;
};

}  // namespace vyx::sim
