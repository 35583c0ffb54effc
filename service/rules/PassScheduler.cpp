#include "PassScheduler.h"

#include <algorithm>

namespace vyx::service {

PassScheduler::PassScheduler(ULONGLONG firstChange, DWORD quietPeriodMs, DWORD maxDelayMs)
    : m_firstChange(firstChange), m_lastChange(firstChange), m_quietPeriodMs(quietPeriodMs), m_maxDelayMs(maxDelayMs)
{}

void PassScheduler::OnChange(ULONGLONG now)
{
    m_lastChange = std::max(m_lastChange, now);
}

DWORD PassScheduler::RemainingMs(ULONGLONG now) const
{
    const ULONGLONG due = std::min(m_lastChange + m_quietPeriodMs, m_firstChange + m_maxDelayMs);
    return now >= due ? 0 : static_cast<DWORD>(due - now);
}

}  // namespace vyx::service
