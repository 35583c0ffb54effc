#include "CaptureSession.h"

#include <new>
#include <system_error>

namespace vyx {

CaptureSession::CaptureSession(SessionCamera& camera)
    : m_camera(camera), m_event(CreateEventW(nullptr, FALSE, FALSE, nullptr)) {}

CaptureSession::~CaptureSession() {
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_exit = true;
    }
    m_changed.notify_all();
    if (m_starter.joinable()) m_starter.join();
}

void CaptureSession::AdvanceLocked() {
    ++m_generation;
    SetEvent(m_event.Get());
    m_changed.notify_all();
}

CoreStatus CaptureSession::Activate() {
    std::lock_guard<std::mutex> lock(m_lock);
    if (m_following > 0) return CoreStatus::Busy;
    if (m_source != Source::Stopped) return CoreStatus::Ok;
    m_source = Source::Paused;
    AdvanceLocked();
    return CoreStatus::Ok;
}

void CaptureSession::StartStream() {
    std::lock_guard<std::mutex> lock(m_lock);
    if (m_source != Source::Paused && m_source != Source::Running) return;
    // The starter comes with the first start, so a source that never streams (a filter
    // made to be asked for its formats) costs no thread.
    if (!m_starter.joinable()) {
        bool created = false;
        try {
            m_starter = std::thread([this] { StarterLoop(); });
            created = true;
        } catch (const std::system_error&) {
        } catch (const std::bad_alloc&) {
        }
        if (!created) {
            m_stream = Stream::Refused;  // the worker reports it as a camera that refused
            AdvanceLocked();
            return;
        }
    }
    m_wantStream = true;
    if (m_stream != Stream::On) m_startRequested = true;
    m_changed.notify_all();
}

void CaptureSession::Run() {
    std::lock_guard<std::mutex> lock(m_lock);
    if (m_source != Source::Paused) return;
    m_source = Source::Running;
    if (!m_wantStream) {
        m_wantStream = true;
        m_startRequested = true;
    }
    AdvanceLocked();
}

bool CaptureSession::StopWantedLocked() {
    m_wantStream = false;
    m_startRequested = false;
    if (m_stream == Stream::Starting) {
        // The start in progress is overtaken: the starter stops the camera when it returns,
        // so this caller never waits on a library that finishes a start before a stop.
        ++m_stops;
        return false;
    }
    if (m_stream != Stream::On) return false;
    ++m_stops;
    m_stream = Stream::Off;
    return true;
}

void CaptureSession::Pause(std::chrono::milliseconds deliveryWait) {
    bool stop = false;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        if (m_source != Source::Running) return;
        m_source = Source::Paused;
        stop = StopWantedLocked();
        AdvanceLocked();
    }
    // A read blocked in the camera library ends when the camera's stream stops.
    if (stop) m_camera.StopStream();
    std::unique_lock<std::mutex> lock(m_lock);
    m_changed.wait_for(lock, deliveryWait, [&] { return !m_delivering; });
}

void CaptureSession::Stop() {
    bool stop = false;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        if (m_source == Source::Stopped) return;
        m_source = Source::Ending;
        stop = StopWantedLocked();
        AdvanceLocked();
    }
    if (stop) m_camera.StopStream();
}

void CaptureSession::Deactivate() {
    std::lock_guard<std::mutex> lock(m_lock);
    m_source = Source::Stopped;
    m_wantStream = false;
    m_startRequested = false;
    AdvanceLocked();
}

void CaptureSession::BeginFollowing() {
    std::lock_guard<std::mutex> lock(m_lock);
    ++m_following;
}

void CaptureSession::EndFollowing() {
    std::lock_guard<std::mutex> lock(m_lock);
    --m_following;
}

