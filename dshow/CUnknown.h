#pragma once
// COM identity and aggregation support: objects implement INonDelegatingUnknown, and their
// interface parts forward IUnknown to the controlling unknown through DECLARE_IUNKNOWN.
#include <windows.h>
#include <unknwn.h>

#include "CBaseObject.h"

#ifndef INONDELEGATINGUNKNOWN_DEFINED
#define INONDELEGATINGUNKNOWN_DEFINED
// Same vtable layout as IUnknown, so a non-aggregated object is its own controlling unknown.
struct INonDelegatingUnknown {
    virtual HRESULT STDMETHODCALLTYPE NonDelegatingQueryInterface(REFIID riid, void** ppv) = 0;
    virtual ULONG STDMETHODCALLTYPE NonDelegatingAddRef() = 0;
    virtual ULONG STDMETHODCALLTYPE NonDelegatingRelease() = 0;
};
#endif
typedef INonDelegatingUnknown* PNDUNKNOWN;

class CUnknown : public INonDelegatingUnknown, public CBaseObject {
public:
    // pUnk is the outer unknown when aggregated, else null (the object controls itself).
    CUnknown(LPCTSTR pName, LPUNKNOWN pUnk);
    CUnknown(LPCTSTR pName, LPUNKNOWN pUnk, HRESULT* phr);
    ~CUnknown() override = default;

    LPUNKNOWN GetOwner() const { return m_pUnknown; }

    // IUnknown only; E_POINTER for a null ppv, E_NOINTERFACE otherwise.
    STDMETHODIMP NonDelegatingQueryInterface(REFIID riid, void** ppv) override;
    // Return the real count; the last release deletes the object.
    STDMETHODIMP_(ULONG) NonDelegatingAddRef() override;
    STDMETHODIMP_(ULONG) NonDelegatingRelease() override;

protected:
    volatile LONG m_cRef;

private:
    const LPUNKNOWN m_pUnknown;
};

// Hands out pUnk with a reference: E_POINTER for a null ppv, else S_OK.
HRESULT WINAPI GetInterface(LPUNKNOWN pUnk, void** ppv);

#define DECLARE_IUNKNOWN                                                                      \
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {                          \
        return GetOwner()->QueryInterface(riid, ppv);                                         \
    }                                                                                         \
    STDMETHODIMP_(ULONG) AddRef() override { return GetOwner()->AddRef(); }                   \
    STDMETHODIMP_(ULONG) Release() override { return GetOwner()->Release(); }

#ifndef CheckPointer
#define CheckPointer(p, ret) \
    do {                     \
        if ((p) == nullptr)  \
            return (ret);    \
    } while (0)
#endif
