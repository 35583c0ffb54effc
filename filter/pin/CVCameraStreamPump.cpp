// The frame pump: the streaming thread's hooks, sample timing and the allocator request.
// The camera library writes each frame straight into the sample's buffer.
#include <dshow.h>
#include <evcode.h>

#include <algorithm>
#include <climits>

#include "CVCamera.h"
#include "CVCameraStream.h"
#include "MediaTypePtr.h"

namespace vyx {
namespace {
constexpr LONGLONG kReadTimeoutMarginMs = 500;
// While polling for a frame, how often the pump asks whether the camera is still there:
// an unplug is then reported within about this, or one frame time, not after the reads.
constexpr LONGLONG kPresencePollMs = 100;

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
            if (WaitForSingleObject(GetRequestHandle(), 1) == WAIT_OBJECT_0 || m_session.Interrupted())
                return VFW_E_STATE_CHANGED;
            if (sleeps > 2 * frameTimeMs || camera->IsDataReady()) break;
            if (sleeps % kPresencePollMs == 0 && CameraGone()) break;  // the read reports it
        }
    }
    const int timeoutMs = static_cast<int>(std::min<LONGLONG>(frameTimeMs + kReadTimeoutMarginMs, INT_MAX));
    if (m_session.ReadsAborted()) return E_FAIL;
    while (!camera->GetImageData(buffer, static_cast<int>(length), timeoutMs)) {
        switch (m_session.ReadFailed(CameraGone())) {
        case CaptureSession::ReadVerdict::Retry:
            continue;
        case CaptureSession::ReadVerdict::GiveWay:
            return VFW_E_STATE_CHANGED;
        case CaptureSession::ReadVerdict::Lost:
            // As the platform's capture sources report a removed device; the stream ends
            // without an error of its own.
            m_pFilter->NotifyEvent(EC_DEVICE_LOST, reinterpret_cast<LONG_PTR>(static_cast<IBaseFilter*>(m_owner)), 0);
            return S_FALSE;
        case CaptureSession::ReadVerdict::Abort:
            return E_FAIL;
        }
    }
    m_session.ReadSucceeded();

    hr = sample->SetActualDataLength(static_cast<long>(length));
    if (FAILED(hr)) return hr;
    const SampleTimes times = m_session.NextSampleTimes(duration);
    REFERENCE_TIME start = times.start;
    REFERENCE_TIME end = times.end;
    sample->SetTime(&start, &end);
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
    HRESULT hr = ConfigureCameraForConnection();
    if (FAILED(hr)) return hr;
    m_state.width = info->bmiHeader.biWidth;
    m_state.height = info->bmiHeader.biHeight;
    hr = m_session.Start();
    return FAILED(hr) ? E_FAIL : S_OK;
}

HRESULT CVCameraStream::OnThreadStartPlay() {
    // Restarts a stream that a pause interrupted; nothing when it streams.
    return m_session.Start();
}

HRESULT CVCameraStream::OnThreadDestroy() {
    m_session.End();
    m_state.configurationChanged = false;
    m_state.formatLocked = false;
    SaveSettingsIfEnabled();
    m_timerPeriod.End();
    return S_OK;
}

bool CVCameraStream::CameraGone() const {
    const int count = VyxonCamera::GetCamerasCount();
    for (int index = 0; index < count; ++index) {
        CameraProp prop{};
        if (VyxonCamera::GetCameraProp(index, &prop) && prop.cameraId == m_prop.cameraId &&
            prop.vendorId == m_prop.vendorId && prop.productId == m_prop.productId)
            return false;
    }
    return true;
}

STDMETHODIMP CVCameraStream::Notify(IBaseFilter*, Quality) {
    return E_FAIL;
}

}  // namespace vyx
