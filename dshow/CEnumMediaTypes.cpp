#include "CEnumMediaTypes.h"

#include <vfwmsgs.h>

#include <new>

#include "CBasePin.h"
#include "CMediaType.h"

CEnumMediaTypes::CEnumMediaTypes(CBasePin* pPin, CEnumMediaTypes* pEnumMediaTypes)
    : m_cRef(1),
      m_Position(pEnumMediaTypes != nullptr ? pEnumMediaTypes->m_Position : 0),
      m_Version(pEnumMediaTypes != nullptr ? pEnumMediaTypes->m_Version : pPin->GetMediaTypeVersion()),
      m_pPin(pPin)
{
    m_pPin->AddRef();
}

CEnumMediaTypes::~CEnumMediaTypes()
{
    m_pPin->Release();
}

STDMETHODIMP CEnumMediaTypes::QueryInterface(REFIID riid, void** ppv)
{
    if (ppv == nullptr)
        return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IEnumMediaTypes)) {
        *ppv = static_cast<IEnumMediaTypes*>(this);
        AddRef();
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) CEnumMediaTypes::AddRef()
{
    return static_cast<ULONG>(InterlockedIncrement(&m_cRef));
}

STDMETHODIMP_(ULONG) CEnumMediaTypes::Release()
{
    LONG ref = InterlockedDecrement(&m_cRef);
    if (ref == 0)
        delete this;
    return static_cast<ULONG>(ref);
}

bool CEnumMediaTypes::AreWeOutOfSync() const
{
    return m_pPin->GetMediaTypeVersion() != m_Version;
}

STDMETHODIMP CEnumMediaTypes::Next(ULONG cMediaTypes, AM_MEDIA_TYPE** ppMediaTypes, ULONG* pcFetched)
{
    if (ppMediaTypes == nullptr)
        return E_POINTER;
    if (pcFetched != nullptr)
        *pcFetched = 0;
    else if (cMediaTypes > 1)
        return E_INVALIDARG;
    if (AreWeOutOfSync())
        return VFW_E_ENUM_OUT_OF_SYNC;
    ULONG fetched = 0;
    while (fetched < cMediaTypes) {
        CMediaType type;
        if (m_pPin->GetMediaType(m_Position, &type) != S_OK)
            break;
        AM_MEDIA_TYPE* copy = CreateMediaType(&type);
        if (copy == nullptr)
            break;
        ++m_Position;
        ppMediaTypes[fetched++] = copy;
    }
    if (pcFetched != nullptr)
        *pcFetched = fetched;
    return fetched == cMediaTypes ? S_OK : S_FALSE;
}

STDMETHODIMP CEnumMediaTypes::Skip(ULONG cMediaTypes)
{
    if (AreWeOutOfSync())
        return VFW_E_ENUM_OUT_OF_SYNC;
    while (cMediaTypes > 0) {
        CMediaType type;
        if (m_pPin->GetMediaType(m_Position, &type) != S_OK)
            return S_FALSE;
        ++m_Position;
        --cMediaTypes;
    }
    return S_OK;
}

STDMETHODIMP CEnumMediaTypes::Reset()
{
    m_Position = 0;
    m_Version = m_pPin->GetMediaTypeVersion();
    return S_OK;
}

STDMETHODIMP CEnumMediaTypes::Clone(IEnumMediaTypes** ppEnum)
{
    if (ppEnum == nullptr)
        return E_POINTER;
    *ppEnum = nullptr;
    if (AreWeOutOfSync())
        return VFW_E_ENUM_OUT_OF_SYNC;
    *ppEnum = new (std::nothrow) CEnumMediaTypes(m_pPin, this);
    return *ppEnum != nullptr ? S_OK : E_OUTOFMEMORY;
}
