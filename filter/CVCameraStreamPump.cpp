// The frame pump: the streaming thread's hooks, sample timing and the allocator request.
// The camera library writes each frame straight into the sample's buffer.
#include <dshow.h>

#include <algorithm>

#include "CVCameraStream.h"
#include "MediaTypePtr.h"

namespace vyx {
namespace {
constexpr int kMaxReadFailures = 3;
constexpr LONGLONG kReadTimeoutMarginMs = 500;

using win::VideoInfoHeader;
}  // namespace

// The frame lock only keeps a second FillBuffer out; no other thread ever takes it, so
// waiting for the camera under it blocks nobody.
HRESULT CVCameraStream::FillBuffer(IMediaSample* sample) {
    if (!sample) return E_POINTER;
    CAutoLock lock(&m_frameLock);

    BYTE* buffer = nullptr;
    HRESULT hr = sample->GetPointer(&buffer);
    if (FAILED(hr)) return hr;
    // A sample that reports no usable size gets nothing written into it.
    const long bufferSize = std::max<long>(sample->GetSize(), 0);

    VyxonCamera* camera = m_state.camera;
    long long frameTimeUs = 0;
    float framesPerSecond = 0;
    if (camera) camera->GetFrameTime(&frameTimeUs, &framesPerSecond);
    const LONGLONG duration = 10 * std::max<LONGLONG>(frameTimeUs, m_state.exposureUs);

    const VIDEOINFOHEADER* info = VideoInfoHeader(m_mt);
    if (!camera || !info || !camera->IsOpened()) return VFW_E_NOT_CONNECTED;
    const DWORD length = std::min(static_cast<DWORD>(bufferSize), info->bmiHeader.biSizeImage);

    // Poll in 1 ms steps, for at most twice the frame time, then read regardless. The
    // poll waits on the thread's requests too, so a state change never waits for the camera.
    const LONGLONG frameTimeMs = frameTimeUs / 1000;
    if (!camera->IsDataReady()) {
        for (LONGLONG sleeps = 1;; ++sleeps) {
            if (WaitForSingleObject(GetRequestHandle(), 1) == WAIT_OBJECT_0 || m_cameraInterrupted)
                return VFW_E_STATE_CHANGED;
            if (sleeps > 2 * frameTimeMs || camera->IsDataReady()) break;
        }
    }
    const int timeoutMs = static_cast<int>(std::min<LONGLONG>(frameTimeMs + kReadTimeoutMarginMs, INT_MAX));
    for (;;) {
        if (m_state.readFailures >= kMaxReadFailures) return E_FAIL;
        if (camera->GetImageData(buffer, static_cast<int>(length), timeoutMs)) break;
        // A read that a stop or pause cut short by stopping the camera is no read failure.
        if (m_cameraInterrupted) return VFW_E_STATE_CHANGED;
        ++m_state.readFailures;
    }
    m_state.readFailures = 0;

    hr = sample->SetActualDataLength(static_cast<long>(length));
    if (FAILED(hr)) return hr;
    REFERENCE_TIME start = m_state.deliveredFrames == 0 ? 0 : m_previousEndTime;
    REFERENCE_TIME end = start + duration;
    m_previousEndTime = end;
    sample->SetTime(&start, &end);
    ++m_state.deliveredFrames;
    sample->SetSyncPoint(TRUE);
    return S_OK;
}

HRESULT CVCameraStream::DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) {
    if (!allocator || !request) return E_POINTER;
    CAutoLock lock(m_pFilter->pStateLock());
    const VIDEOINFOHEADER* info = VideoInfoHeader(m_mt);
    if (!info) return VFW_E_NOT_CONNECTED;
    // Two buffers, not one: a Smart Tee under the capture graph builder (which Wine's builder
    // inserts for the capture category) holds one sample while it copies it into a second
    // buffer of the same allocator, and with a single buffer it waits forever.
    request->cBuffers = 2;
    request->cbBuffer = static_cast<long>(info->bmiHeader.biSizeImage);
    if (request->cbAlign < 1) request->cbAlign = 1;
    ALLOCATOR_PROPERTIES actual{};
    const HRESULT hr = allocator->SetProperties(request, &actual);
    if (FAILED(hr)) return hr;
    return actual.cbBuffer < request->cbBuffer ? E_FAIL : S_OK;
}

HRESULT CVCameraStream::OnThreadCreate() {
    // Ended by OnThreadDestroy, which the framework calls after a failed start as well.
    m_timerPeriod.Begin();
    VyxonCamera* camera = m_state.camera;
    const VIDEOINFOHEADER* info = VideoInfoHeader(m_mt);
    if (!camera || !camera->IsOpened() || !info) return VFW_E_NOT_CONNECTED;
    m_state.width = info->bmiHeader.biWidth;
    m_state.height = info->bmiHeader.biHeight;
    m_state.readFailures = 0;
    // Counted from here, not from each start of the loop: a pause and a resume continue
    // the run's gap-free times.
    m_state.deliveredFrames = 0;
    CAutoLock lock(&m_cameraStreamLock);
    m_cameraInterrupted = false;
    if (!camera->StartVideoStream()) return E_FAIL;
    m_state.streaming = true;
    return S_OK;
}

HRESULT CVCameraStream::OnThreadStartPlay() {
    return RestartInterruptedCamera();
}

HRESULT CVCameraStream::OnThreadDestroy() {
    m_state.deliveredFrames = 0;
    m_state.readFailures = 0;
    {
        CAutoLock lock(&m_cameraStreamLock);
        if (m_state.streaming && m_state.camera) m_state.camera->StopVideoStream();
        m_state.streaming = false;
    }
    m_state.configurationChanged = false;
    m_state.formatLocked = false;
    SaveSettingsIfEnabled();
    m_timerPeriod.End();
    return S_OK;
}

STDMETHODIMP CVCameraStream::Notify(IBaseFilter*, Quality) {
    return E_FAIL;
}

}  // namespace vyx
