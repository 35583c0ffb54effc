#include "CBasePin.h"

#include <vfwmsgs.h>

#include <cstring>
#include <new>
#include <utility>

#include "CAutoLock.h"
#include "CBaseFilter.h"
#include "CEnumMediaTypes.h"
#include "MediaTypes.h"

using Microsoft::WRL::ComPtr;

namespace {

// Results that only say "not this type": a connection attempt goes on with the next type,
// and the caller hears a more telling failure if one occurred.
bool IsTypeRefusal(HRESULT hr)
{
    return hr == E_FAIL || hr == E_INVALIDARG || hr == VFW_E_TYPE_NOT_ACCEPTED;
}

}  // namespace

CBasePin::CBasePin(LPCTSTR pObjectName, CBaseFilter* pFilter, CCritSec* pLock, HRESULT*, LPCWSTR pName,
                   PIN_DIRECTION dir)
    : CUnknown(pObjectName, nullptr),
      m_pName(pName != nullptr ? pName : L""),
      m_dir(dir),
      m_pLock(pLock),
      m_bTryMyTypesFirst(false),
      m_pFilter(pFilter),
      m_pQSink(nullptr),
      m_TypeVersion(1)
{
}

CBasePin::~CBasePin() = default;

STDMETHODIMP CBasePin::NonDelegatingQueryInterface(REFIID riid, void** ppv)
{
    CheckPointer(ppv, E_POINTER);
    if (IsEqualIID(riid, IID_IPin))
        return GetInterface(static_cast<IPin*>(this), ppv);
    if (IsEqualIID(riid, IID_IQualityControl))
        return GetInterface(static_cast<IQualityControl*>(this), ppv);
    return CUnknown::NonDelegatingQueryInterface(riid, ppv);
}

STDMETHODIMP_(ULONG) CBasePin::NonDelegatingAddRef()
{
    return m_pFilter->AddRef();
}

STDMETHODIMP_(ULONG) CBasePin::NonDelegatingRelease()
{
    return m_pFilter->Release();
}

// IPin: connection

STDMETHODIMP CBasePin::Connect(IPin* pReceivePin, const AM_MEDIA_TYPE* pmt)
{
    CheckPointer(pReceivePin, E_POINTER);
    CAutoLock lock(m_pLock);
    if (m_Connected != nullptr)
        return VFW_E_ALREADY_CONNECTED;
    if (!IsStopped())
        return VFW_E_NOT_STOPPED;
    HRESULT hr = AgreeMediaType(pReceivePin, static_cast<const CMediaType*>(pmt));
    if (FAILED(hr)) {
        BreakConnect();
        return hr;
    }
    return S_OK;
}

HRESULT CBasePin::AgreeMediaType(IPin* pReceivePin, const CMediaType* pmt)
{
    if (pmt != nullptr && !pmt->IsPartiallySpecified())
        return AttemptConnection(pReceivePin, pmt);

    HRESULT failure = VFW_E_NO_ACCEPTABLE_TYPES;
    for (int pass = 0; pass < 2; ++pass) {
        const bool receiverFirst = !m_bTryMyTypesFirst;
        const bool useReceiver = (pass == 0) == receiverFirst;
        ComPtr<IEnumMediaTypes> types;
        HRESULT hr = useReceiver ? pReceivePin->EnumMediaTypes(types.GetAddressOf())
                                 : EnumMediaTypes(types.GetAddressOf());
        if (FAILED(hr) || types == nullptr)
            continue;
        hr = TryMediaTypes(pReceivePin, pmt, types.Get());
        if (SUCCEEDED(hr))
            return S_OK;
        if (!IsTypeRefusal(hr))
            failure = hr;
    }
    return failure;
}

