#include "CMemAllocator.h"

#include <vfwmsgs.h>

#include <cstdint>
#include <new>

namespace {

class SrwExclusive {
public:
    explicit SrwExclusive(SRWLOCK* lock) : m_lock(lock) { AcquireSRWLockExclusive(m_lock); }
    ~SrwExclusive() { ReleaseSRWLockExclusive(m_lock); }
    SrwExclusive(const SrwExclusive&) = delete;
    SrwExclusive& operator=(const SrwExclusive&) = delete;

private:
    SRWLOCK* m_lock;
};

}  // namespace

CMemAllocator::CMemAllocator() : CUnknown(TEXT("Memory allocator"), nullptr)
{
}

IMemAllocator* CMemAllocator::Create()
{
    CMemAllocator* allocator = new (std::nothrow) CMemAllocator();
    if (allocator == nullptr)
        return nullptr;
    allocator->NonDelegatingAddRef();
    return allocator;
}

STDMETHODIMP CMemAllocator::NonDelegatingQueryInterface(REFIID riid, void** ppv)
{
    CheckPointer(ppv, E_POINTER);
    if (riid == IID_IMemAllocator)
        return GetInterface(static_cast<IMemAllocator*>(this), ppv);
    return CUnknown::NonDelegatingQueryInterface(riid, ppv);
}

STDMETHODIMP CMemAllocator::SetProperties(ALLOCATOR_PROPERTIES* pRequest, ALLOCATOR_PROPERTIES* pActual)
{
    CheckPointer(pRequest, E_POINTER);
    CheckPointer(pActual, E_POINTER);
    if (pRequest->cBuffers < 0 || pRequest->cbBuffer < 0 || pRequest->cbPrefix < 0)
        return E_INVALIDARG;
    if (pRequest->cbAlign <= 0 || (pRequest->cbAlign & (pRequest->cbAlign - 1)) != 0)
        return VFW_E_BADALIGN;
    // Prefix and buffer together fill whole alignment units, so every buffer's block starts
    // aligned; the buffer grows to fill its last unit.
    const std::int64_t unit = pRequest->cbAlign;
    const std::int64_t block = (std::int64_t{pRequest->cbPrefix} + pRequest->cbBuffer + unit - 1) / unit * unit;
    if (block - pRequest->cbPrefix > MAXLONG || block * pRequest->cBuffers > MAXLONG)
        return E_OUTOFMEMORY;
    SrwExclusive lock(&m_lock);
    if (m_bCommitted)
        return VFW_E_ALREADY_COMMITTED;
    if (m_free.size() != m_samples.size())
        return VFW_E_BUFFERS_OUTSTANDING;
    m_props = *pRequest;
    m_props.cbBuffer = static_cast<LONG>(block - pRequest->cbPrefix);
    *pActual = m_props;
    return S_OK;
}

STDMETHODIMP CMemAllocator::GetProperties(ALLOCATOR_PROPERTIES* pProps)
{
    CheckPointer(pProps, E_POINTER);
    SrwExclusive lock(&m_lock);
    *pProps = m_props;
    return S_OK;
}

STDMETHODIMP CMemAllocator::Commit()
{
    SrwExclusive lock(&m_lock);
    if (m_bCommitted)
        return S_OK;
    if (m_props.cbAlign == 0)
        return VFW_E_BADALIGN;
    if (m_props.cbBuffer == 0)
        return VFW_E_SIZENOTSET;
    if (m_props.cBuffers == 0)
        return VFW_E_BUFFER_NOTSET;
    // A decommit with samples still out kept the buffers: they serve again.
    if (m_samples.empty()) {
        const std::size_t block = static_cast<std::size_t>(m_props.cbPrefix) + m_props.cbBuffer;
        const std::size_t align = static_cast<std::size_t>(m_props.cbAlign);
        std::unique_ptr<BYTE[]> memory(new (std::nothrow) BYTE[block * m_props.cBuffers + align - 1]);
        if (memory == nullptr)
            return E_OUTOFMEMORY;
        const std::uintptr_t start = reinterpret_cast<std::uintptr_t>(memory.get());
        BYTE* next = memory.get() + ((align - start % align) % align);
        try {
            m_samples.reserve(static_cast<std::size_t>(m_props.cBuffers));
            m_free.reserve(static_cast<std::size_t>(m_props.cBuffers));
            for (LONG i = 0; i < m_props.cBuffers; ++i, next += block) {
                m_samples.push_back(std::make_unique<CMediaSample>(this, next + m_props.cbPrefix, m_props.cbBuffer));
                m_free.push_back(m_samples.back().get());
            }
        } catch (const std::bad_alloc&) {
            m_free.clear();
            m_samples.clear();
            return E_OUTOFMEMORY;
        }
        m_memory = std::move(memory);
    }
    m_bCommitted = true;
    return S_OK;
}

STDMETHODIMP CMemAllocator::Decommit()
{
    SrwExclusive lock(&m_lock);
    m_bCommitted = false;
    if (m_free.size() == m_samples.size()) {
        m_free.clear();
        m_samples.clear();
        m_memory.reset();
    }
    // A GetBuffer waiting for a free buffer gives up.
    WakeAllConditionVariable(&m_freed);
    return S_OK;
}

STDMETHODIMP CMemAllocator::GetBuffer(IMediaSample** ppBuffer, REFERENCE_TIME*, REFERENCE_TIME*, DWORD dwFlags)
{
    CheckPointer(ppBuffer, E_POINTER);
    *ppBuffer = nullptr;
    CMediaSample* sample = nullptr;
    {
        SrwExclusive lock(&m_lock);
        for (;;) {
            if (!m_bCommitted)
                return VFW_E_NOT_COMMITTED;
            if (!m_free.empty())
                break;
            if (dwFlags & AM_GBF_NOWAIT)
                return VFW_E_TIMEOUT;
            ++m_waiters;
            SleepConditionVariableSRW(&m_freed, &m_lock, INFINITE, 0);
            --m_waiters;
        }
        sample = m_free.back();
        m_free.pop_back();
        NonDelegatingAddRef();
    }
    sample->Reset();
    *ppBuffer = sample;
    return S_OK;
}

int CMemAllocator::WaitingGetBuffers()
{
    SrwExclusive lock(&m_lock);
    return m_waiters;
}

STDMETHODIMP CMemAllocator::ReleaseBuffer(IMediaSample* pBuffer)
{
    CheckPointer(pBuffer, E_POINTER);
    return E_NOTIMPL;
}

void CMemAllocator::Return(CMediaSample* pSample)
{
    {
        SrwExclusive lock(&m_lock);
        m_free.push_back(pSample);
        if (!m_bCommitted && m_free.size() == m_samples.size()) {
            m_free.clear();
            m_samples.clear();  // pSample goes too: its Release touches nothing after this call
            m_memory.reset();
        } else if (m_waiters > 0) {
            WakeConditionVariable(&m_freed);
        }
    }
    NonDelegatingRelease();
}
