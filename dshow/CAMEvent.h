#pragma once
// A Win32 event owned for the object's lifetime.
#include <windows.h>

class CAMEvent {
public:
    // Auto-reset unless fManualReset. A failed creation is reported through phr.
    explicit CAMEvent(BOOL fManualReset = FALSE, HRESULT* phr = nullptr);
    ~CAMEvent();
    CAMEvent(const CAMEvent&) = delete;
    CAMEvent& operator=(const CAMEvent&) = delete;

    operator HANDLE() const { return m_hEvent; }
    void Set() { SetEvent(m_hEvent); }
    void Reset() { ResetEvent(m_hEvent); }
    BOOL Wait(DWORD dwTimeout = INFINITE) { return WaitForSingleObject(m_hEvent, dwTimeout) == WAIT_OBJECT_0; }
    BOOL Check() { return Wait(0); }

protected:
    HANDLE m_hEvent;
};
