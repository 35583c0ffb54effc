#pragma once
// The Media Foundation media source of one model's camera: a live source with one video
// stream, created through the build's class factory beside the DirectShow filter. It opens
// the camera when created and keeps it until Shutdown (or its last release).
//
// States: Stopped, Started, Paused, Shutdown. Start from Stopped configures the camera for
// the stream's current media type and starts the pump; Start with a position while started
// or paused is a seek, which a live source refuses; Start without one resumes a pause.
//
// Threads: applications and the source reader call from any thread. m_lock guards the
// state, the camera's configuration and the pump's control; the pump's thread delivers
// through the FramePump::Sink calls, which take no lock of the source (the event queues
// are the platform's), so Stop and Shutdown may wait for the pump under m_lock. IKsControl
// calls reach the camera under the controls' own lock, which is taken after this one.
#include <windows.h>
#include <mfidl.h>
#include <ks.h>
#include <ksproxy.h>
#include <wrl/client.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <vector>

#include "CUnknown.h"
#include "FramePump.h"
#include "ModelDescriptor.h"
#include "SourceCamera.h"
#include "SourceFormats.h"

namespace vyx::mf {

class CameraMediaStream;

class CameraMediaSource final : public CUnknown,
                                public IMFMediaSourceEx,
                                public IMFGetService,
                                public IKsControl,
                                public FramePump::Sink {
public:
    // Opens the camera of `model`; on failure `result` says why (see OpenSourceCamera);
    // CreateCameraMediaSource (MediaSourceFactory.h) makes the build's.
    CameraMediaSource(const ModelDescriptor& model, HRESULT* result);
    ~CameraMediaSource() override;

    DECLARE_IUNKNOWN
    STDMETHODIMP NonDelegatingQueryInterface(REFIID riid, void** object) override;

    // IMFMediaEventGenerator
    STDMETHODIMP GetEvent(DWORD flags, IMFMediaEvent** event) override;
    STDMETHODIMP BeginGetEvent(IMFAsyncCallback* callback, IUnknown* state) override;
    STDMETHODIMP EndGetEvent(IMFAsyncResult* result, IMFMediaEvent** event) override;
    STDMETHODIMP QueueEvent(MediaEventType type, REFGUID extendedType, HRESULT status,
                            const PROPVARIANT* value) override;

    // IMFMediaSource
    STDMETHODIMP GetCharacteristics(DWORD* characteristics) override;
    STDMETHODIMP CreatePresentationDescriptor(IMFPresentationDescriptor** descriptor) override;
    STDMETHODIMP Start(IMFPresentationDescriptor* descriptor, const GUID* timeFormat,
                       const PROPVARIANT* startPosition) override;
    STDMETHODIMP Stop() override;
    STDMETHODIMP Pause() override;
    STDMETHODIMP Shutdown() override;

    // IMFMediaSourceEx
    STDMETHODIMP GetSourceAttributes(IMFAttributes** attributes) override;
    STDMETHODIMP GetStreamAttributes(DWORD streamId, IMFAttributes** attributes) override;
    STDMETHODIMP SetD3DManager(IUnknown* manager) override;

    // IMFGetService
    STDMETHODIMP GetService(REFGUID service, REFIID riid, void** object) override;

    // IKsControl
    STDMETHODIMP KsProperty(PKSPROPERTY property, ULONG propertyLength, LPVOID data, ULONG dataLength,
                            ULONG* returned) override;
    STDMETHODIMP KsMethod(PKSMETHOD method, ULONG methodLength, LPVOID data, ULONG dataLength,
                          ULONG* returned) override;
    STDMETHODIMP KsEvent(PKSEVENT event, ULONG eventLength, LPVOID data, ULONG dataLength,
                         ULONG* returned) override;

    // The stream's RequestSample.
    HRESULT RequestSample(IUnknown* token);

private:
    enum class State { Stopped, Started, Paused, Shutdown };

    HRESULT Initialize(const ModelDescriptor& model);
    // Configures the camera for the type `descriptor`'s stream carries and starts the pump.
    HRESULT StartStreaming(IMFStreamDescriptor* descriptor);

    // FramePump::Sink, on the pump's thread.
    void OnSample(IMFSample* sample) override;
    void OnStreamEnded(HRESULT status) override;

    std::mutex m_lock;
    State m_state = State::Stopped;
    bool m_streamAnnounced = false;  // MENewStream sent; later starts send MEUpdatedStream
    bool m_streamSelected = false;
    std::atomic<HRESULT> m_ended{S_OK};  // why the pump ended, until the next start
    bool m_mfStarted = false;
    std::unique_ptr<SourceCamera> m_camera;
    std::vector<SourceFormat> m_formats;
    FrameRateRange m_rates{};
    std::unique_ptr<FramePump> m_pump;
    Microsoft::WRL::ComPtr<IMFMediaEventQueue> m_events;
    Microsoft::WRL::ComPtr<IMFAttributes> m_attributes;
    Microsoft::WRL::ComPtr<IMFAttributes> m_streamAttributes;
    Microsoft::WRL::ComPtr<IMFPresentationDescriptor> m_descriptor;
    Microsoft::WRL::ComPtr<CameraMediaStream> m_stream;
};

}  // namespace vyx::mf
