#include "CAMThread.h"

#include <objbase.h>

#include "CAutoLock.h"

CAMThread::CAMThread(HRESULT* phr)
    : m_hThread(nullptr), m_EventSend(TRUE, phr), m_EventComplete(FALSE, phr), m_dwParam(0), m_dwReturnVal(0)
{
}

CAMThread::~CAMThread()
{
    Close();
}

BOOL CAMThread::Create()
{
    CAutoLock lock(&m_AccessLock);
    if (ThreadExists())
        return FALSE;
    m_requestPending.store(false);
    m_EventSend.Reset();
    DWORD threadId = 0;
    m_hThread = CreateThread(nullptr, 0, &CAMThread::InitialThreadProc, this, 0, &threadId);
    return m_hThread != nullptr;
}

DWORD CAMThread::CallWorker(DWORD dwParam)
{
    CAutoLock lock(&m_AccessLock);
    if (!ThreadExists())
        return static_cast<DWORD>(E_FAIL);
    m_dwParam = dwParam;
    m_requestPending.store(true, std::memory_order_release);
    m_EventSend.Set();
    // A worker that has ended will never reply: waiting on its handle too keeps the caller
    // from hanging.
    HANDLE waits[2] = {m_EventComplete, m_hThread};
    DWORD which = WaitForMultipleObjects(2, waits, FALSE, INFINITE);
    if (which == WAIT_OBJECT_0)
        return m_dwReturnVal;
    // The worker may have replied just before it ended.
    if (m_EventComplete.Check())
        return m_dwReturnVal;
    m_requestPending.store(false);
    m_EventSend.Reset();
    return static_cast<DWORD>(E_FAIL);
}

void CAMThread::Close()
{
    CAutoLock lock(&m_AccessLock);
    if (m_hThread == nullptr)
        return;
    WaitForSingleObject(m_hThread, INFINITE);
    CloseHandle(m_hThread);
    m_hThread = nullptr;
}

DWORD CAMThread::GetRequest()
{
    m_EventSend.Wait();
    return m_dwParam;
}

BOOL CAMThread::CheckRequest(DWORD* pParam)
{
    if (!m_requestPending.load(std::memory_order_acquire))
        return FALSE;
    if (pParam != nullptr)
        *pParam = m_dwParam;
    return TRUE;
}

void CAMThread::Reply(DWORD dwReturn)
{
    m_dwReturnVal = dwReturn;
    // Cleared before the reply so the worker does not see the answered request again.
    m_requestPending.store(false);
    m_EventSend.Reset();
    m_EventComplete.Set();
}

DWORD WINAPI CAMThread::InitialThreadProc(LPVOID pv)
{
    HRESULT hrCoInit = CoInitializeHelper();
    DWORD result = static_cast<CAMThread*>(pv)->ThreadProc();
    if (SUCCEEDED(hrCoInit))
        CoUninitialize();
    return result;
}

HRESULT CAMThread::CoInitializeHelper()
{
    // The worker may create or call COM objects of its own; multithreaded, so it needs no
    // message loop.
    return CoInitializeEx(nullptr, COINIT_MULTITHREADED);
}
