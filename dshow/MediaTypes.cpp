#include "MediaTypes.h"

#include <cstring>

AM_MEDIA_TYPE* WINAPI CreateMediaType(const AM_MEDIA_TYPE* pSrc)
{
    if (pSrc == nullptr)
        return nullptr;
    auto* pmt = static_cast<AM_MEDIA_TYPE*>(CoTaskMemAlloc(sizeof(AM_MEDIA_TYPE)));
    if (pmt == nullptr)
        return nullptr;
    if (FAILED(CopyMediaType(pmt, pSrc))) {
        CoTaskMemFree(pmt);
        return nullptr;
    }
    return pmt;
}

void WINAPI DeleteMediaType(AM_MEDIA_TYPE* pmt)
{
    if (pmt == nullptr)
        return;
    FreeMediaType(*pmt);
    CoTaskMemFree(pmt);
}

void WINAPI FreeMediaType(AM_MEDIA_TYPE& mt)
{
    if (mt.pbFormat != nullptr)
        CoTaskMemFree(mt.pbFormat);
    mt.pbFormat = nullptr;
    mt.cbFormat = 0;
    if (mt.pUnk != nullptr) {
        mt.pUnk->Release();
        mt.pUnk = nullptr;
    }
}

HRESULT WINAPI CopyMediaType(AM_MEDIA_TYPE* pmtTarget, const AM_MEDIA_TYPE* pmtSource)
{
    if (pmtTarget == nullptr || pmtSource == nullptr)
        return E_POINTER;
    if (pmtTarget == pmtSource)
        return S_OK;
    *pmtTarget = *pmtSource;
    if (pmtSource->cbFormat != 0 && pmtSource->pbFormat != nullptr) {
        pmtTarget->pbFormat = static_cast<BYTE*>(CoTaskMemAlloc(pmtSource->cbFormat));
        if (pmtTarget->pbFormat == nullptr) {
            pmtTarget->cbFormat = 0;
            pmtTarget->pUnk = nullptr;
            return E_OUTOFMEMORY;
        }
        std::memcpy(pmtTarget->pbFormat, pmtSource->pbFormat, pmtSource->cbFormat);
    } else {
        // A length without a block (or a block without a length) is no format at all.
        pmtTarget->pbFormat = nullptr;
        pmtTarget->cbFormat = 0;
    }
    if (pmtTarget->pUnk != nullptr)
        pmtTarget->pUnk->AddRef();
    return S_OK;
}

void WINAPI InitMediaType(AM_MEDIA_TYPE* pmt)
{
    std::memset(pmt, 0, sizeof(*pmt));
    pmt->lSampleSize = 1;
    pmt->bFixedSizeSamples = TRUE;
}

HRESULT WINAPI AMGetWideString(LPCWSTR psz, LPWSTR* ppszReturn)
{
    if (ppszReturn == nullptr)
        return E_POINTER;
    *ppszReturn = nullptr;
    if (psz == nullptr)
        return E_POINTER;
    const size_t bytes = (wcslen(psz) + 1) * sizeof(WCHAR);
    *ppszReturn = static_cast<LPWSTR>(CoTaskMemAlloc(bytes));
    if (*ppszReturn == nullptr)
        return E_OUTOFMEMORY;
    std::memcpy(*ppszReturn, psz, bytes);
    return S_OK;
}
