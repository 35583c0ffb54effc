// Stop and pause behaviour of the live capture pin: nothing is delivered while the filter
// is paused, and a stop or a pause from running never waits for a frame the camera is
// still exposing.
#include <dshow.h>

#include "CVCameraStream.h"

namespace vyx {

bool CVCameraStream::DeliversWhilePaused() const {
    return false;
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
    InterruptCamera();
    // No worker (stopped, or its start failed): nothing is delivering.
    return ThreadExists() ? Pause() : S_OK;
}

HRESULT CVCameraStream::RestartInterruptedCamera() {
    CAutoLock lock(&m_cameraStreamLock);
    if (!m_cameraInterrupted) return S_OK;
    m_cameraInterrupted = false;
    // A camera that refuses fails the reads that follow, which ends the run with an error.
    return m_state.camera && m_state.camera->StartVideoStream() ? S_OK : E_FAIL;
}

}  // namespace vyx
