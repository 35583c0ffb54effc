#pragma once
// A thread that makes one group of control calls again and again while a pin streams, as
// an application's user interface or a property page does, with a pause after each round.
// A new gain or exposure restarts the frame in progress, as on a real camera, so rounds
// that change them need a pause of a few hundred milliseconds to let frames through.
// The body returns false for a round that got a code it should not have.
#include <windows.h>

#include <atomic>
#include <functional>
#include <thread>

#include "UniqueResource.h"

namespace vyx::test {

class ControlWorker {
public:
    // A pause of 0 starts the next round at once.
    ControlWorker(DWORD pauseMs, std::function<bool()> body);
    ~ControlWorker();
    ControlWorker(const ControlWorker&) = delete;
    ControlWorker& operator=(const ControlWorker&) = delete;

    // Ends the round in progress and joins the thread; a pause ends at once.
    void Stop();
    long Rounds() const { return m_rounds.load(); }
    long Failures() const { return m_failures.load(); }

private:
    void Run();

    const DWORD m_pauseMs;
    std::function<bool()> m_body;  // called on the worker thread only
    vyx::win::UniqueHandle m_stop;
    std::atomic<long> m_rounds{0};
    std::atomic<long> m_failures{0};
    std::thread m_thread;  // last: it starts once everything it reads is in place
};

}  // namespace vyx::test
