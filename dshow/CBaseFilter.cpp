#include "CBaseFilter.h"

#include <control.h>
#include <evcode.h>
#include <uuids.h>
#include <vfwmsgs.h>

#include <cstring>
#include <new>

#include "CAutoLock.h"
#include "CBasePin.h"
#include "CEnumPins.h"
#include "DllEntry.h"
#include "MediaTypes.h"

using Microsoft::WRL::ComPtr;

CBaseFilter::CBaseFilter(LPCTSTR pName, LPUNKNOWN pUnk, CCritSec* pLock, REFCLSID clsid)
    : CUnknown(pName, pUnk),
      m_State(State_Stopped),
      m_tStart(0),
      m_clsid(clsid),
      m_pLock(pLock),
      m_pGraph(nullptr),
      m_pSink(nullptr),
      m_PinVersion(1)
{
}

CBaseFilter::CBaseFilter(LPCTSTR pName, LPUNKNOWN pUnk, CCritSec* pLock, REFCLSID clsid, HRESULT*)
    : CBaseFilter(pName, pUnk, pLock, clsid)
{
}

CBaseFilter::~CBaseFilter() = default;

STDMETHODIMP CBaseFilter::NonDelegatingQueryInterface(REFIID riid, void** ppv)
{
    CheckPointer(ppv, E_POINTER);
    if (IsEqualIID(riid, IID_IBaseFilter))
        return GetInterface(static_cast<IBaseFilter*>(this), ppv);
    if (IsEqualIID(riid, IID_IMediaFilter))
        return GetInterface(static_cast<IMediaFilter*>(this), ppv);
    if (IsEqualIID(riid, IID_IPersist))
        return GetInterface(static_cast<IPersist*>(this), ppv);
    if (IsEqualIID(riid, IID_IAMovieSetup))
        return GetInterface(static_cast<IAMovieSetup*>(this), ppv);
    return CUnknown::NonDelegatingQueryInterface(riid, ppv);
}

STDMETHODIMP_(ULONG) CBaseFilter::NonDelegatingRelease()
{
    LONG ref = InterlockedDecrement(&m_cRef);
    if (ref != 0)
        return static_cast<ULONG>(ref);
    // Held while stopping: pins count on the filter, and the streaming threads must end
    // while the derived parts they call still exist.
    m_cRef = 1;
    if (!IsStopped())
        Stop();
    delete this;
    return 0;
}

// IPersist

STDMETHODIMP CBaseFilter::GetClassID(CLSID* pClsID)
{
    CheckPointer(pClsID, E_POINTER);
    *pClsID = m_clsid;
    return S_OK;
}

// IMediaFilter

STDMETHODIMP CBaseFilter::Stop()
{
    CAutoLock change(&m_StateChangeLock);
    if (IsStopped())
        return S_OK;
    HRESULT hr = S_OK;
    const int pins = GetPinCount();
    for (int i = 0; i < pins; ++i) {
        CBasePin* pin = GetPin(i);
        if (pin == nullptr)
            break;
        if (pin->IsConnected()) {
            HRESULT hrPin = pin->Inactive();
            if (FAILED(hrPin) && SUCCEEDED(hr))
                hr = hrPin;
        }
    }
    CAutoLock lock(m_pLock);
    m_State = State_Stopped;
    return hr;
}

STDMETHODIMP CBaseFilter::Pause()
{
    CAutoLock change(&m_StateChangeLock);
    {
        CAutoLock lock(m_pLock);
        if (m_State != State_Stopped) {
            m_State = State_Paused;
            return S_OK;
        }
        m_State = State_Paused;
    }
    const int pins = GetPinCount();
    for (int i = 0; i < pins; ++i) {
        CBasePin* pin = GetPin(i);
        if (pin == nullptr)
            break;
        if (!pin->IsConnected())
            continue;
        HRESULT hr = pin->Active();
        if (FAILED(hr)) {
            // Leave no pin half started: the filter stays stopped.
            for (int j = 0; j < i; ++j) {
                CBasePin* started = GetPin(j);
                if (started != nullptr && started->IsConnected())
                    started->Inactive();
            }
            CAutoLock lock(m_pLock);
            m_State = State_Stopped;
            return hr;
        }
    }
    return S_OK;
}

STDMETHODIMP CBaseFilter::Run(REFERENCE_TIME tStart)
{
    CAutoLock change(&m_StateChangeLock);
    {
        CAutoLock lock(m_pLock);
        m_tStart = tStart;
    }
    if (IsStopped()) {
        HRESULT hr = Pause();
        if (FAILED(hr))
            return hr;
    }
    FILTER_STATE previous;
    {
        CAutoLock lock(m_pLock);
        previous = m_State;
        m_State = State_Running;
    }
    if (previous == State_Running)
        return S_OK;
    const int pins = GetPinCount();
    for (int i = 0; i < pins; ++i) {
        CBasePin* pin = GetPin(i);
        if (pin == nullptr)
            break;
        if (pin->IsConnected()) {
            HRESULT hr = pin->Run(tStart);
            if (FAILED(hr)) {
                CAutoLock lock(m_pLock);
                m_State = previous;
                return hr;
            }
        }
    }
    return S_OK;
}