HRESULT CBasePin::TryMediaTypes(IPin* pReceivePin, const CMediaType* pmt, IEnumMediaTypes* pEnum)
{
    HRESULT hr = pEnum->Reset();
    if (FAILED(hr))
        return hr;
    HRESULT failure = S_OK;
    for (;;) {
        AM_MEDIA_TYPE* next = nullptr;
        ULONG fetched = 0;
        hr = pEnum->Next(1, &next, &fetched);
        if (hr != S_OK || fetched != 1 || next == nullptr) {
            DeleteMediaType(next);
            return failure == S_OK ? VFW_E_NO_ACCEPTABLE_TYPES : failure;
        }
        // Take ownership: the CMediaType frees the format block, the structure is freed here.
        CMediaType type;
        std::swap(static_cast<AM_MEDIA_TYPE&>(type), *next);
        CoTaskMemFree(next);
        if (pmt == nullptr || type.MatchesPartial(pmt)) {
            hr = AttemptConnection(pReceivePin, &type);
            if (SUCCEEDED(hr))
                return hr;
            if (failure == S_OK && !IsTypeRefusal(hr))
                failure = hr;
        }
    }
}

HRESULT CBasePin::AttemptConnection(IPin* pReceivePin, const CMediaType* pmt)
{
    HRESULT hr = CheckConnect(pReceivePin);
    if (FAILED(hr)) {
        BreakConnect();
        return hr;
    }
    hr = CheckMediaType(pmt);
    if (hr != S_OK)
        return SUCCEEDED(hr) || IsTypeRefusal(hr) ? VFW_E_TYPE_NOT_ACCEPTED : hr;

    m_Connected = pReceivePin;
    hr = SetMediaType(pmt);
    if (SUCCEEDED(hr)) {
        // The peer gets the type this pin recorded, which SetMediaType may have completed
        // (a frame size the proposal left out, for example).
        hr = pReceivePin->ReceiveConnection(static_cast<IPin*>(this), &m_mt);
        if (SUCCEEDED(hr)) {
            hr = CompleteConnect(pReceivePin);
            if (SUCCEEDED(hr))
                return hr;
            pReceivePin->Disconnect();
        }
    }
    // Undo this attempt, so the next type starts from an unconnected pin.
    m_Connected.Reset();
    BreakConnect();
    return hr;
}

STDMETHODIMP CBasePin::ReceiveConnection(IPin* pConnector, const AM_MEDIA_TYPE* pmt)
{
    CheckPointer(pConnector, E_POINTER);
    CheckPointer(pmt, E_POINTER);
    CAutoLock lock(m_pLock);
    if (m_Connected != nullptr)
        return VFW_E_ALREADY_CONNECTED;
    if (!IsStopped())
        return VFW_E_NOT_STOPPED;
    HRESULT hr = CheckConnect(pConnector);
    if (FAILED(hr)) {
        BreakConnect();
        return hr;
    }
    const auto* type = static_cast<const CMediaType*>(pmt);
    hr = CheckMediaType(type);
    if (hr != S_OK) {
        BreakConnect();
        return SUCCEEDED(hr) || IsTypeRefusal(hr) ? VFW_E_TYPE_NOT_ACCEPTED : hr;
    }
    m_Connected = pConnector;
    hr = SetMediaType(type);
    if (SUCCEEDED(hr)) {
        hr = CompleteConnect(pConnector);
        if (SUCCEEDED(hr))
            return S_OK;
    }
    m_Connected.Reset();
    BreakConnect();
    return hr;
}

STDMETHODIMP CBasePin::Disconnect()
{
    CAutoLock lock(m_pLock);
    if (!IsStopped())
        return VFW_E_NOT_STOPPED;
    return DisconnectInternal();
}

HRESULT CBasePin::DisconnectInternal()
{
    if (m_Connected == nullptr)
        return S_FALSE;
    HRESULT hr = BreakConnect();
    if (FAILED(hr))
        return hr;
    m_Connected.Reset();
    return S_OK;
}

STDMETHODIMP CBasePin::ConnectedTo(IPin** pPin)
{
    CheckPointer(pPin, E_POINTER);
    CAutoLock lock(m_pLock);
    *pPin = m_Connected.Get();
    if (*pPin == nullptr)
        return VFW_E_NOT_CONNECTED;
    (*pPin)->AddRef();
    return S_OK;
}

