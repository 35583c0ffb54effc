// Colour filter layout of the colour sensors: RGGB, counted from the sensor's (binned)
// origin, so a region that starts on an odd row or column sees the pattern shifted.
#pragma once

namespace vyx::sim {

enum Channel : int { kRed = 0, kGreen = 1, kBlue = 2 };

inline Channel BayerChannel(int x, int y) {
    if ((y & 1) == 0) return (x & 1) == 0 ? kRed : kGreen;
    return (x & 1) == 0 ? kGreen : kBlue;
}

}  // namespace vyx::sim