STDMETHODIMP CBaseFilter::GetState(DWORD, FILTER_STATE* State)
{
    CheckPointer(State, E_POINTER);
    CAutoLock lock(m_pLock);
    *State = m_State;
    return S_OK;
}

STDMETHODIMP CBaseFilter::SetSyncSource(IReferenceClock* pClock)
{
    CAutoLock lock(m_pLock);
    m_pClock = pClock;
    return S_OK;
}

STDMETHODIMP CBaseFilter::GetSyncSource(IReferenceClock** pClock)
{
    CheckPointer(pClock, E_POINTER);
    CAutoLock lock(m_pLock);
    *pClock = m_pClock.Get();
    if (*pClock != nullptr)
        (*pClock)->AddRef();
    return S_OK;
}

// IBaseFilter

STDMETHODIMP CBaseFilter::EnumPins(IEnumPins** ppEnum)
{
    CheckPointer(ppEnum, E_POINTER);
    *ppEnum = new (std::nothrow) CEnumPins(this, nullptr);
    return *ppEnum != nullptr ? S_OK : E_OUTOFMEMORY;
}

STDMETHODIMP CBaseFilter::FindPin(LPCWSTR Id, IPin** ppPin)
{
    CheckPointer(ppPin, E_POINTER);
    *ppPin = nullptr;
    CheckPointer(Id, E_POINTER);
    CAutoLock lock(m_pLock);
    const int pins = GetPinCount();
    for (int i = 0; i < pins; ++i) {
        CBasePin* pin = GetPin(i);
        if (pin == nullptr)
            break;
        LPWSTR pinId = nullptr;
        if (FAILED(pin->QueryId(&pinId)))
            continue;
        const bool match = wcscmp(pinId, Id) == 0;
        CoTaskMemFree(pinId);
        if (match)
            return GetInterface(static_cast<IPin*>(pin), reinterpret_cast<void**>(ppPin));
    }
    return VFW_E_NOT_FOUND;
}

STDMETHODIMP CBaseFilter::QueryFilterInfo(FILTER_INFO* pInfo)
{
    CheckPointer(pInfo, E_POINTER);
    CAutoLock lock(m_pLock);
    const size_t count = m_pName.size() < MAX_FILTER_NAME - 1 ? m_pName.size() : MAX_FILTER_NAME - 1;
    std::memcpy(pInfo->achName, m_pName.data(), count * sizeof(WCHAR));
    pInfo->achName[count] = L'\0';
    pInfo->pGraph = m_pGraph;
    if (m_pGraph != nullptr)
        m_pGraph->AddRef();
    return S_OK;
}

STDMETHODIMP CBaseFilter::JoinFilterGraph(IFilterGraph* pGraph, LPCWSTR pName)
{
    CAutoLock lock(m_pLock);
    m_pGraph = pGraph;
    m_pSink = nullptr;
    if (pGraph != nullptr) {
        // Not counted, like the graph itself: the graph outlives its membership.
        ComPtr<IMediaEventSink> sink;
        if (SUCCEEDED(pGraph->QueryInterface(IID_IMediaEventSink, reinterpret_cast<void**>(sink.GetAddressOf()))))
            m_pSink = sink.Get();
    }
    m_pName = pName != nullptr ? pName : L"";
    return S_OK;
}

STDMETHODIMP CBaseFilter::QueryVendorInfo(LPWSTR*)
{
    return E_NOTIMPL;
}

// IAMovieSetup

STDMETHODIMP CBaseFilter::Register()
{
    return RegisterSetupData(TRUE);
}

STDMETHODIMP CBaseFilter::Unregister()
{
    return RegisterSetupData(FALSE);
}

HRESULT CBaseFilter::RegisterSetupData(BOOL bRegister)
{
    const AMOVIESETUP_FILTER* setup = GetSetupData();
    if (setup == nullptr)
        return S_FALSE;
    ComPtr<IFilterMapper2> mapper;
    HRESULT hr = CoCreateInstance(CLSID_FilterMapper2, nullptr, CLSCTX_INPROC_SERVER, IID_IFilterMapper2,
                                  reinterpret_cast<void**>(mapper.GetAddressOf()));
    if (FAILED(hr))
        return hr;
    return AMovieSetupRegisterFilter2(setup, mapper.Get(), bRegister);
}

BOOL CBaseFilter::IsActive()
{
    CAutoLock lock(m_pLock);
    return m_State != State_Stopped;
}

BOOL CBaseFilter::IsStopped()
{
    CAutoLock lock(m_pLock);
    return m_State == State_Stopped;
}

HRESULT CBaseFilter::NotifyEvent(long EventCode, LONG_PTR EventParam1, LONG_PTR EventParam2)
{
    IMediaEventSink* sink;
    {
        CAutoLock lock(m_pLock);
        sink = m_pSink;
    }
    if (EventCode == EC_COMPLETE)
        EventParam2 = reinterpret_cast<LONG_PTR>(static_cast<IBaseFilter*>(this));
    if (sink == nullptr)
        return E_NOTIMPL;
    return sink->Notify(EventCode, EventParam1, EventParam2);
}

LONG CBaseFilter::GetPinVersion()
{
    return m_PinVersion;
}

void CBaseFilter::IncrementPinVersion()
{
    InterlockedIncrement(&m_PinVersion);
}
