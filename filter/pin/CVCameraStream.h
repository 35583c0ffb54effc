#pragma once
// The filter's single output pin "Video": the DirectShow face of the capture core. The
// core owns the camera, its configuration and the stream's life; the pin adds media types
// (FormatNegotiation), the framework's streaming thread, and one small adapter per COM
// interface (pin/*Adapter.h), each holding the pin.
//
// Threads and locks:
// - Application threads call the COM interfaces. GetMediaType, SetMediaType and
//   DecideBufferSize run under the filter's state lock. Every configuration change from an
//   interface (SetFormat, the ICameraInstance setters, SetCamera) runs in Reconfigure under
//   that lock too, together with the reconnection that makes it take effect, so changes
//   and connections come one at a time. The core's lock guards the configuration itself;
//   the pin reads and writes it only through CaptureCore::Read and Configure.
// - The filter's state changes call Activate (under the state lock: it waits for a change
//   in progress, and is refused on the thread that makes one), Run, PauseDelivery, Inactive
//   and Deactivate; none of them waits for the camera.
// - The streaming thread runs OnThreadCreate, FillBuffer, Deliver and OnThreadDestroy; its
//   waits watch the thread's requests and the core's state changes. FillBuffer holds
//   m_frameLock, which nothing else takes.
// - The pages call the camera through the pointer GetCamera gave them, without a lock; the
//   camera library accepts calls from several threads, and a replaced camera stays valid
//   until the pin goes (CameraOwner.h).
#include <windows.h>
#include <ocidl.h>
#include <strmif.h>

#include <cstdint>
#include <functional>

#include "CameraControlAdapter.h"
#include "CameraInstanceAdapter.h"
#include "CaptureCore.h"
#include "DroppedFramesAdapter.h"
#include "FormatNegotiation.h"
#include "PinCategoryAdapter.h"
#include "StreamConfigAdapter.h"
#include "VideoControlAdapter.h"
#include "VideoProcAmpAdapter.h"
#include "streams.h"

namespace vyx {

class CVCamera;

class CVCameraStream : public CSourceStream, public ISpecifyPropertyPages {
public:
    // Connects to the camera of the build's model. On failure stores E_HANDLE (no camera
    // of the model), E_FAIL (it cannot be opened) or E_OUTOFMEMORY through `result`; the
    // creator then deletes the pin.
    CVCameraStream(HRESULT* result, CVCamera* filter, LPCWSTR name);
    ~CVCameraStream() override;

    DECLARE_IUNKNOWN
    STDMETHODIMP NonDelegatingQueryInterface(REFIID riid, void** object) override;

    // Negotiation
    HRESULT GetMediaType(int position, CMediaType* type) override;
    HRESULT CheckMediaType(const CMediaType* type) override;
    HRESULT SetMediaType(const CMediaType* type) override;
    HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) override;
    LONG GetMediaTypeVersion() override;

    // Streaming thread
    HRESULT FillBuffer(IMediaSample* sample) override;
    HRESULT OnThreadCreate() override;
    HRESULT OnThreadDestroy() override;
    // A sample filled before a pause is not delivered after it.
    HRESULT Deliver(IMediaSample* sample) override;

    // A live source: delivers only while the filter runs.
    bool DeliversWhilePaused() const override { return false; }
    void OnSampleNotDelivered(IMediaSample* sample) override;

    // The filter's state changes.
    HRESULT Activate();
    HRESULT Run(REFERENCE_TIME start) override;
    using CSourceStream::Run;
    void PauseDelivery() { m_core.Pause(); }
    HRESULT Inactive() override;
    void Deactivate() { m_core.Deactivate(); }

    // IQualityControl: the pin does not adapt to quality messages.
    STDMETHODIMP Notify(IBaseFilter* sender, Quality quality) override;

    // ISpecifyPropertyPages
    STDMETHODIMP GetPages(CAUUID* pages) override;

    CaptureCore& Core() { return m_core; }

private:
    friend class StreamConfigAdapter;
    friend class CameraInstanceAdapter;
    friend class VideoControlAdapter;

    // How a configuration change takes effect on a connected pin.
    enum class Follow {
        Nothing,           // at the next stream's start (a replaced camera)
        ConfiguredType,    // a reconnection in exactly the configured type
        Renegotiated,      // a reconnection the graph negotiates (a chosen format is the only one offered)
    };
    // Runs `change` and, on a connected pin, the reconnection that makes it take effect,
    // as one step under the filter's state lock. When the reconnection fails with the pins
    // still connected, `undo` (when given) puts the pin back into the type the peer holds.
    HRESULT Reconfigure(const std::function<HRESULT()>& change, Follow follow,
                        const std::function<void()>& undo = {});
    static void LogMediaTypeDetails(const char* label, const AM_MEDIA_TYPE* type);

    CVCamera* m_owner;  // not reference-counted: the filter owns the pin
    CaptureCore m_core;
    FormatNegotiation m_negotiation;
    CCritSec m_frameLock;                     // FillBuffer only
    std::uint64_t m_filledGeneration = 0;     // streaming thread: the run the last fill belongs to

    StreamConfigAdapter m_streamConfig;
    PinCategoryAdapter m_pinCategory;
    DroppedFramesAdapter m_droppedFrames;
    VideoControlAdapter m_videoControl;
    VideoProcAmpAdapter m_procAmp;
    CameraControlAdapter m_cameraControl;
    CameraInstanceAdapter m_cameraInstance;
};

}  // namespace vyx
