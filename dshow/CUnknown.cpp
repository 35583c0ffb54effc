#include "CUnknown.h"

CUnknown::CUnknown(LPCTSTR pName, LPUNKNOWN pUnk)
    : CBaseObject(pName),
      m_cRef(0),
      // Without an outer unknown the object is its own: INonDelegatingUnknown has IUnknown's layout.
      m_pUnknown(pUnk != nullptr ? pUnk : reinterpret_cast<LPUNKNOWN>(static_cast<PNDUNKNOWN>(this)))
{
}

CUnknown::CUnknown(LPCTSTR pName, LPUNKNOWN pUnk, HRESULT*) : CUnknown(pName, pUnk)
{
}

STDMETHODIMP CUnknown::NonDelegatingQueryInterface(REFIID riid, void** ppv)
{
    CheckPointer(ppv, E_POINTER);
    if (IsEqualIID(riid, IID_IUnknown))
        return GetInterface(reinterpret_cast<LPUNKNOWN>(static_cast<PNDUNKNOWN>(this)), ppv);
    *ppv = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) CUnknown::NonDelegatingAddRef()
{
    return static_cast<ULONG>(InterlockedIncrement(&m_cRef));
}

STDMETHODIMP_(ULONG) CUnknown::NonDelegatingRelease()
{
    LONG ref = InterlockedDecrement(&m_cRef);
    if (ref == 0) {
        // Keeps a reference taken and dropped during destruction from deleting twice.
        m_cRef = 1;
        delete this;
        return 0;
    }
    return static_cast<ULONG>(ref);
}

HRESULT WINAPI GetInterface(LPUNKNOWN pUnk, void** ppv)
{
    CheckPointer(ppv, E_POINTER);
    *ppv = pUnk;
    pUnk->AddRef();
    return S_OK;
}
