#pragma once
// IEnumMediaTypes over a CBasePin's GetMediaType(int, CMediaType*); holds a reference on the
// pin (and so on its filter).
//
// Threads: an enumerator is used by one thread at a time, as COM enumerators are.
#include <windows.h>
#include <strmif.h>

class CBasePin;

class CEnumMediaTypes : public IEnumMediaTypes {
public:
    // pEnumMediaTypes is the enumerator being cloned, else null.
    CEnumMediaTypes(CBasePin* pPin, CEnumMediaTypes* pEnumMediaTypes);
    virtual ~CEnumMediaTypes();
    CEnumMediaTypes(const CEnumMediaTypes&) = delete;
    CEnumMediaTypes& operator=(const CEnumMediaTypes&) = delete;

    // IUnknown
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

    // IEnumMediaTypes; VFW_E_ENUM_OUT_OF_SYNC after the pin's type version changed.
    // Fetched types are task memory, for the caller to free with DeleteMediaType.
    STDMETHODIMP Next(ULONG cMediaTypes, AM_MEDIA_TYPE** ppMediaTypes, ULONG* pcFetched) override;
    STDMETHODIMP Skip(ULONG cMediaTypes) override;
    STDMETHODIMP Reset() override;
    STDMETHODIMP Clone(IEnumMediaTypes** ppEnum) override;

private:
    bool AreWeOutOfSync() const;

    volatile LONG m_cRef;
    int m_Position;
    LONG m_Version;
    CBasePin* m_pPin;  // counted
};
