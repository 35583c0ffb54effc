// A small deterministic generator (SplitMix64): the same sky and noise on every
// platform and architecture, unlike the standard distributions.
#pragma once

#include <cmath>
#include <cstdint>

namespace vyx::sim {

class Random {
public:
    explicit Random(std::uint64_t seed) : m_state(seed) {}

    std::uint64_t Next() {
        std::uint64_t z = (m_state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    // Uniform in (0, 1].
    double Uniform() { return (static_cast<double>(Next() >> 11) + 1.0) / 9007199254740992.0; }
    double Range(double lo, double hi) { return lo + (hi - lo) * Uniform(); }
    // Standard normal (Box-Muller).
    double Normal() {
        const double r = std::sqrt(-2.0 * std::log(Uniform()));
        return r * std::cos(6.283185307179586 * Uniform());
    }

private:
    std::uint64_t m_state;
};

}  // namespace vyx::sim
