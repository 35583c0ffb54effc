// The capture session without COM: every window between a state change and a camera start
// placed on purpose by a camera whose start blocks until the test opens its gate.
#include <gtest/gtest.h>

#include <condition_variable>
#include <future>
#include <mutex>
#include <thread>

#include "CaptureSession.h"

namespace vyx::test {
namespace {
using State = CaptureSession::State;
using Verdict = CaptureSession::ReadVerdict;

// Generous: only a session that waits for the held start ever gets near it.
constexpr auto kNoWait = std::chrono::seconds(10);

// A camera whose StartStream, while the gate is closed, blocks until the test opens it.
class GatedCamera : public SessionCamera {
public:
    bool StartStream() override {
        std::unique_lock<std::mutex> lock(m_mutex);
        ++m_startsEntered;
        m_changed.notify_all();
        m_changed.wait(lock, [&] { return m_gateOpen; });
        m_streaming = m_startSucceeds;
        return m_startSucceeds;
    }
    void StopStream() override {
        std::lock_guard<std::mutex> lock(m_mutex);
        ++m_stops;
        m_streaming = false;
    }

    void CloseGate() {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_gateOpen = false;
    }
    void OpenGate() {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_gateOpen = true;
        m_changed.notify_all();
    }
    void WaitForStartsEntered(int count) {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_changed.wait(lock, [&] { return m_startsEntered >= count; });
    }
    void RefuseStarts() {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_startSucceeds = false;
    }
    bool Streaming() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_streaming;
    }
    int Stops() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_stops;
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_gateOpen = true;
    bool m_startSucceeds = true;
    bool m_streaming = false;
    int m_startsEntered = 0;
    int m_stops = 0;
};

class CaptureSessionTest : public ::testing::Test {
protected:
    // Starts the session on a thread of its own, as the streaming thread does, and returns
    // once the camera's start is held at the closed gate.
    std::future<HRESULT> StartHeld(int startsBefore = 0) {
        m_camera.CloseGate();
        auto start = std::async(std::launch::async, [&] { return m_session.Start(); });
        m_camera.WaitForStartsEntered(startsBefore + 1);
        return start;
    }

    // Runs `call` on another thread; true when it returned while the camera's start was held.
    template <class Call>
    static bool ReturnsWithoutWaiting(Call&& call) {
        auto done = std::async(std::launch::async, std::forward<Call>(call));
        return done.wait_for(kNoWait) == std::future_status::ready;
    }

    GatedCamera m_camera;
    CaptureSession m_session{m_camera};
};
}  // namespace

TEST_F(CaptureSessionTest, AnInterruptDuringAStartReturnsAtOnceAndTheStartStopsTheCameraAgain) {
    m_session.Activate();
    std::future<HRESULT> start = StartHeld();
    EXPECT_EQ(m_session.CurrentState(), State::Starting);

    bool overtook = false;
    EXPECT_TRUE(ReturnsWithoutWaiting([&] { overtook = m_session.Interrupt(); }));
    EXPECT_TRUE(overtook);
    EXPECT_TRUE(m_session.Interrupted());
    m_camera.OpenGate();
    EXPECT_EQ(start.get(), S_FALSE);
    EXPECT_FALSE(m_camera.Streaming()) << "the pause came last: the camera must not stream";
    EXPECT_EQ(m_session.CurrentState(), State::Interrupted);

    // Only a run restarts it.
    EXPECT_EQ(m_session.Start(), S_FALSE);
    EXPECT_FALSE(m_camera.Streaming());
    m_session.Resume();
    EXPECT_EQ(m_session.Start(), S_OK);
    EXPECT_TRUE(m_camera.Streaming());
    EXPECT_EQ(m_session.CurrentState(), State::Streaming);
}

