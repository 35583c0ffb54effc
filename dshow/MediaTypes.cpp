#include "MediaTypes.h"

#include <cstring>

#include "MediaTypePtr.h"

AM_MEDIA_TYPE* WINAPI CreateMediaType(const AM_MEDIA_TYPE* pSrc)
{
    if (pSrc == nullptr)
        return nullptr;
    return vyx::win::MediaTypePtr::Copy(*pSrc).Release();
}

void WINAPI DeleteMediaType(AM_MEDIA_TYPE* pmt)
{
    vyx::win::MediaTypePtr owned(pmt);
}

void WINAPI FreeMediaType(AM_MEDIA_TYPE& mt)
{
    vyx::win::FreeMediaTypeContents(mt);
}

HRESULT WINAPI CopyMediaType(AM_MEDIA_TYPE* pmtTarget, const AM_MEDIA_TYPE* pmtSource)
{
    if (pmtTarget == nullptr || pmtSource == nullptr)
        return E_POINTER;
    return vyx::win::CopyMediaTypeContents(*pmtTarget, *pmtSource);
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
