#pragma once
// An output pin that delivers samples to a downstream IMemInputPin through a negotiated
// allocator: the downstream pin's own, else our CMemAllocator (some downstream filters,
// such as the sample grabber, offer none).
//
// Threads: connection hooks run on the connecting thread under the filter's state lock;
// Active and Inactive on the thread changing the filter's state; GetDeliveryBuffer,
// Deliver and the Deliver* notifications on the streaming thread. m_pInputPin and
// m_pAllocator change only while the filter is stopped.
#include <windows.h>
#include <strmif.h>
#include <wrl/client.h>

#include "CBasePin.h"

class CBaseOutputPin : public CBasePin {
public:
    CBaseOutputPin(LPCTSTR pObjectName, CBaseFilter* pFilter, CCritSec* pLock, HRESULT* phr,
                   LPCWSTR pName);

    // Connection: keeps the downstream IMemInputPin, then negotiates the allocator.
    HRESULT CheckConnect(IPin* pPin) override;
    HRESULT CompleteConnect(IPin* pReceivePin) override;
    HRESULT BreakConnect() override;

    // Downstream's allocator first, then InitAllocator's; each sized by DecideBufferSize
    // from the downstream pin's requirements and announced with NotifyAllocator.
    virtual HRESULT DecideAllocator(IMemInputPin* pPin, IMemAllocator** ppAlloc);
    virtual HRESULT DecideBufferSize(IMemAllocator* pAlloc, ALLOCATOR_PROPERTIES* ppropInputRequest) = 0;
    virtual HRESULT InitAllocator(IMemAllocator** ppAlloc);  // CMemAllocator

    // Streaming.
    virtual HRESULT GetDeliveryBuffer(IMediaSample** ppSample, REFERENCE_TIME* pStartTime,
                                      REFERENCE_TIME* pEndTime, DWORD dwFlags);
    virtual HRESULT Deliver(IMediaSample* pSample);
    virtual HRESULT DeliverEndOfStream();
    virtual HRESULT DeliverBeginFlush();
    virtual HRESULT DeliverEndFlush();
    virtual HRESULT DeliverNewSegment(REFERENCE_TIME tStart, REFERENCE_TIME tStop, double dRate);

    // Commit and decommit the allocator.
    HRESULT Active() override;
    HRESULT Inactive() override;

    // IPin calls meant for input pins: E_UNEXPECTED.
    STDMETHODIMP EndOfStream() override;
    STDMETHODIMP BeginFlush() override;
    STDMETHODIMP EndFlush() override;

protected:
    Microsoft::WRL::ComPtr<IMemAllocator> m_pAllocator;
    Microsoft::WRL::ComPtr<IMemInputPin> m_pInputPin;
};
