#pragma once
// A worker thread that takes commands one at a time: a caller posts a request with
// CallWorker and waits for the worker's Reply; the worker reads requests with GetRequest
// (blocking) or CheckRequest (polling).
//
// Threads: Create, CallWorker and Close are called by owner threads and serialise on
// m_AccessLock; GetRequest, CheckRequest and Reply are called by the worker only.
// m_dwParam is written before m_requestPending and m_EventSend are set, m_dwReturnVal
// before m_EventComplete. m_requestPending mirrors m_EventSend so that CheckRequest, which
// a streaming worker calls once per sample, reads memory rather than asking the kernel
// (under Wine, a round trip to the Wine server).
#include <windows.h>

#include <atomic>

#include "CAMEvent.h"
#include "CCritSec.h"

class CAMThread {
public:
    explicit CAMThread(HRESULT* phr = nullptr);
    virtual ~CAMThread();  // waits for a running worker; the owner must have told it to exit
    CAMThread(const CAMThread&) = delete;
    CAMThread& operator=(const CAMThread&) = delete;

    // Starts the worker; FALSE if one exists or the thread cannot be created.
    BOOL Create();
    // Posts a request and waits for the reply. E_FAIL (as DWORD) when there is no worker or it
    // ended without replying.
    DWORD CallWorker(DWORD dwParam);
    // Waits for the worker to end and closes its handle.
    void Close();
    BOOL ThreadExists() const { return m_hThread != nullptr; }

    // Worker side.
    DWORD GetRequest();
    BOOL CheckRequest(DWORD* pParam);
    void Reply(DWORD dwReturn);
    HANDLE GetRequestHandle() const { return m_EventSend; }

    static DWORD WINAPI InitialThreadProc(LPVOID pv);
    static HRESULT CoInitializeHelper();

    CCritSec m_AccessLock;  // serialises owner calls

protected:
    virtual DWORD ThreadProc() = 0;

    HANDLE m_hThread;

private:
    CAMEvent m_EventSend;      // manual reset: set while a request waits for its reply
    std::atomic<bool> m_requestPending{false};
    CAMEvent m_EventComplete;  // auto reset: the reply
    volatile DWORD m_dwParam;
    volatile DWORD m_dwReturnVal;
};
