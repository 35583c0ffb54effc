// Where guide pulses and drift have moved the field, in sensor pixels. Each of the four
// ST4 lines is a relay that stays closed for its pulse; a new pulse on a line replaces
// what remained of the previous one. Time is passed in (seconds since an epoch).
#pragma once

#include "VyxonCamera.h"

namespace vyx::sim {

class GuideState {
public:
    explicit GuideState(double pixelsPerSecond) : m_rate(pixelsPerSecond) {}

    void Pulse(GuideDirection direction, double now, double seconds);
    // Field offset at `now`: +x is west (right in the picture), +y is south (down).
    void Offset(double now, double* dx, double* dy) const;

private:
    struct Line {
        double start = 0;
        double end = 0;
        double settled = 0;  // travel of the finished pulses, in pixels
    };
    double Travel(const Line& line, double now) const;

    double m_rate;
    Line m_lines[4];
};

}  // namespace vyx::sim
