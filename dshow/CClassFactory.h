#pragma once
// IClassFactory for one CFactoryTemplate entry.
//
// Threads: any thread. m_cLocked (server locks of the module) and m_cRef are interlocked.
#include <windows.h>
#include <unknwn.h>

#include "CBaseObject.h"
#include "CFactoryTemplate.h"

class CClassFactory : public IClassFactory, public CBaseObject {
public:
    explicit CClassFactory(const CFactoryTemplate* pTemplate);

    // IUnknown: IUnknown and IClassFactory.
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

    // IClassFactory. An aggregating caller must ask for IUnknown (else E_NOINTERFACE). A
    // creation function that reports a failure has its object deleted and the failure
    // returned; one that returns no object gives its failure or E_OUTOFMEMORY.
    STDMETHODIMP CreateInstance(LPUNKNOWN pUnkOuter, REFIID riid, void** ppv) override;
    STDMETHODIMP LockServer(BOOL fLock) override;

    static BOOL IsLocked() { return m_cLocked > 0; }

private:
    const CFactoryTemplate* const m_pTemplate;
    volatile LONG m_cRef;
    static volatile LONG m_cLocked;
};
