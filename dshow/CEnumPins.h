#pragma once
// IEnumPins over a CBaseFilter's pins; holds a reference on the filter.
//
// Threads: an enumerator is used by one thread at a time, as COM enumerators are.
#include <windows.h>
#include <strmif.h>

class CBaseFilter;

class CEnumPins : public IEnumPins {
public:
    // pEnumPins is the enumerator being cloned, else null.
    CEnumPins(CBaseFilter* pFilter, CEnumPins* pEnumPins);
    virtual ~CEnumPins();
    CEnumPins(const CEnumPins&) = delete;
    CEnumPins& operator=(const CEnumPins&) = delete;

    // IUnknown
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

    // IEnumPins; VFW_E_ENUM_OUT_OF_SYNC after the filter's pins changed.
    STDMETHODIMP Next(ULONG cPins, IPin** ppPins, ULONG* pcFetched) override;
    STDMETHODIMP Skip(ULONG cPins) override;
    STDMETHODIMP Reset() override;
    STDMETHODIMP Clone(IEnumPins** ppEnum) override;

private:
    bool AreWeOutOfSync() const;

    volatile LONG m_cRef;
    int m_Position;
    LONG m_Version;
    CBaseFilter* m_pFilter;  // counted
};
