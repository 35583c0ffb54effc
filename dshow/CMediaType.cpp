#include "CMediaType.h"

#include <cstring>

CMediaType::CMediaType()
{
    InitMediaType();
}

CMediaType::CMediaType(const GUID* ptype)
{
    InitMediaType();
    majortype = *ptype;
}

CMediaType::CMediaType(const AM_MEDIA_TYPE& mt, HRESULT* phr)
{
    HRESULT hr = CopyMediaType(this, &mt);
    if (FAILED(hr) && phr != nullptr)
        *phr = hr;
}

CMediaType::CMediaType(const CMediaType& mt, HRESULT* phr) : CMediaType(static_cast<const AM_MEDIA_TYPE&>(mt), phr)
{
}

CMediaType::~CMediaType()
{
    FreeMediaType(*this);
}

CMediaType& CMediaType::operator=(const CMediaType& mt)
{
    Set(mt);
    return *this;
}

CMediaType& CMediaType::operator=(const AM_MEDIA_TYPE& mt)
{
    Set(mt);
    return *this;
}

BOOL CMediaType::operator==(const CMediaType& mt) const
{
    return IsEqualGUID(majortype, mt.majortype) && IsEqualGUID(subtype, mt.subtype) &&
           IsEqualGUID(formattype, mt.formattype) && cbFormat == mt.cbFormat &&
           (cbFormat == 0 || std::memcmp(pbFormat, mt.pbFormat, cbFormat) == 0);
}

BOOL CMediaType::operator!=(const CMediaType& mt) const
{
    return !(*this == mt);
}

HRESULT CMediaType::Set(const CMediaType& mt)
{
    return Set(static_cast<const AM_MEDIA_TYPE&>(mt));
}

HRESULT CMediaType::Set(const AM_MEDIA_TYPE& mt)
{
    if (&mt == this)
        return S_OK;
    FreeMediaType(*this);
    HRESULT hr = CopyMediaType(this, &mt);
    return FAILED(hr) ? E_OUTOFMEMORY : S_OK;
}

BOOL CMediaType::IsValid() const
{
    return !IsEqualGUID(majortype, GUID_NULL);
}

void CMediaType::SetType(const GUID* ptype)
{
    majortype = *ptype;
}

void CMediaType::SetSubtype(const GUID* ptype)
{
    subtype = *ptype;
}

void CMediaType::SetFormatType(const GUID* pformattype)
{
    formattype = *pformattype;
}

ULONG CMediaType::GetSampleSize() const
{
    return IsFixedSize() ? lSampleSize : 0;
}

void CMediaType::SetSampleSize(ULONG sz)
{
    if (sz == 0) {
        SetVariableSize();
    } else {
        bFixedSizeSamples = TRUE;
        lSampleSize = sz;
    }
}

void CMediaType::SetVariableSize()
{
    bFixedSizeSamples = FALSE;
}

void CMediaType::SetTemporalCompression(BOOL bCompressed)
{
    bTemporalCompression = bCompressed;
}

BOOL CMediaType::SetFormat(BYTE* pFormat, ULONG length)
{
    if (pFormat == nullptr && length != 0)
        return FALSE;
    if (pFormat == pbFormat && length == cbFormat)
        return TRUE;
    if (AllocFormatBuffer(length) == nullptr && length != 0)
        return FALSE;
    if (length != 0)
        std::memcpy(pbFormat, pFormat, length);
    return TRUE;
}

void CMediaType::ResetFormatBuffer()
{
    if (pbFormat != nullptr)
        CoTaskMemFree(pbFormat);
    pbFormat = nullptr;
    cbFormat = 0;
}

BYTE* CMediaType::AllocFormatBuffer(ULONG length)
{
    if (length == 0) {
        ResetFormatBuffer();
        return nullptr;
    }
    if (cbFormat == length) {
        std::memset(pbFormat, 0, length);
        return pbFormat;
    }
    auto* block = static_cast<BYTE*>(CoTaskMemAlloc(length));
    if (block == nullptr)
        return nullptr;
    std::memset(block, 0, length);
    ResetFormatBuffer();
    pbFormat = block;
    cbFormat = length;
    return pbFormat;
}

BYTE* CMediaType::ReallocFormatBuffer(ULONG length)
{
    if (length == 0) {
        ResetFormatBuffer();
        return nullptr;
    }
    if (cbFormat == length)
        return pbFormat;
    auto* block = static_cast<BYTE*>(CoTaskMemAlloc(length));
    if (block == nullptr)
        return nullptr;
    std::memset(block, 0, length);
    if (pbFormat != nullptr)
        std::memcpy(block, pbFormat, cbFormat < length ? cbFormat : length);
    ResetFormatBuffer();
    pbFormat = block;
    cbFormat = length;
    return pbFormat;
}

void CMediaType::InitMediaType()
{
    ::InitMediaType(this);
}

BOOL CMediaType::MatchesPartial(const CMediaType* ppartial) const
{
    if (!IsEqualGUID(ppartial->majortype, GUID_NULL) && !IsEqualGUID(majortype, ppartial->majortype))
        return FALSE;
    if (!IsEqualGUID(ppartial->subtype, GUID_NULL) && !IsEqualGUID(subtype, ppartial->subtype))
        return FALSE;
    if (!IsEqualGUID(ppartial->formattype, GUID_NULL)) {
        if (!IsEqualGUID(formattype, ppartial->formattype) || cbFormat != ppartial->cbFormat)
            return FALSE;
        if (cbFormat != 0 && std::memcmp(pbFormat, ppartial->pbFormat, cbFormat) != 0)
            return FALSE;
    }
    return TRUE;
}

BOOL CMediaType::IsPartiallySpecified() const
{
    return IsEqualGUID(majortype, GUID_NULL) || IsEqualGUID(formattype, GUID_NULL);
}
