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
    if (SUCCEEDED(sample->GetTime(&start, &end))) m_session.TakeBackSample(start);
}

HRESULT CVCameraStream::Inactive() {
    // Before the streaming thread is told to stop: a read blocked in the camera library
    // ends when the camera's stream stops, and the waits of FillBuffer see the interruption.
    m_session.Interrupt();
    return CSourceStream::Inactive();
}

HRESULT CVCameraStream::Run(REFERENCE_TIME start) {
    // Before the worker is told: the restart it makes belongs to this run, and a pause
    // that follows before the restart begins keeps the camera stopped.
    m_session.Resume();
    return CSourceStream::Run(start);
}

HRESULT CVCameraStream::PauseDelivery() {
    // Never waits for the worker: a renderer paused before this filter may hold it in
    // Receive, and a restart in progress is overtaken, not waited for.
    RequestPause();
    // A worker still starting the camera delivers nothing: the loop it enters next sees
    // the pause first.
    if (!m_session.Interrupt()) WaitForLoopEnd(kPauseWaitMs);
    return S_OK;
}

}  // namespace vyx
