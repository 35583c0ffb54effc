#pragma once
// When the reconcile worker runs the pass that a burst of device events calls for: once no
// event has come for a quiet period, but never later than a bound after the burst's first
// event, so a device that keeps coming and going cannot postpone every pass for ever.
// Times are tick counts in milliseconds from the caller's clock, so the rule is checked
// without waiting. One object per burst, used by the worker thread only.

#include <windows.h>

namespace vyx::service {

class PassScheduler {
public:
    PassScheduler(ULONGLONG firstChange, DWORD quietPeriodMs, DWORD maxDelayMs);

    // A further event of the burst restarts the quiet period.
    void OnChange(ULONGLONG now);
    // How long the worker may still wait for further events; 0: run the pass now.
    DWORD RemainingMs(ULONGLONG now) const;

private:
    ULONGLONG m_firstChange;
    ULONGLONG m_lastChange;
    DWORD m_quietPeriodMs;
    DWORD m_maxDelayMs;
};

}  // namespace vyx::service
