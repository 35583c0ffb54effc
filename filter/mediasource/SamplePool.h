#pragma once
// The frame pump's samples: a few tracked samples, each with one memory buffer of the
// stream's sample size, made when first needed and used again once every holder has let
// go of them, so a running stream allocates nothing per frame. The platform hands a sample
// back through Invoke (IMFTrackedSample) when its last outside reference goes.
//
// Threads: the pump's thread takes samples; the platform's work queue returns them. m_lock
// guards the free list, the count and the listener; the listener is called after m_lock is
// let go, under m_listenerLock alone, so it may take its own lock, under which the pump
// asks Available (order: listener lock, the pump's lock, m_lock).
#include <windows.h>
#include <mfidl.h>
#include <wrl/client.h>

#include <cstddef>
#include <mutex>
#include <vector>

namespace vyx::mf {

class SamplePool final : public IMFAsyncCallback {
public:
    static constexpr std::size_t kMaxSamples = 6;

    // A pool of samples of `bufferBytes`; null when out of memory.
    static Microsoft::WRL::ComPtr<SamplePool> Create(DWORD bufferBytes);

    // Called when a sample comes back; cleared (null) before the listener goes.
    void SetListener(void (*listener)(void* context), void* context);

    // A sample with its buffer, its attributes, times and length cleared, to be handed out:
    // the pool has it back once it is released. MF_E_SAMPLEALLOCATOR_EMPTY while all
    // kMaxSamples are out; the platform's error when one cannot be made.
    HRESULT Take(Microsoft::WRL::ComPtr<IMFSample>* sample);
    // A sample is free or can still be made.
    bool Available();

    // IUnknown
    STDMETHODIMP QueryInterface(REFIID riid, void** object) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;
    // IMFAsyncCallback: a sample handed out has come back.
    STDMETHODIMP GetParameters(DWORD* flags, DWORD* queue) override;
    STDMETHODIMP Invoke(IMFAsyncResult* result) override;

private:
    explicit SamplePool(DWORD bufferBytes) : m_bufferBytes(bufferBytes) {}
    ~SamplePool() = default;
    HRESULT Make(Microsoft::WRL::ComPtr<IMFSample>* sample);

    volatile LONG m_refCount = 1;
    const DWORD m_bufferBytes;
    std::mutex m_lock;
    std::vector<Microsoft::WRL::ComPtr<IMFSample>> m_free;  // reserved to kMaxSamples: no allocation once made
    std::size_t m_made = 0;
    std::mutex m_listenerLock;
    void (*m_listener)(void*) = nullptr;
    void* m_listenerContext = nullptr;
};

}  // namespace vyx::mf