void CaptureSession::StarterLoop() {
    std::unique_lock<std::mutex> lock(m_lock);
    for (;;) {
        m_changed.wait(lock, [&] { return m_exit || m_startRequested; });
        if (m_exit) return;
        m_startRequested = false;
        m_starterBusy = true;
        m_stream = Stream::Starting;
        const unsigned stopsBefore = m_stops;
        lock.unlock();
        // Without the lock: a large camera renders its first frame here, and no state
        // change may wait for that.
        const bool started = m_camera.StartStream();
        lock.lock();
        if (m_stops == stopsBefore && m_wantStream) {
            m_stream = started ? Stream::On : Stream::Refused;
            if (started) m_readFailures = 0;
        } else {
            // A pause or stop came meanwhile: the camera is left stopped, as the last of
            // them wants; a run after it is served by the next round.
            m_stream = Stream::Off;
            if (started) {
                lock.unlock();
                m_camera.StopStream();
                lock.lock();
            }
            if (m_wantStream) m_startRequested = true;
        }
        m_starterBusy = m_startRequested;
        SetEvent(m_event.Get());
        m_changed.notify_all();
    }
}

CaptureSession::Wait CaptureSession::WaitForStream(HANDLE wake, std::uint64_t* generation) {
    const HANDLE handles[] = {m_event.Get(), wake};
    const DWORD count = wake ? 2 : 1;
    for (;;) {
        {
            std::lock_guard<std::mutex> lock(m_lock);
            if (m_source != Source::Paused && m_source != Source::Running) return Wait::GaveWay;
            if (m_source == Source::Running && m_stream == Stream::On) {
                *generation = m_generation.load();
                return Wait::Ready;
            }
            if (m_source == Source::Running && m_stream == Stream::Refused) return Wait::Refused;
        }
        if (WaitForMultipleObjects(count, handles, FALSE, INFINITE) == WAIT_OBJECT_0 + 1) return Wait::GaveWay;
    }
}

CaptureSession::ReadVerdict CaptureSession::ReadFailed(std::uint64_t generation, bool cameraGone) {
    std::lock_guard<std::mutex> lock(m_lock);
    // Cut short by a pause or stop, or read across a restart: the read belonged to a
    // stream that has ended, whatever the state is now.
    if (m_generation.load() != generation || m_source != Source::Running || m_stream != Stream::On)
        return ReadVerdict::GiveWay;
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

bool CaptureSession::BeginDelivery(std::uint64_t generation) {
    std::lock_guard<std::mutex> lock(m_lock);
    if (m_generation.load() != generation) return false;
    m_delivering = true;
    return true;
}

void CaptureSession::EndDelivery() {
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_delivering = false;
    }
    m_changed.notify_all();
}

SampleTimes CaptureSession::NextSampleTimes(std::int64_t duration) {
    std::lock_guard<std::mutex> lock(m_lock);
    const std::int64_t start = m_delivered == 0 ? 0 : m_previousEnd;
    m_previousEnd = start + duration;
    m_lastDuration = duration;
    ++m_delivered;
    return {start, m_previousEnd};
}

void CaptureSession::TakeBackSample(std::int64_t start) {
    std::lock_guard<std::mutex> lock(m_lock);
    if (m_delivered == 0) return;
    m_previousEnd = start;
    --m_delivered;
}

std::int32_t CaptureSession::Delivered() const {
    std::lock_guard<std::mutex> lock(m_lock);
    return m_delivered;
}

std::int64_t CaptureSession::LastSampleDuration() const {
    std::lock_guard<std::mutex> lock(m_lock);
    return m_delivered > 0 ? m_lastDuration : 0;
}

void CaptureSession::End() {
    bool stop = false;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        stop = StopWantedLocked();
        m_readFailures = 0;
        m_delivered = 0;
        m_previousEnd = 0;
        m_changed.notify_all();
    }
    if (stop) m_camera.StopStream();
}

CaptureSession::Source CaptureSession::CurrentSource() const {
    std::lock_guard<std::mutex> lock(m_lock);
    return m_source;
}

CaptureSession::Stream CaptureSession::CurrentStream() const {
    std::lock_guard<std::mutex> lock(m_lock);
    return m_stream;
}

}  // namespace vyx
