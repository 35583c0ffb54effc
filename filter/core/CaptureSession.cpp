#include "CaptureSession.h"

#include <vfwmsgs.h>

namespace vyx {

void CaptureSession::Activate() {
    std::lock_guard<std::mutex> lock(m_lock);
    if (m_state == State::Stopped) m_state = State::Idle;
}

void CaptureSession::Deactivate() {
    std::lock_guard<std::mutex> lock(m_lock);
    m_state = State::Stopped;
}

HRESULT CaptureSession::Start() {
    {
        std::lock_guard<std::mutex> lock(m_lock);
        if (m_state == State::Streaming) return S_OK;
        // A pause that came after the run but before this start: nothing to start.
        if (m_state == State::Interrupted) return S_FALSE;
        if (m_state != State::Idle && m_state != State::Resuming) return VFW_E_WRONG_STATE;
        m_state = State::Starting;
    }
    for (;;) {
        // Outside the lock: a large camera renders its first frame here, and a pause or
        // stop must not wait for that.
        const bool started = m_camera.StartStream();
        {
            std::lock_guard<std::mutex> lock(m_lock);
            if (m_state == State::Starting) {
                m_state = started ? State::Streaming : State::Idle;
                if (started) m_readFailures = 0;
                return started ? S_OK : E_FAIL;
            }
            // A pause and then a run came while the camera started: the pause's stop may
            // have cut this start short, and the run wants a stream, so start again.
            if (m_state == State::Resuming) {
                m_state = State::Starting;
                continue;
            }
        }
        // An Interrupt came while the camera started: it is stopped again, as the pause or
        // stop that came last wants.
        if (started) m_camera.StopStream();
        return S_FALSE;
    }
}

bool CaptureSession::Interrupt() {
    bool starting = false;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        if (m_state == State::Resuming) {
            m_state = State::Interrupted;
            return true;
        }
        if (m_state != State::Starting && m_state != State::Streaming) return false;
        starting = m_state == State::Starting;
        m_state = State::Interrupted;
    }
    // Also during a start: a library that lets a stop cut its start short ends it sooner.
    m_camera.StopStream();
    return starting;
}

void CaptureSession::Resume() {
    std::lock_guard<std::mutex> lock(m_lock);
    if (m_state == State::Interrupted) m_state = State::Resuming;
}

void CaptureSession::End() {
    bool streaming = false;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        streaming = m_state == State::Streaming;
        if (m_state != State::Stopped) m_state = State::Idle;
        m_readFailures = 0;
        m_delivered = 0;
        m_previousEnd = 0;
    }
    if (streaming) m_camera.StopStream();
}

CaptureSession::ReadVerdict CaptureSession::ReadFailed(bool cameraGone) {
    std::lock_guard<std::mutex> lock(m_lock);
    if (m_state == State::Interrupted) return ReadVerdict::GiveWay;
    if (cameraGone) return ReadVerdict::Lost;
    return ++m_readFailures >= kMaxReadFailures ? ReadVerdict::Abort : ReadVerdict::Retry;
}

void CaptureSession::ReadSucceeded() {
    std::lock_guard<std::mutex> lock(m_lock);
    m_readFailures = 0;
}

bool CaptureSession::ReadsAborted() const {
    std::lock_guard<std::mutex> lock(m_lock);
    return m_readFailures >= kMaxReadFailures;
}

SampleTimes CaptureSession::NextSampleTimes(LONGLONG duration) {
    std::lock_guard<std::mutex> lock(m_lock);
    const LONGLONG start = m_delivered == 0 ? 0 : m_previousEnd;
    m_previousEnd = start + duration;
    ++m_delivered;
    return {start, m_previousEnd};
}

void CaptureSession::TakeBackSample(LONGLONG start) {
    std::lock_guard<std::mutex> lock(m_lock);
    if (m_delivered == 0) return;
    m_previousEnd = start;
    --m_delivered;
}

std::int32_t CaptureSession::Delivered() const {
    std::lock_guard<std::mutex> lock(m_lock);
    return m_delivered;
}

CaptureSession::State CaptureSession::CurrentState() const {
    std::lock_guard<std::mutex> lock(m_lock);
    return m_state;
}

bool CaptureSession::Interrupted() const {
    std::lock_guard<std::mutex> lock(m_lock);
    return m_state == State::Interrupted;
}

}  // namespace vyx
