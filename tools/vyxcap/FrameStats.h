#pragma once
// Statistics over the samples of one capture: count, times, gaps, sync points, lengths
// and arrival times. Pure bookkeeping; the caller decides which thread feeds it.
#include <windows.h>
#include <strmif.h>

#include <cstdint>

namespace vyx::vyxcap {

struct SampleRecord {
    bool hasTime = false;       // GetTime gave at least a start
    REFERENCE_TIME start = 0;
    REFERENCE_TIME end = 0;
    bool syncPoint = false;
    long length = 0;            // GetActualDataLength
    std::int64_t arrival = 0;   // performance-counter ticks when the sample arrived
};

class FrameStats {
public:
    explicit FrameStats(long expectedLength) : m_expectedLength(expectedLength) {}

    void Add(const SampleRecord& sample);

    int Frames() const { return m_frames; }
    // Samples whose start differs from the previous sample's end; an untimed sample also
    // counts, as nothing shows that it follows on.
    int Gaps() const { return m_gaps; }
    int Untimed() const { return m_untimed; }
    int SyncPoints() const { return m_syncPoints; }
    int WrongLength() const { return m_wrongLength; }  // length differs from the frame size
    REFERENCE_TIME FirstStart() const { return m_firstStart; }
    REFERENCE_TIME LastEnd() const { return m_lastEnd; }
    REFERENCE_TIME MinDuration() const { return m_minDuration; }
    REFERENCE_TIME MaxDuration() const { return m_maxDuration; }
    std::int64_t FirstArrival() const { return m_firstArrival; }
    std::int64_t LastArrival() const { return m_lastArrival; }

private:
    long m_expectedLength;
    int m_frames = 0;
    int m_gaps = 0;
    int m_untimed = 0;
    int m_syncPoints = 0;
    int m_wrongLength = 0;
    bool m_previousTimed = false;
    bool m_anyTimed = false;
    REFERENCE_TIME m_firstStart = 0;
    REFERENCE_TIME m_lastEnd = 0;
    REFERENCE_TIME m_minDuration = 0;
    REFERENCE_TIME m_maxDuration = 0;
    std::int64_t m_firstArrival = 0;
    std::int64_t m_lastArrival = 0;
};

}  // namespace vyx::vyxcap