TEST_F(CaptureSessionTest, PauseThenRunThenPauseAgainWhileTheRestartIsHeld) {
    m_session.Activate();
    ASSERT_EQ(m_session.Start(), S_OK);
    EXPECT_FALSE(m_session.Interrupt()) << "no start was in progress";
    EXPECT_FALSE(m_camera.Streaming());
    EXPECT_EQ(m_session.ReadFailed(false), Verdict::GiveWay) << "a read the pause cut short is no failure";

    m_session.Resume();
    std::future<HRESULT> restart = StartHeld(1);
    EXPECT_FALSE(m_session.Interrupted()) << "the resumed run's fill must not give way";
    EXPECT_TRUE(ReturnsWithoutWaiting([&] { m_session.Interrupt(); }));
    m_camera.OpenGate();
    EXPECT_EQ(restart.get(), S_FALSE);
    EXPECT_FALSE(m_camera.Streaming());
    EXPECT_TRUE(m_session.Interrupted());
}

// The pause comes after the run's command but before the streaming thread begins the
// restart: the restart must not start the camera behind the pause's back.
TEST_F(CaptureSessionTest, APauseBeforeTheRestartBeginsKeepsTheCameraStopped) {
    m_session.Activate();
    ASSERT_EQ(m_session.Start(), S_OK);
    m_session.Interrupt();
    m_session.Resume();
    EXPECT_TRUE(m_session.Interrupt()) << "nothing was delivering: the pause need not wait";
    EXPECT_EQ(m_session.Start(), S_FALSE);
    EXPECT_FALSE(m_camera.Streaming());
    EXPECT_EQ(m_camera.Stops(), 1) << "only the first pause stopped a stream";
    EXPECT_TRUE(m_session.Interrupted());
}

// A pause and the next run both arrive while the restart is held: the run wants a stream,
// so the start is made again after the pause's stop.
TEST_F(CaptureSessionTest, APauseAndARunDuringARestartLeaveTheCameraStreaming) {
    m_session.Activate();
    ASSERT_EQ(m_session.Start(), S_OK);
    m_session.Interrupt();
    m_session.Resume();
    std::future<HRESULT> restart = StartHeld(1);
    EXPECT_TRUE(m_session.Interrupt());
    m_session.Resume();
    m_camera.OpenGate();
    EXPECT_EQ(restart.get(), S_OK);
    EXPECT_TRUE(m_camera.Streaming());
    EXPECT_EQ(m_session.CurrentState(), State::Streaming);
    EXPECT_FALSE(m_session.Interrupted());
}

TEST_F(CaptureSessionTest, ConfigurationIsRefusedFromActivationUntilDeactivation) {
    int changes = 0;
    auto change = [&] {
        ++changes;
        return S_OK;
    };
    EXPECT_EQ(m_session.Configure(change), S_OK);

    // From the state change on, before the streaming thread has started anything.
    m_session.Activate();
    EXPECT_EQ(m_session.Configure(change), VFW_E_NOT_STOPPED);
    std::future<HRESULT> start = StartHeld();
    EXPECT_EQ(m_session.Configure(change), VFW_E_NOT_STOPPED);
    m_camera.OpenGate();
    EXPECT_EQ(start.get(), S_OK);
    EXPECT_EQ(m_session.Configure(change), VFW_E_NOT_STOPPED);
    // The streaming thread has ended but the filter has not finished stopping (the settings
    // save at the end of the stream still uses the camera).
    m_session.End();
    EXPECT_FALSE(m_camera.Streaming());
    EXPECT_EQ(m_session.Configure(change), VFW_E_NOT_STOPPED);
    m_session.Deactivate();
    EXPECT_EQ(m_session.Configure(change), S_OK);
    EXPECT_EQ(changes, 2);
    // A failed change keeps its code.
    EXPECT_EQ(m_session.Configure([] { return E_INVALIDARG; }), E_INVALIDARG);
}

