// Stop and pause behaviour of the live capture pin: nothing is delivered while the filter
// is paused, and a stop or a pause from running never waits for a frame the camera is
// still exposing.
#include <dshow.h>

#include "CVCameraStream.h"

namespace vyx {
namespace {
// Long enough for a sample being filled to give way; short enough for the stop that may follow.
constexpr DWORD kPauseWaitMs = 200;
}  // namespace

bool CVCameraStream::DeliversWhilePaused() const {
    return false;
}

void CVCameraStream::OnSampleNotDelivered(IMediaSample* sample) {
    // The resumed run continues from the last sample that was delivered, without a gap.
    REFERENCE_TIME start = 0;
    REFERENCE_TIME end = 0;
    if (FAILED(sample->GetTime(&start, &end)) || m_state.deliveredFrames == 0) return;
    m_previousEndTime = start;
    --m_state.deliveredFrames;
}

HRESULT CVCameraStream::Inactive() {
    // Before the streaming thread is told to stop: a read blocked in the camera library
    // ends when the camera's stream stops, and the waits of FillBuffer see the flag.
    InterruptCamera();
    return CSourceStream::Inactive();
}

void CVCameraStream::InterruptCamera() {
    CAutoLock lock(&m_cameraStreamLock);
    if (!m_state.streaming || !m_state.camera) return;
    m_cameraInterrupted = true;
    m_state.camera->StopVideoStream();
}

HRESULT CVCameraStream::PauseDelivery() {
    // Never waits for the worker: a renderer paused before this filter may hold it in Receive.
    RequestPause();
    InterruptCamera();
    WaitForLoopEnd(kPauseWaitMs);
    return S_OK;
}

HRESULT CVCameraStream::RestartInterruptedCamera() {
    CAutoLock lock(&m_cameraStreamLock);
    if (!m_cameraInterrupted) return S_OK;
    m_cameraInterrupted = false;
    // A camera that refuses fails the reads that follow, which ends the run with an error.
    return m_state.camera && m_state.camera->StartVideoStream() ? S_OK : E_FAIL;
}

}  // namespace vyx
