#include "FrameStats.h"

#include <algorithm>

namespace vyx::vyxcap {

void FrameStats::Add(const SampleRecord& sample) {
    const bool first = m_frames == 0;
    if (first) m_firstArrival = sample.arrival;
    m_lastArrival = sample.arrival;
    if (sample.syncPoint) ++m_syncPoints;
    if (sample.length != m_expectedLength) ++m_wrongLength;
    if (!sample.hasTime) {
        ++m_untimed;
        if (!first) ++m_gaps;
        m_previousTimed = false;
        ++m_frames;
        return;
    }
    if (!first && (!m_previousTimed || sample.start != m_lastEnd)) ++m_gaps;
    const REFERENCE_TIME duration = sample.end - sample.start;
    if (!m_anyTimed) {
        m_firstStart = sample.start;
        m_minDuration = m_maxDuration = duration;
    } else {
        m_minDuration = std::min(m_minDuration, duration);
        m_maxDuration = std::max(m_maxDuration, duration);
    }
    m_lastEnd = sample.end;
    m_previousTimed = true;
    m_anyTimed = true;
    ++m_frames;
}

}  // namespace vyx::vyxcap
