#pragma once
// IBaseFilter (with IMediaFilter and IPersist) and IAMovieSetup for a filter whose pins
// derive from CBasePin. Derived classes supply the pins through GetPinCount and GetPin.
//
// Threads: any application or graph thread calls the interface methods. m_pLock (the
// filter's state lock, owned by the derived class) guards m_State, m_pClock, m_tStart,
// m_pName, m_pGraph and m_pSink; pins' connections also run under it. State changes
// (Stop, Pause, Run) are serialised by m_StateChangeLock and call the pins' Active and
// Inactive without holding m_pLock, because those wait for streaming threads, which may be
// waiting for their device or for downstream filters that call back into the pins.
// A change away from Stopped records the new state before activating the pins, and Stop
// deactivates them before recording Stopped, so connections are refused (VFW_E_NOT_STOPPED)
// for as long as any pin is active.
#include <windows.h>
#include <strmif.h>
#include <wrl/client.h>

#include <string>

#include "CCritSec.h"
#include "CUnknown.h"
#include "SetupTypes.h"

class CBasePin;

class CBaseFilter : public CUnknown, public IBaseFilter, public IAMovieSetup {
    friend class CBasePin;

public:
    CBaseFilter(LPCTSTR pName, LPUNKNOWN pUnk, CCritSec* pLock, REFCLSID clsid);
    CBaseFilter(LPCTSTR pName, LPUNKNOWN pUnk, CCritSec* pLock, REFCLSID clsid, HRESULT* phr);
    ~CBaseFilter() override;

    DECLARE_IUNKNOWN

    // IBaseFilter, IMediaFilter, IPersist, IAMovieSetup, then CUnknown's.
    STDMETHODIMP NonDelegatingQueryInterface(REFIID riid, void** ppv) override;
    // The last release stops the filter before deleting it, so no streaming thread
    // outlives the derived parts it calls.
    STDMETHODIMP_(ULONG) NonDelegatingRelease() override;

    // IPersist
    STDMETHODIMP GetClassID(CLSID* pClsID) override;

    // IMediaFilter
    STDMETHODIMP Stop() override;
    STDMETHODIMP Pause() override;
    STDMETHODIMP Run(REFERENCE_TIME tStart) override;
    STDMETHODIMP GetState(DWORD dwMSecs, FILTER_STATE* State) override;
    STDMETHODIMP SetSyncSource(IReferenceClock* pClock) override;
    STDMETHODIMP GetSyncSource(IReferenceClock** pClock) override;

    // IBaseFilter
    STDMETHODIMP EnumPins(IEnumPins** ppEnum) override;
    // Matches the pins' QueryId; VFW_E_NOT_FOUND when none does.
    STDMETHODIMP FindPin(LPCWSTR Id, IPin** ppPin) override;
    STDMETHODIMP QueryFilterInfo(FILTER_INFO* pInfo) override;
    // The graph is not reference-counted: it owns the filter, not the other way round.
    STDMETHODIMP JoinFilterGraph(IFilterGraph* pGraph, LPCWSTR pName) override;
    STDMETHODIMP QueryVendorInfo(LPWSTR* pVendorInfo) override;

    // IAMovieSetup: registers GetSetupData's filter; S_FALSE when there is none.
    STDMETHODIMP Register() override;
    STDMETHODIMP Unregister() override;

    BOOL IsActive();
    BOOL IsStopped();

    // Sends an event to the graph's event sink; E_NOTIMPL outside a graph. EC_COMPLETE
    // carries this filter as its second parameter.
    HRESULT NotifyEvent(long EventCode, LONG_PTR EventParam1, LONG_PTR EventParam2);
    IFilterGraph* GetFilterGraph() { return m_pGraph; }

    virtual LONG GetPinVersion();
    void IncrementPinVersion();

    virtual int GetPinCount() = 0;
    virtual CBasePin* GetPin(int n) = 0;
    virtual LPAMOVIESETUP_FILTER GetSetupData() { return nullptr; }

protected:
    FILTER_STATE m_State;
    Microsoft::WRL::ComPtr<IReferenceClock> m_pClock;
    REFERENCE_TIME m_tStart;
    CLSID m_clsid;
    CCritSec* m_pLock;
    std::wstring m_pName;  // the name given by JoinFilterGraph
    IFilterGraph* m_pGraph;     // not counted
    IMediaEventSink* m_pSink;   // the graph's, not counted
    volatile LONG m_PinVersion;
    CCritSec m_StateChangeLock;  // recursive: a derived filter's state change may hold it around the base's

private:
    HRESULT RegisterSetupData(BOOL bRegister);
};
