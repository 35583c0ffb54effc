#pragma once
// The life of the pin's camera stream in one place: whether the filter is stopped (only
// then may the camera be reconfigured or replaced), the start, interrupt, restart and end
// of the camera's stream, the pump's read-failure rule and the run's gap-free sample times.
//
// States:
//   Stopped     the filter is stopped; Configure runs its change.
//   Idle        the filter is paused or running; the camera's stream is not started.
//   Starting    the streaming thread is starting the camera, without the lock.
//   Streaming   the camera's stream runs.
//   Interrupted a pause or stop stopped the camera's stream; a Start waits for a Resume.
//   Resuming    a run follows the pause; the streaming thread's next Start restarts.
// Activate: Stopped -> Idle. Start: Idle or Resuming -> Starting -> Streaming, or back to
// Interrupted when an Interrupt overtook the start (which then stops the camera again).
// Interrupt: Starting, Streaming or Resuming -> Interrupted. Resume: Interrupted ->
// Resuming. End: any active state -> Idle. Deactivate: -> Stopped.
//
// Threads: the filter's state-changing thread calls Activate, Deactivate, Interrupt and
// Resume; the
// streaming thread calls Start, End, the read verdicts and the sample times; any application
// thread calls Configure and the queries. m_lock guards every field. No camera call is made
// under it except the change a Configure caller runs, so a pause or stop never waits for a
// camera start; a configuration change and a state change exclude each other.
#include <windows.h>
#include <vfwmsgs.h>

#include <cstdint>
#include <mutex>

namespace vyx {

// The stream calls of the session's camera; the pin forwards them to the camera library.
class SessionCamera {
public:
    virtual ~SessionCamera() = default;
    virtual bool StartStream() = 0;  // true when the camera streams
    virtual void StopStream() = 0;
};

struct SampleTimes {
    LONGLONG start;  // 100 ns units from the run's first sample
    LONGLONG end;
};

class CaptureSession {
public:
    enum class State { Stopped, Idle, Starting, Streaming, Interrupted, Resuming };
    // What the pump does after a read that failed.
    enum class ReadVerdict { Retry, GiveWay, Abort, Lost };
    static constexpr int kMaxReadFailures = 3;

    explicit CaptureSession(SessionCamera& camera) : m_camera(camera) {}
    CaptureSession(const CaptureSession&) = delete;
    CaptureSession& operator=(const CaptureSession&) = delete;

    // The filter leaves Stopped (before its pins activate) and returns to it (after they
    // are inactive, so a save at the stream's end still has the camera).
    void Activate();
    void Deactivate();

    // Runs `change` only while the filter is stopped, judged under the lock the state
    // change takes; VFW_E_NOT_STOPPED otherwise.
    template <class Change>
    HRESULT Configure(Change&& change) {
        std::lock_guard<std::mutex> lock(m_lock);
        if (m_state != State::Stopped) return VFW_E_NOT_STOPPED;
        return change();
    }

    // Starts or restarts the camera's stream. S_OK streaming (also when it already was),
    // S_FALSE when an Interrupt came first or overtook the start (the camera is left or
    // stopped again), E_FAIL when the camera refused (reads then fail), VFW_E_WRONG_STATE
    // while stopped.
    HRESULT Start();
    // Stops the camera's stream from a control thread without waiting for a start. True
    // when no stream was delivering (a restart pending or in progress): the streaming
    // thread then delivers nothing before it sees the pause.
    bool Interrupt();
    // A run after a pause: the streaming thread's next Start restarts the stream.
    void Resume();
    // The streaming thread ends: stops a stream still running, clears the counts.
    void End();

    // The pump's read rule: a read cut short by an interrupt is no failure; a camera the
    // library no longer lists is lost at once; the third failure in a row aborts the run.
    ReadVerdict ReadFailed(bool cameraGone);
    void ReadSucceeded();
    // After an abort every later fill of the thread fails without reading.
    bool ReadsAborted() const;

    // Sample times: each sample starts where the last delivered one ended, from 0 at the
    // thread's start; a sample taken back lets the next one take its place.
    SampleTimes NextSampleTimes(LONGLONG duration);
    void TakeBackSample(LONGLONG start);
    std::int32_t Delivered() const;

    State CurrentState() const;
    bool Interrupted() const;  // the fill in progress should give way

private:
    SessionCamera& m_camera;
    mutable std::mutex m_lock;
    State m_state = State::Stopped;
    int m_readFailures = 0;
    std::int32_t m_delivered = 0;
    LONGLONG m_previousEnd = 0;
};

}  // namespace vyx
