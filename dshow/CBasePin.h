#pragma once
// IPin and IQualityControl for a pin owned by a CBaseFilter. The pin's AddRef and Release
// count on its filter: any interface obtained from a pin keeps the whole filter alive.
//
// Threads: application and graph threads call the IPin methods. Connection, disconnection,
// ConnectionMediaType and QueryAccept run under m_pLock (the filter's state lock), which
// guards m_Connected and m_mt; connections are refused unless the filter is stopped, so a
// streaming thread may read m_mt and m_Connected without the lock while the filter is active.
#include <windows.h>
#include <strmif.h>
#include <wrl/client.h>

#include <string>

#include "CCritSec.h"
#include "CMediaType.h"
#include "CUnknown.h"

class CBaseFilter;

class CBasePin : public CUnknown, public IPin, public IQualityControl {
public:
    CBasePin(LPCTSTR pObjectName, CBaseFilter* pFilter, CCritSec* pLock, HRESULT* phr,
             LPCWSTR pName, PIN_DIRECTION dir);
    ~CBasePin() override;

    DECLARE_IUNKNOWN

    // IPin, IQualityControl, then CUnknown's.
    STDMETHODIMP NonDelegatingQueryInterface(REFIID riid, void** ppv) override;
    // Count on the filter and return the filter's count.
    STDMETHODIMP_(ULONG) NonDelegatingAddRef() override;
    STDMETHODIMP_(ULONG) NonDelegatingRelease() override;

    // IPin
    // With a fully specified pmt tries that type only; otherwise the receiving pin's types,
    // then this pin's (the other order with m_bTryMyTypesFirst), filtered by a partial pmt.
    STDMETHODIMP Connect(IPin* pReceivePin, const AM_MEDIA_TYPE* pmt) override;
    STDMETHODIMP ReceiveConnection(IPin* pConnector, const AM_MEDIA_TYPE* pmt) override;
    STDMETHODIMP Disconnect() override;
    STDMETHODIMP ConnectedTo(IPin** pPin) override;
    STDMETHODIMP ConnectionMediaType(AM_MEDIA_TYPE* pmt) override;
    STDMETHODIMP QueryPinInfo(PIN_INFO* pInfo) override;
    STDMETHODIMP QueryDirection(PIN_DIRECTION* pPinDir) override;
    STDMETHODIMP QueryId(LPWSTR* Id) override;
    // S_OK when CheckMediaType accepts the type, S_FALSE otherwise.
    STDMETHODIMP QueryAccept(const AM_MEDIA_TYPE* pmt) override;
    STDMETHODIMP EnumMediaTypes(IEnumMediaTypes** ppEnum) override;
    STDMETHODIMP QueryInternalConnections(IPin** apPin, ULONG* nPin) override;
    STDMETHODIMP EndOfStream() override;
    STDMETHODIMP NewSegment(REFERENCE_TIME tStart, REFERENCE_TIME tStop, double dRate) override;

    // IQualityControl
    STDMETHODIMP Notify(IBaseFilter* pSender, Quality q) override;
    // The sink is not reference-counted.
    STDMETHODIMP SetSink(IQualityControl* piqc) override;

    BOOL IsConnected() const { return m_Connected != nullptr; }
    IPin* GetConnected() { return m_Connected.Get(); }
    BOOL IsStopped();
    LPWSTR Name() { return m_pName.data(); }

    virtual LONG GetMediaTypeVersion();
    void IncrementTypeVersion();  // makes open media type enumerators report out of sync

    // Called by the filter on state changes of a connected pin.
    virtual HRESULT Active();
    virtual HRESULT Inactive();
    virtual HRESULT Run(REFERENCE_TIME tStart);

    // Connection hooks.
    virtual HRESULT CheckMediaType(const CMediaType* pmt) = 0;
    virtual HRESULT SetMediaType(const CMediaType* pmt);  // records the connection type
    virtual HRESULT CheckConnect(IPin* pPin);             // refuses a pin of the same direction
    virtual HRESULT BreakConnect();
    virtual HRESULT CompleteConnect(IPin* pReceivePin);
    // The pin's preferred types by position: S_OK, VFW_S_NO_MORE_ITEMS past the end.
    virtual HRESULT GetMediaType(int iPosition, CMediaType* pMediaType);

protected:
    HRESULT AttemptConnection(IPin* pReceivePin, const CMediaType* pmt);
    HRESULT TryMediaTypes(IPin* pReceivePin, const CMediaType* pmt, IEnumMediaTypes* pEnum);
    HRESULT AgreeMediaType(IPin* pReceivePin, const CMediaType* pmt);
    virtual HRESULT DisconnectInternal();

    std::wstring m_pName;
    Microsoft::WRL::ComPtr<IPin> m_Connected;
    PIN_DIRECTION m_dir;
    CCritSec* m_pLock;
    bool m_bTryMyTypesFirst;  // propose this pin's types before the receiving pin's
    CBaseFilter* m_pFilter;
    IQualityControl* m_pQSink;  // not counted
    volatile LONG m_TypeVersion;
    CMediaType m_mt;
};
