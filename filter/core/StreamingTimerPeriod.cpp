#include "StreamingTimerPeriod.h"

namespace vyx {
namespace {
constexpr UINT kPeriodMs = 1;
}  // namespace

TimerPeriodCalls& StreamingTimerPeriodCalls() {
    static TimerPeriodCalls calls{&timeBeginPeriod, &timeEndPeriod};
    return calls;
}

void StreamingTimerPeriod::Begin() {
    if (m_raised) return;
    m_raised = StreamingTimerPeriodCalls().begin(kPeriodMs) == TIMERR_NOERROR;
}

void StreamingTimerPeriod::End() {
    if (!m_raised) return;
    StreamingTimerPeriodCalls().end(kPeriodMs);
    m_raised = false;
}

}  // namespace vyx
