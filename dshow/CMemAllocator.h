#pragma once
// The output pin's own memory allocator, used when the downstream pin offers none. It does
// what the platform's CLSID_MemoryAllocator does, but waits for a free buffer on a slim
// reader/writer lock and a condition variable: under Wine those need no round trip to the
// Wine server, where the platform's semaphore costs two per sample.
//
// Threads: any. m_lock guards every field below it; GetBuffer waits on m_freed. A sample
// handed out holds a reference on the allocator, so the buffers outlive every sample;
// Decommit frees them once the last sample is back.
#include <windows.h>
#include <strmif.h>

#include <memory>
#include <vector>

#include "CMediaSample.h"
#include "CUnknown.h"

class CMemAllocator : public CUnknown, public IMemAllocator {
public:
    // A new allocator with one reference, or null when memory runs out.
    static IMemAllocator* Create();

    DECLARE_IUNKNOWN
    STDMETHODIMP NonDelegatingQueryInterface(REFIID riid, void** ppv) override;

    // IMemAllocator
    STDMETHODIMP SetProperties(ALLOCATOR_PROPERTIES* pRequest, ALLOCATOR_PROPERTIES* pActual) override;
    STDMETHODIMP GetProperties(ALLOCATOR_PROPERTIES* pProps) override;
    STDMETHODIMP Commit() override;
    STDMETHODIMP Decommit() override;
    STDMETHODIMP GetBuffer(IMediaSample** ppBuffer, REFERENCE_TIME* pStartTime, REFERENCE_TIME* pEndTime,
                           DWORD dwFlags) override;
    // Samples come back through their own last Release; a sample is never given back here.
    STDMETHODIMP ReleaseBuffer(IMediaSample* pBuffer) override;

    // The last reference to a sample of this allocator went.
    void Return(CMediaSample* pSample);

    // GetBuffer calls waiting for a free buffer now: where a test places a sample's return.
    int WaitingGetBuffers();

private:
    CMemAllocator();

    SRWLOCK m_lock = SRWLOCK_INIT;
    CONDITION_VARIABLE m_freed = CONDITION_VARIABLE_INIT;
    ALLOCATOR_PROPERTIES m_props = {};
    bool m_bCommitted = false;
    int m_waiters = 0;
    std::unique_ptr<BYTE[]> m_memory;
    std::vector<std::unique_ptr<CMediaSample>> m_samples;
    std::vector<CMediaSample*> m_free;  // capacity for every sample: returning one never allocates
};