// A change in progress holds the lock the activation takes, so a filter that starts
// streaming never sees half a configuration.
TEST_F(CaptureSessionTest, AnActivationWaitsForAConfigurationChangeInProgress) {
    std::promise<void> inside;
    std::promise<void> finish;
    auto configure = std::async(std::launch::async, [&] {
        return m_session.Configure([&] {
            inside.set_value();
            finish.get_future().wait();
            return S_OK;
        });
    });
    inside.get_future().wait();
    auto activate = std::async(std::launch::async, [&] { m_session.Activate(); });
    EXPECT_EQ(activate.wait_for(std::chrono::milliseconds(100)), std::future_status::timeout);
    finish.set_value();
    EXPECT_EQ(configure.get(), S_OK);
    activate.get();
    EXPECT_EQ(m_session.Configure([] { return S_OK; }), VFW_E_NOT_STOPPED);
}

TEST_F(CaptureSessionTest, StartsOnlyWhileActiveAndARefusedStartLeavesReadsToFail) {
    EXPECT_EQ(m_session.Start(), VFW_E_WRONG_STATE);
    EXPECT_FALSE(m_camera.Streaming());

    m_session.Activate();
    m_camera.RefuseStarts();
    EXPECT_EQ(m_session.Start(), E_FAIL);
    EXPECT_EQ(m_session.CurrentState(), State::Idle);
    EXPECT_FALSE(m_session.Interrupted()) << "the reads must fail, not give way forever";
    EXPECT_EQ(m_session.ReadFailed(false), Verdict::Retry);
    EXPECT_EQ(m_session.ReadFailed(false), Verdict::Retry);
    EXPECT_EQ(m_session.ReadFailed(false), Verdict::Abort);

    // An interrupt with nothing streaming stops nothing.
    m_session.Interrupt();
    EXPECT_EQ(m_camera.Stops(), 0);
}

TEST_F(CaptureSessionTest, ReadFailuresCountOnlyInARowAndALostCameraEndsAtOnce) {
    m_session.Activate();
    ASSERT_EQ(m_session.Start(), S_OK);
    EXPECT_EQ(m_session.ReadFailed(false), Verdict::Retry);
    EXPECT_EQ(m_session.ReadFailed(false), Verdict::Retry);
    m_session.ReadSucceeded();
    EXPECT_EQ(m_session.ReadFailed(false), Verdict::Retry);
    EXPECT_EQ(m_session.ReadFailed(false), Verdict::Retry);
    EXPECT_EQ(m_session.ReadFailed(true), Verdict::Lost);
    EXPECT_FALSE(m_session.ReadsAborted());
    EXPECT_EQ(m_session.ReadFailed(false), Verdict::Abort);
    EXPECT_TRUE(m_session.ReadsAborted());

    m_session.End();
    EXPECT_FALSE(m_session.ReadsAborted()) << "a new thread reads again";
    EXPECT_FALSE(m_camera.Streaming());
    EXPECT_EQ(m_session.CurrentState(), State::Idle);
}

TEST_F(CaptureSessionTest, SampleTimesAreGapFreeAcrossATakenBackSampleAndRestartAtTheThreadsEnd) {
    m_session.Activate();
    ASSERT_EQ(m_session.Start(), S_OK);
    SampleTimes first = m_session.NextSampleTimes(400000);
    EXPECT_EQ(first.start, 0);
    EXPECT_EQ(first.end, 400000);
    SampleTimes second = m_session.NextSampleTimes(400000);
    EXPECT_EQ(second.start, 400000);
    // A sample filled but not delivered (a pause, a refusing peer): the next takes its place.
    m_session.TakeBackSample(second.start);
    EXPECT_EQ(m_session.Delivered(), 1);
    SampleTimes third = m_session.NextSampleTimes(500000);
    EXPECT_EQ(third.start, 400000);
    EXPECT_EQ(third.end, 900000);

    // A pause and a resume continue the run's times; a new thread starts from 0.
    m_session.Interrupt();
    m_session.Resume();
    ASSERT_EQ(m_session.Start(), S_OK);
    EXPECT_EQ(m_session.NextSampleTimes(400000).start, 900000);
    m_session.End();
    EXPECT_EQ(m_session.Delivered(), 0);
    m_session.TakeBackSample(123);  // nothing to take back: no effect
    EXPECT_EQ(m_session.NextSampleTimes(400000).start, 0);
}

}  // namespace vyx::test
