#include "SamplePool.h"

#include <mferror.h>

#include <new>

#include "MfPlatform.h"

namespace vyx::mf {

using Microsoft::WRL::ComPtr;

ComPtr<SamplePool> SamplePool::Create(DWORD bufferBytes) {
    ComPtr<SamplePool> pool;
    pool.Attach(new (std::nothrow) SamplePool(bufferBytes));
    if (!pool) return nullptr;
    try {
        pool->m_free.reserve(kMaxSamples);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
    return pool;
}

void SamplePool::SetListener(void (*listener)(void* context), void* context) {
    std::lock_guard<std::mutex> lock(m_listenerLock);
    m_listener = listener;
    m_listenerContext = context;
}

HRESULT SamplePool::Take(ComPtr<IMFSample>* sample) {
    ComPtr<IMFSample> taken;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        if (!m_free.empty()) {
            taken = std::move(m_free.back());
            m_free.pop_back();
        } else if (m_made == kMaxSamples) {
            return MF_E_SAMPLEALLOCATOR_EMPTY;
        } else {
            ++m_made;  // made below, outside the lock
        }
    }
    HRESULT hr = S_OK;
    if (!taken && FAILED(hr = Make(&taken))) {
        std::lock_guard<std::mutex> lock(m_lock);
        --m_made;
        return hr;
    }
    // What the last use set: the request's token, the clean-point flag, the times.
    ComPtr<IMFTrackedSample> tracked;
    if (FAILED(hr = taken->DeleteAllItems()) || FAILED(hr = taken.As(&tracked)) ||
        FAILED(hr = tracked->SetAllocator(this, nullptr))) {
        std::lock_guard<std::mutex> lock(m_lock);
        --m_made;  // let go of for good: it cannot be tracked
        return hr;
    }
    *sample = std::move(taken);
    return S_OK;
}

bool SamplePool::Available() {
    std::lock_guard<std::mutex> lock(m_lock);
    return !m_free.empty() || m_made < kMaxSamples;
}

HRESULT SamplePool::Make(ComPtr<IMFSample>* sample) {
    ComPtr<IMFTrackedSample> tracked;
    ComPtr<IMFMediaBuffer> buffer;
    ComPtr<IMFSample> made;
    HRESULT hr;
    if (FAILED(hr = platform::CreateTrackedSample(&tracked)) || FAILED(hr = tracked.As(&made)) ||
        FAILED(hr = platform::CreateMemoryBuffer(m_bufferBytes, &buffer)) || FAILED(hr = made->AddBuffer(buffer.Get())))
        return hr;
    *sample = std::move(made);
    return S_OK;
}

STDMETHODIMP SamplePool::QueryInterface(REFIID riid, void** object) {
    if (!object) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IMFAsyncCallback) {
        *object = static_cast<IMFAsyncCallback*>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) SamplePool::AddRef() {
    return static_cast<ULONG>(InterlockedIncrement(&m_refCount));
}

STDMETHODIMP_(ULONG) SamplePool::Release() {
    const LONG count = InterlockedDecrement(&m_refCount);
    if (count == 0) delete this;
    return static_cast<ULONG>(count);
}

STDMETHODIMP SamplePool::GetParameters(DWORD*, DWORD*) {
    return E_NOTIMPL;  // the default work queue
}

STDMETHODIMP SamplePool::Invoke(IMFAsyncResult* result) {
    if (!result) return E_POINTER;
    ComPtr<IUnknown> object;
    ComPtr<IMFSample> sample;
    if (FAILED(result->GetObject(&object)) || FAILED(object.As(&sample))) return S_OK;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_free.push_back(std::move(sample));  // within the reserve
    }
    std::lock_guard<std::mutex> lock(m_listenerLock);
    if (m_listener) m_listener(m_listenerContext);
    return S_OK;
}

}  // namespace vyx::mf
