#include "CEnumPins.h"

#include <vfwmsgs.h>

#include <new>

#include "CBaseFilter.h"
#include "CBasePin.h"

CEnumPins::CEnumPins(CBaseFilter* pFilter, CEnumPins* pEnumPins)
    : m_cRef(1),
      m_Position(pEnumPins != nullptr ? pEnumPins->m_Position : 0),
      m_Version(pEnumPins != nullptr ? pEnumPins->m_Version : pFilter->GetPinVersion()),
      m_pFilter(pFilter)
{
    m_pFilter->AddRef();
}

CEnumPins::~CEnumPins()
{
    m_pFilter->Release();
}

STDMETHODIMP CEnumPins::QueryInterface(REFIID riid, void** ppv)
{
    if (ppv == nullptr)
        return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IEnumPins)) {
        *ppv = static_cast<IEnumPins*>(this);
        AddRef();
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) CEnumPins::AddRef()
{
    return static_cast<ULONG>(InterlockedIncrement(&m_cRef));
}

STDMETHODIMP_(ULONG) CEnumPins::Release()
{
    LONG ref = InterlockedDecrement(&m_cRef);
    if (ref == 0)
        delete this;
    return static_cast<ULONG>(ref);
}

bool CEnumPins::AreWeOutOfSync() const
{
    return m_pFilter->GetPinVersion() != m_Version;
}

STDMETHODIMP CEnumPins::Next(ULONG cPins, IPin** ppPins, ULONG* pcFetched)
{
    if (ppPins == nullptr)
        return E_POINTER;
    if (pcFetched != nullptr)
        *pcFetched = 0;
    else if (cPins > 1)
        return E_INVALIDARG;
    if (AreWeOutOfSync())
        return VFW_E_ENUM_OUT_OF_SYNC;
    const int count = m_pFilter->GetPinCount();
    ULONG fetched = 0;
    while (fetched < cPins && m_Position < count) {
        CBasePin* pin = m_pFilter->GetPin(m_Position++);
        if (pin == nullptr)
            break;
        ppPins[fetched] = pin;
        pin->AddRef();
        ++fetched;
    }
    if (pcFetched != nullptr)
        *pcFetched = fetched;
    return fetched == cPins ? S_OK : S_FALSE;
}

STDMETHODIMP CEnumPins::Skip(ULONG cPins)
{
    if (AreWeOutOfSync())
        return VFW_E_ENUM_OUT_OF_SYNC;
    const ULONG left = static_cast<ULONG>(m_pFilter->GetPinCount() - m_Position);
    if (cPins > left) {
        m_Position += static_cast<int>(left);
        return S_FALSE;
    }
    m_Position += static_cast<int>(cPins);
    return S_OK;
}

STDMETHODIMP CEnumPins::Reset()
{
    m_Position = 0;
    m_Version = m_pFilter->GetPinVersion();
    return S_OK;
}

STDMETHODIMP CEnumPins::Clone(IEnumPins** ppEnum)
{
    if (ppEnum == nullptr)
        return E_POINTER;
    *ppEnum = nullptr;
    if (AreWeOutOfSync())
        return VFW_E_ENUM_OUT_OF_SYNC;
    *ppEnum = new (std::nothrow) CEnumPins(m_pFilter, this);
    return *ppEnum != nullptr ? S_OK : E_OUTOFMEMORY;
}