STDMETHODIMP CBasePin::ConnectionMediaType(AM_MEDIA_TYPE* pmt)
{
    CheckPointer(pmt, E_POINTER);
    CAutoLock lock(m_pLock);
    if (m_Connected == nullptr) {
        InitMediaType(pmt);
        return VFW_E_NOT_CONNECTED;
    }
    return CopyMediaType(pmt, &m_mt);
}

// IPin: information

STDMETHODIMP CBasePin::QueryPinInfo(PIN_INFO* pInfo)
{
    CheckPointer(pInfo, E_POINTER);
    pInfo->pFilter = m_pFilter;
    if (m_pFilter != nullptr)
        m_pFilter->AddRef();
    const size_t count = m_pName.size() < MAX_PIN_NAME - 1 ? m_pName.size() : MAX_PIN_NAME - 1;
    std::memcpy(pInfo->achName, m_pName.data(), count * sizeof(WCHAR));
    pInfo->achName[count] = L'\0';
    pInfo->dir = m_dir;
    return S_OK;
}

STDMETHODIMP CBasePin::QueryDirection(PIN_DIRECTION* pPinDir)
{
    CheckPointer(pPinDir, E_POINTER);
    *pPinDir = m_dir;
    return S_OK;
}

STDMETHODIMP CBasePin::QueryId(LPWSTR* Id)
{
    return AMGetWideString(m_pName.c_str(), Id);
}

STDMETHODIMP CBasePin::QueryAccept(const AM_MEDIA_TYPE* pmt)
{
    CheckPointer(pmt, E_POINTER);
    CAutoLock lock(m_pLock);
    HRESULT hr = CheckMediaType(static_cast<const CMediaType*>(pmt));
    return hr == S_OK ? S_OK : S_FALSE;
}

STDMETHODIMP CBasePin::EnumMediaTypes(IEnumMediaTypes** ppEnum)
{
    CheckPointer(ppEnum, E_POINTER);
    *ppEnum = new (std::nothrow) CEnumMediaTypes(this, nullptr);
    return *ppEnum != nullptr ? S_OK : E_OUTOFMEMORY;
}

STDMETHODIMP CBasePin::QueryInternalConnections(IPin**, ULONG*)
{
    return E_NOTIMPL;
}

// IPin: streaming

STDMETHODIMP CBasePin::EndOfStream()
{
    return S_OK;
}

STDMETHODIMP CBasePin::NewSegment(REFERENCE_TIME, REFERENCE_TIME, double)
{
    return S_OK;
}

// IQualityControl

STDMETHODIMP CBasePin::Notify(IBaseFilter*, Quality)
{
    return E_NOTIMPL;
}

STDMETHODIMP CBasePin::SetSink(IQualityControl* piqc)
{
    CAutoLock lock(m_pLock);
    m_pQSink = piqc;
    return S_OK;
}

BOOL CBasePin::IsStopped()
{
    return m_pFilter->IsStopped();
}

LONG CBasePin::GetMediaTypeVersion()
{
    return m_TypeVersion;
}

void CBasePin::IncrementTypeVersion()
{
    InterlockedIncrement(&m_TypeVersion);
}

HRESULT CBasePin::Active()
{
    return S_OK;
}

HRESULT CBasePin::Inactive()
{
    return S_OK;
}

HRESULT CBasePin::Run(REFERENCE_TIME)
{
    return S_OK;
}

// Connection hooks

HRESULT CBasePin::SetMediaType(const CMediaType* pmt)
{
    return m_mt.Set(*pmt);
}

HRESULT CBasePin::CheckConnect(IPin* pPin)
{
    PIN_DIRECTION dir;
    HRESULT hr = pPin->QueryDirection(&dir);
    if (FAILED(hr))
        return hr;
    return dir == m_dir ? VFW_E_INVALID_DIRECTION : S_OK;
}

HRESULT CBasePin::BreakConnect()
{
    return S_OK;
}

HRESULT CBasePin::CompleteConnect(IPin*)
{
    return S_OK;
}

HRESULT CBasePin::GetMediaType(int, CMediaType*)
{
    return E_UNEXPECTED;
}
