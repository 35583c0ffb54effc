#pragma once
// The system timer period while a stream runs. The pump waits for a frame in 1 ms sleeps,
// and a sleep lasts at least one timer period: about 15.6 ms on Windows unless a program
// asks for 1 ms, so at 100 frames a second and more the pump would fall behind the camera.
// The streaming thread asks for 1 ms when it starts (OnThreadCreate) and ends its request
// when it ends (OnThreadDestroy): one timeEndPeriod for every timeBeginPeriod that succeeded.
//
// Threads: the streaming thread only. The calls are replaceable for tests, which count
// them; they are set before a stream starts.
#include <windows.h>
#include <mmsystem.h>

namespace vyx {

struct TimerPeriodCalls {
    MMRESULT(WINAPI* begin)(UINT periodMs);
    MMRESULT(WINAPI* end)(UINT periodMs);
};

// The calls every StreamingTimerPeriod makes: winmm's unless a test has replaced them.
TimerPeriodCalls& StreamingTimerPeriodCalls();

class StreamingTimerPeriod {
public:
    StreamingTimerPeriod() = default;
    ~StreamingTimerPeriod() { End(); }
    StreamingTimerPeriod(const StreamingTimerPeriod&) = delete;
    StreamingTimerPeriod& operator=(const StreamingTimerPeriod&) = delete;

    // Asks for 1 ms; a second Begin before End asks nothing more.
    void Begin();
    // Ends the request Begin made, if it made one.
    void End();

private:
    bool m_raised = false;
};

}  // namespace vyx
