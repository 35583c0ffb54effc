#pragma once
// The media source's one video stream: its event queue, its descriptor, and the sample
// requests it passes to its source. It holds no reference on the source (the source holds
// it), only a pointer the source clears at Shutdown.
//
// Threads: any. m_lock guards m_source and m_shutdown; the event queue is the platform's
// and needs no lock. RequestSample copies a reference to the source under the lock and
// calls it after letting go, so the source may take its own lock and then this one.
#include <windows.h>
#include <mfidl.h>
#include <wrl/client.h>

#include <mutex>

namespace vyx::mf {

class CameraMediaSource;

class CameraMediaStream final : public IMFMediaStream {
public:
    // Null on failure, with the reason in `result`.
    static Microsoft::WRL::ComPtr<CameraMediaStream> Create(CameraMediaSource* source,
                                                            IMFStreamDescriptor* descriptor, HRESULT* result);

    // IUnknown
    STDMETHODIMP QueryInterface(REFIID riid, void** object) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

    // IMFMediaEventGenerator
    STDMETHODIMP GetEvent(DWORD flags, IMFMediaEvent** event) override;
    STDMETHODIMP BeginGetEvent(IMFAsyncCallback* callback, IUnknown* state) override;
    STDMETHODIMP EndGetEvent(IMFAsyncResult* result, IMFMediaEvent** event) override;
    STDMETHODIMP QueueEvent(MediaEventType type, REFGUID extendedType, HRESULT status,
                            const PROPVARIANT* value) override;

    // IMFMediaStream
    STDMETHODIMP GetMediaSource(IMFMediaSource** source) override;
    STDMETHODIMP GetStreamDescriptor(IMFStreamDescriptor** descriptor) override;
    STDMETHODIMP RequestSample(IUnknown* token) override;

    // For the source.
    void QueueSample(IMFSample* sample);
    // MEError with `status`, then MEEndOfStream, so that a reader waiting for a sample is
    // answered even where it does not act on the error.
    void QueueEnd(HRESULT status);
    void QueueState(MediaEventType type, const PROPVARIANT* value);
    void Shutdown();

private:
    CameraMediaStream(CameraMediaSource* source, IMFStreamDescriptor* descriptor);
    ~CameraMediaStream() = default;

    volatile LONG m_refCount = 1;
    std::mutex m_lock;
    CameraMediaSource* m_source;  // not counted; null after Shutdown
    Microsoft::WRL::ComPtr<IMFStreamDescriptor> m_descriptor;
    Microsoft::WRL::ComPtr<IMFMediaEventQueue> m_events;
};

}  // namespace vyx::mf
