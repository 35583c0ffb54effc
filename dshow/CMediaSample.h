#pragma once
// One buffer of CMemAllocator handed out as a media sample. The allocator owns it; the last
// Release gives it back to the allocator instead of deleting it.
//
// Threads: a sample belongs to whoever holds it (the streaming thread, then the downstream
// filter); its fields are not guarded. m_cRef is atomic because the last Release may come
// from any thread.
#include <windows.h>
#include <strmif.h>

class CMemAllocator;

class CMediaSample : public IMediaSample {
public:
    CMediaSample(CMemAllocator* pAllocator, BYTE* pBuffer, LONG cbBuffer);
    ~CMediaSample();
    CMediaSample(const CMediaSample&) = delete;
    CMediaSample& operator=(const CMediaSample&) = delete;

    // Called by the allocator when it hands the sample out: one reference, no times, flags
    // or type left from its previous use.
    void Reset();

    // IUnknown
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

    // IMediaSample
    STDMETHODIMP GetPointer(BYTE** ppBuffer) override;
    STDMETHODIMP_(LONG) GetSize() override;
    STDMETHODIMP GetTime(REFERENCE_TIME* pTimeStart, REFERENCE_TIME* pTimeEnd) override;
    STDMETHODIMP SetTime(REFERENCE_TIME* pTimeStart, REFERENCE_TIME* pTimeEnd) override;
    STDMETHODIMP IsSyncPoint() override;
    STDMETHODIMP SetSyncPoint(BOOL bIsSyncPoint) override;
    STDMETHODIMP IsPreroll() override;
    STDMETHODIMP SetPreroll(BOOL bIsPreroll) override;
    STDMETHODIMP_(LONG) GetActualDataLength() override;
    STDMETHODIMP SetActualDataLength(LONG lLen) override;
    STDMETHODIMP GetMediaType(AM_MEDIA_TYPE** ppMediaType) override;
    STDMETHODIMP SetMediaType(AM_MEDIA_TYPE* pMediaType) override;
    STDMETHODIMP IsDiscontinuity() override;
    STDMETHODIMP SetDiscontinuity(BOOL bDiscontinuity) override;
    STDMETHODIMP GetMediaTime(LONGLONG* pTimeStart, LONGLONG* pTimeEnd) override;
    STDMETHODIMP SetMediaTime(LONGLONG* pTimeStart, LONGLONG* pTimeEnd) override;

private:
    CMemAllocator* const m_pAllocator;
    BYTE* const m_pBuffer;
    const LONG m_cbBuffer;
    volatile LONG m_cRef = 0;
    LONG m_lActual = 0;
    bool m_bTimeValid = false;
    bool m_bStopValid = false;
    REFERENCE_TIME m_Start = 0;
    REFERENCE_TIME m_End = 0;
    bool m_bMediaTimeValid = false;
    LONGLONG m_MediaStart = 0;
    LONGLONG m_MediaEnd = 0;
    bool m_bSyncPoint = false;
    bool m_bPreroll = false;
    bool m_bDiscontinuity = false;
    AM_MEDIA_TYPE* m_pMediaType = nullptr;  // task memory, or null when the type is unchanged
};
