#include "SensorReadout.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "Bayer.h"
#include "Random.h"

namespace vyx::sim {
namespace {

constexpr std::size_t kNoiseTableSize = 1u << 16;
// Longer than any row, so a row starting anywhere in the first part never wraps.
constexpr std::size_t kNoiseTableSlack = 1u << 14;

// Precomputed standard-normal values: per-frame noise then costs a table read per pixel.
const float* NoiseTable() {
    static const std::vector<float> table = [] {
        std::vector<float> values(kNoiseTableSize + kNoiseTableSlack);
        Random random(0x4E4F495345ull);
        for (float& v : values) v = static_cast<float>(std::clamp(random.Normal(), -6.0, 6.0));
        return values;
    }();
    return table.data();
}

std::size_t RowNoiseStart(std::uint64_t frame, int row) {
    Random random(frame * 0x100000001B3ull + static_cast<std::uint64_t>(row));
    return static_cast<std::size_t>(random.Next() & (kNoiseTableSize - 1));
}

}  // namespace

void ReadOut(const float* rates, const ReadoutParams& p, std::uint16_t* raw, FrameStats* stats) {
    const float* noise = NoiseTable();
    const float exposure = static_cast<float>(p.exposureS);
    const float readVariance = static_cast<float>(p.readNoiseE * p.readNoiseE);
    const float fullWell = static_cast<float>(p.fullWellE);
    const float offset = static_cast<float>(p.offsetAdu);
    const int quantum = p.adcBits >= 16 ? 0xFFFF : (0xFFFF << (16 - p.adcBits)) & 0xFFFF;
    double sums[3] = {};
    long long counts[3] = {};

    // Factor from electrons to ADU per column, for rows of each parity: the colour of a pixel
    // depends only on the parities of its row and column. A plain array per row keeps the
    // pixel loop free of branches, so the compiler works on several pixels at once.
    std::vector<float> factors[2];
    for (int parity = 0; parity < 2; ++parity) {
        factors[parity].resize(static_cast<std::size_t>(p.width));
        for (int x = 0; x < p.width; ++x) {
            const Channel c = p.color ? BayerChannel(p.startX + x, p.startY + parity) : kGreen;
            factors[parity][x] = static_cast<float>(p.aduPerElectron * p.binScale * p.whiteBalance[c]);
        }
    }

    for (int y = 0; y < p.height; ++y) {
        const float* factor = factors[y & 1].data();
        const float* rate = rates + static_cast<std::size_t>(y) * p.width;
        const float* n = noise + RowNoiseStart(p.frameIndex, y);
        std::uint16_t* out = raw + static_cast<std::size_t>(y) * p.width;
        for (int x = 0; x < p.width; ++x) {
            const float electrons = std::min(rate[x] * exposure, fullWell);
            const float sigma = std::sqrt(electrons + readVariance);
            float value = offset + (electrons + sigma * n[x]) * factor[x];
            value = std::min(std::max(value, 0.0f), 65535.0f);
            out[x] = static_cast<std::uint16_t>(static_cast<int>(value + 0.5f) & quantum);
        }
        // Two neighbouring rows in eight: every colour of the pattern, a quarter of the work.
        if (stats && (y & 7) >= 6) {
            for (int x = 1; x < p.width; x += 3) {
                const int c = p.color ? BayerChannel(p.startX + x, p.startY + y) : kGreen;
                sums[c] += out[x] - p.offsetAdu;
                ++counts[c];
            }
        }
    }
    if (stats) {
        double all = 0;
        long long allCount = 0;
        for (int c = 0; c < 3; ++c) {
            stats->mean[c] = counts[c] ? sums[c] / counts[c] : 0.0;
            all += sums[c];
            allCount += counts[c];
        }
        stats->meanAll = allCount ? all / allCount : 0.0;
    }
}

}  // namespace vyx::sim
