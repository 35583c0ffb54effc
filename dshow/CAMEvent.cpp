#include "CAMEvent.h"

CAMEvent::CAMEvent(BOOL fManualReset, HRESULT* phr) : m_hEvent(CreateEventW(nullptr, fManualReset, FALSE, nullptr))
{
    if (m_hEvent == nullptr && phr != nullptr)
        *phr = HRESULT_FROM_WIN32(GetLastError());
}

CAMEvent::~CAMEvent()
{
    if (m_hEvent != nullptr)
        CloseHandle(m_hEvent);
}
