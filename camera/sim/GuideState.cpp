#include "GuideState.h"

#include <algorithm>

namespace vyx::sim {

double GuideState::Travel(const Line& line, double now) const {
    const double closed = std::clamp(now, line.start, line.end) - line.start;
    return line.settled + m_rate * closed;
}

void GuideState::Pulse(GuideDirection direction, double now, double seconds) {
    Line& line = m_lines[direction];
    line.settled = Travel(line, now);
    line.start = now;
    line.end = now + seconds;
}

void GuideState::Offset(double now, double* dx, double* dy) const {
    *dx = Travel(m_lines[GUIDE_WEST], now) - Travel(m_lines[GUIDE_EAST], now);
    *dy = Travel(m_lines[GUIDE_SOUTH], now) - Travel(m_lines[GUIDE_NORTH], now);
}

}  // namespace vyx::sim
