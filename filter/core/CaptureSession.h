#pragma once
// The life of the camera's stream in one place, for a client that pulls frames on a worker
// thread of its own: whether the source is stopped (only then may the camera be
// reconfigured or replaced), paused or running; the start of the camera's stream, made on a
// thread of the session's own so that no pause or stop ever waits for it; the handshake with
// the client's worker (a run generation and an event); the read-failure rule; and the run's
// gap-free sample times.
//
// Source: Stopped -> Paused (Activate) <-> Running (Run, Pause) -> Ending (Stop: the worker
// is to end) -> Stopped (Deactivate). Every change advances the generation and sets the
// worker's event; a fill that began in an older generation gives way, and a sample it filled
// is not delivered.
// Camera stream: Off -> Starting (on the starter thread, without the lock) -> On, or Refused.
// It is wanted from StartStream (after activation) and from Run; Pause and Stop stop it at
// once, during a start too. A start that a stop overtook is stopped again by the starter
// when the camera returns, and made again if a run wants the stream by then.
//
// Threads: the client's state-changing thread calls Activate, StartStream, Run, Pause, Stop
// and Deactivate, one at a time; the client's worker calls WaitForStream, the read verdicts,
// the delivery gate, the sample times and End; any thread calls Configure, Locked and the
// queries. m_lock guards every field; it also guards what the client keeps under Configure
// and Locked. No camera call is made under it except the change a Configure caller runs,
// which therefore never overlaps a state change or a start. m_generation is also atomic so
// the worker can poll it without the lock.
#include <windows.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>

#include "CoreStatus.h"
#include "UniqueResource.h"

namespace vyx {

// The stream calls of the session's camera.
class SessionCamera {
public:
    virtual ~SessionCamera() = default;
    virtual bool StartStream() = 0;  // true when the camera streams
    virtual void StopStream() = 0;
};

struct SampleTimes {
    std::int64_t start;  // 100 ns units from the first sample since the worker began
    std::int64_t end;
};

class CaptureSession {
public:
    enum class Source { Stopped, Paused, Running, Ending };
    enum class Stream { Off, Starting, On, Refused };
    // What WaitForStream found.
    enum class Wait { Ready, GaveWay, Refused };
    // What the worker does after a read that failed.
    enum class ReadVerdict { Retry, GiveWay, Abort, Lost };
    static constexpr int kMaxReadFailures = 3;

    explicit CaptureSession(SessionCamera& camera);
    // Waits for a start in progress: the camera outlives the session.
    ~CaptureSession();
    CaptureSession(const CaptureSession&) = delete;
    CaptureSession& operator=(const CaptureSession&) = delete;

    // Stopped -> Paused. Busy while a configuration change is being followed.
    CoreStatus Activate();
    // The camera is set up for the stream: start it on the starter thread.
    void StartStream();
    // Paused -> Running; a stream a pause stopped starts again.
    void Run();
    // Running -> Paused: the camera's stream stops at once; then waits at most
    // `deliveryWait` for a sample being delivered, which a paused peer may hold.
    void Pause(std::chrono::milliseconds deliveryWait);
    // -> Ending: the camera's stream stops at once and the worker is to end.
    void Stop();
    // -> Stopped, after the worker has ended.
    void Deactivate();

    // Runs `change` (returning CoreStatus) under the lock while the source is stopped and
    // no start is in progress (it waits for one to end); NotStopped otherwise.
    template <class Change>
    CoreStatus Configure(Change&& change) {
        std::unique_lock<std::mutex> lock(m_lock);
        m_changed.wait(lock, [&] { return !m_starterBusy; });
        if (m_source != Source::Stopped) return CoreStatus::NotStopped;
        return change();
    }
    // Runs `read` under the lock, in any state.
    template <class Read>
    auto Locked(Read&& read) const {
        std::lock_guard<std::mutex> lock(m_lock);
        return read();
    }

    // While a client makes a configuration change take effect outside the lock (the pin
    // reconnects), a start is refused: it would stream in a half-made configuration.
    void BeginFollowing();
    void EndFollowing();

    // Worker side. Waits until the source runs and the camera streams (Ready, with the
    // generation the fill belongs to), the camera refused to start (Refused), or the source
    // leaves Paused and Running or `wake` (when given) is set (GaveWay).
    Wait WaitForStream(HANDLE wake, std::uint64_t* generation);
    // Still the generation a fill began in.
    bool Current(std::uint64_t generation) const { return m_generation.load() == generation; }
    // Set on every change of the source, the stream and the generation.
    HANDLE Changed() const { return m_event.Get(); }
    // A read that failed: one the state changes cut short is no failure; a camera the
    // library no longer lists is lost at once; the third failure in a row aborts.
    ReadVerdict ReadFailed(std::uint64_t generation, bool cameraGone);
    void ReadSucceeded();
    // After an abort every later fill fails without reading, until the camera starts again.
    bool ReadsAborted() const;
    // Delivery of a filled sample: refused when the generation moved on since the fill;
    // Pause waits for a delivery between the two calls.
    bool BeginDelivery(std::uint64_t generation);
    void EndDelivery();
    // Each sample starts where the last delivered one ended, from 0 when the worker began;
    // a sample taken back lets the next one take its place.
    SampleTimes NextSampleTimes(std::int64_t duration);
    void TakeBackSample(std::int64_t start);
    std::int32_t Delivered() const;
    // The duration given to the run's last sample; 0 before the first.
    std::int64_t LastSampleDuration() const;
    // The worker ends: stops a stream still on, clears the counts.
    void End();

    Source CurrentSource() const;
    Stream CurrentStream() const;

private:
    void StarterLoop();
    // Under the lock: the stream is to stop. True when the caller must stop the camera.
    bool StopWantedLocked();
    void AdvanceLocked();

    SessionCamera& m_camera;
    mutable std::mutex m_lock;
    std::condition_variable m_changed;
    vyx::win::UniqueHandle m_event;  // auto-reset: the worker is its one waiter
    Source m_source = Source::Stopped;
    Stream m_stream = Stream::Off;
    std::atomic<std::uint64_t> m_generation{0};
    bool m_wantStream = false;
    bool m_startRequested = false;
    bool m_starterBusy = false;     // a start, or the stop of an overtaken one, in progress
    unsigned m_stops = 0;           // stops since the session began: a start that sees it move was overtaken
    int m_following = 0;
    bool m_delivering = false;
    bool m_exit = false;
    int m_readFailures = 0;
    std::int32_t m_delivered = 0;
    std::int64_t m_previousEnd = 0;
    std::int64_t m_lastDuration = 0;
    std::thread m_starter;  // from the first StartStream: it needs every other member
};

}  // namespace vyx
