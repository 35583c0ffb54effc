#pragma once
// AM_MEDIA_TYPE that owns its format block (task memory) and its pUnk reference.
#include <windows.h>
#include <strmif.h>

#include "MediaTypes.h"

class CMediaType : public AM_MEDIA_TYPE {
public:
    CMediaType();
    explicit CMediaType(const GUID* majortype);
    // A copy that fails for lack of memory leaves a type without format and sets *phr.
    CMediaType(const AM_MEDIA_TYPE& mt, HRESULT* phr = nullptr);
    CMediaType(const CMediaType& mt, HRESULT* phr = nullptr);
    ~CMediaType();

    CMediaType& operator=(const CMediaType& mt);
    CMediaType& operator=(const AM_MEDIA_TYPE& mt);
    // Same major type, subtype, format type and format bytes.
    BOOL operator==(const CMediaType& mt) const;
    BOOL operator!=(const CMediaType& mt) const;

    HRESULT Set(const CMediaType& mt);
    HRESULT Set(const AM_MEDIA_TYPE& mt);
    BOOL IsValid() const;  // has a major type

    const GUID* Type() const { return &majortype; }
    void SetType(const GUID* ptype);
    const GUID* Subtype() const { return &subtype; }
    void SetSubtype(const GUID* ptype);
    const GUID* FormatType() const { return &formattype; }
    void SetFormatType(const GUID* pformattype);

    BOOL IsFixedSize() const { return bFixedSizeSamples; }
    BOOL IsTemporalCompressed() const { return bTemporalCompression; }
    ULONG GetSampleSize() const;  // 0 for variable-size samples
    void SetSampleSize(ULONG sz);  // 0 makes the samples variable-size
    void SetVariableSize();
    void SetTemporalCompression(BOOL bCompressed);

    BYTE* Format() const { return pbFormat; }
    ULONG FormatLength() const { return cbFormat; }
    // Copies length bytes; FALSE when memory runs out (the old format is then kept).
    BOOL SetFormat(BYTE* pFormat, ULONG length);
    void ResetFormatBuffer();
    // A new zero-filled block of length bytes replacing the old one; null when memory runs out.
    BYTE* AllocFormatBuffer(ULONG length);
    // Resizes keeping the leading bytes; null (and the old block kept) when memory runs out.
    BYTE* ReallocFormatBuffer(ULONG length);

    void InitMediaType();
    // Matches where ppartial specifies a field (GUID_NULL fields match anything).
    BOOL MatchesPartial(const CMediaType* ppartial) const;
    BOOL IsPartiallySpecified() const;
};
