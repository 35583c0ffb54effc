#include "ServiceSignals.h"

#include "DeviceEventCheck.h"

namespace vyx::service {

ServiceSignals::ServiceSignals()
    : m_stop(::CreateEventW(nullptr, TRUE, FALSE, nullptr)), m_change(::CreateEventW(nullptr, FALSE, FALSE, nullptr))
{
    if (!m_stop || !m_change) {
        m_creationError = ::GetLastError();
    }
}

void ServiceSignals::Stop()
{
    ::SetEvent(m_stop.Get());
    ::SetEvent(m_change.Get());
}

bool ServiceSignals::StopSignalled() const
{
    return ::WaitForSingleObject(m_stop.Get(), 0) == WAIT_OBJECT_0;
}

DWORD ServiceSignals::OnDeviceEvent(DWORD eventType, const void* eventData)
{
    const DeviceEventVerdict verdict = JudgeDeviceEvent(eventType, eventData);
    if (verdict.counted) {
        m_lastDeviceEvent.exchange(static_cast<LONG>(eventType));
        m_generation.fetch_add(1);
        ::SetEvent(m_change.Get());
    }
    return verdict.result;
}

}  // namespace vyx::service
