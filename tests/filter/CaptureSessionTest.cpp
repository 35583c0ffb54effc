// The capture session without COM: every window between a state change, the camera's start
// on the session's starter thread and the worker's reads, placed on purpose by a camera
// whose start blocks until the test opens its gate.
#include <gtest/gtest.h>

#include <condition_variable>
#include <future>
#include <mutex>

#include "CaptureSession.h"

namespace vyx::test {
namespace {
using Source = CaptureSession::Source;
using Stream = CaptureSession::Stream;
using Verdict = CaptureSession::ReadVerdict;
using Wait = CaptureSession::Wait;

// Only a call that waits for the held start ever gets near it; the gate opens at the end of
// every test, so a regression fails instead of hanging.
constexpr auto kHangGuard = std::chrono::seconds(10);
constexpr auto kNoDelivery = std::chrono::milliseconds(0);

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

    void CloseGate() { Set([&] { m_gateOpen = false; }); }
    void OpenGate() { Set([&] { m_gateOpen = true; }); }
    void RefuseStarts() { Set([&] { m_startSucceeds = false; }); }
    bool WaitForStartsEntered(int count) {
        std::unique_lock<std::mutex> lock(m_mutex);
        return m_changed.wait_for(lock, kHangGuard, [&] { return m_startsEntered >= count; });
    }
    bool Streaming() { return Get(m_streaming); }
    int Stops() { return Get(m_stops); }
    int StartsEntered() { return Get(m_startsEntered); }

private:
    template <class F>
    void Set(F&& f) {
        std::lock_guard<std::mutex> lock(m_mutex);
        f();
        m_changed.notify_all();
    }
    template <class T>
    T Get(const T& field) {
        std::lock_guard<std::mutex> lock(m_mutex);
        return field;
    }

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
    void TearDown() override { m_camera.OpenGate(); }

    // Activates, asks for the stream and runs; returns once the camera's start is held.
    void RunWithTheStartHeld() {
        const int before = m_camera.StartsEntered();
        m_camera.CloseGate();
        ASSERT_EQ(m_session.Activate(), CoreStatus::Ok);
        m_session.StartStream();
        m_session.Run();
        ASSERT_TRUE(m_camera.WaitForStartsEntered(before + 1));
    }
    // Runs to a streaming camera, as the worker sees it; the generation its fills belong to.
    std::uint64_t RunToTheStream() {
        EXPECT_EQ(m_session.Activate(), CoreStatus::Ok);
        m_session.StartStream();
        m_session.Run();
        return Ready();
    }
    // The worker's wait for the running stream, under the hang guard.
    std::uint64_t Ready() {
        std::uint64_t generation = 0;
        auto wait = std::async(std::launch::async, [&] { return m_session.WaitForStream(nullptr, &generation); });
        if (wait.wait_for(kHangGuard) != std::future_status::ready) {
            ADD_FAILURE() << "the stream never became ready";
            m_session.Stop();  // releases the waiter before the future is destroyed
        }
        EXPECT_EQ(wait.get(), Wait::Ready);
        return generation;
    }
    // True when `call` returns while the camera's start is still held.
    template <class Call>
    static bool ReturnsWhileTheStartIsHeld(Call&& call) {
        auto done = std::async(std::launch::async, std::forward<Call>(call));
        return done.wait_for(kHangGuard) == std::future_status::ready;
    }
    // After the source stopped: returns once no start is in progress any more.
    void WaitForTheStarter() {
        EXPECT_EQ(m_session.Configure([] { return CoreStatus::Ok; }), CoreStatus::Ok);
    }

    GatedCamera m_camera;
    CaptureSession m_session{m_camera};
};
}  // namespace

TEST_F(CaptureSessionTest, PauseAndStopDuringAStartReturnAtOnceAndTheStarterStopsTheCameraAgain) {
    for (const bool stop : {false, true}) {
        SCOPED_TRACE(stop ? "stop" : "pause");
        RunWithTheStartHeld();
        if (HasFatalFailure()) return;
        EXPECT_EQ(m_session.CurrentStream(), Stream::Starting);
        EXPECT_TRUE(ReturnsWhileTheStartIsHeld([&] {
            if (stop)
                m_session.Stop();
            else
                m_session.Pause(kNoDelivery);
        }));
        m_camera.OpenGate();
        m_session.Stop();
        m_session.Deactivate();
        WaitForTheStarter();
        EXPECT_FALSE(m_camera.Streaming()) << "the state change came last: the camera must not stream";
        EXPECT_EQ(m_session.CurrentStream(), Stream::Off);
    }
}

// A pause and the next run both arrive while a start is held: the run wants a stream, so
// the start is made again after the pause's stop.
TEST_F(CaptureSessionTest, APauseAndARunDuringAStartLeaveTheCameraStreaming) {
    RunWithTheStartHeld();
    if (HasFatalFailure()) return;
    m_session.Pause(kNoDelivery);
    m_session.Run();
    m_camera.OpenGate();
    Ready();
    EXPECT_TRUE(m_camera.Streaming());
    EXPECT_EQ(m_camera.StartsEntered(), 2);
    EXPECT_EQ(m_session.CurrentSource(), Source::Running);
}

// A read that began before a pause and fails after the run that follows (a worker that
// stalled in the read) belongs to the stream the pause ended: no failure is counted.
TEST_F(CaptureSessionTest, ReadsFailingAcrossAPauseAndARunGiveWayAndNeverAbort) {
    const std::uint64_t before = RunToTheStream();
    m_session.Pause(kNoDelivery);
    EXPECT_FALSE(m_camera.Streaming());
    m_session.Run();
    const std::uint64_t after = Ready();
    EXPECT_NE(before, after);
    for (int read = 0; read < CaptureSession::kMaxReadFailures; ++read)
        EXPECT_EQ(m_session.ReadFailed(before, false), Verdict::GiveWay) << read;
    EXPECT_FALSE(m_session.ReadsAborted());
    // The new stream's own failures count as ever.
    EXPECT_EQ(m_session.ReadFailed(after, false), Verdict::Retry);
    EXPECT_EQ(m_session.ReadFailed(after, false), Verdict::Retry);
    EXPECT_EQ(m_session.ReadFailed(after, false), Verdict::Abort);
    EXPECT_TRUE(m_session.ReadsAborted());
}

TEST_F(CaptureSessionTest, ReadFailuresCountOnlyInARowAndALostCameraEndsAtOnce) {
    const std::uint64_t generation = RunToTheStream();
    EXPECT_EQ(m_session.ReadFailed(generation, false), Verdict::Retry);
    EXPECT_EQ(m_session.ReadFailed(generation, false), Verdict::Retry);
    m_session.ReadSucceeded();
    EXPECT_EQ(m_session.ReadFailed(generation, false), Verdict::Retry);
    EXPECT_EQ(m_session.ReadFailed(generation, false), Verdict::Retry);
    EXPECT_EQ(m_session.ReadFailed(generation, true), Verdict::Lost);
    EXPECT_EQ(m_session.ReadFailed(generation, false), Verdict::Abort);

    m_session.End();
    EXPECT_FALSE(m_session.ReadsAborted()) << "a new worker reads again";
    EXPECT_FALSE(m_camera.Streaming());
}

TEST_F(CaptureSessionTest, TheWorkerWaitsWhilePausedAndGivesWayToItsWakeAndToAStop) {
    vyx::win::UniqueHandle wake(CreateEventW(nullptr, TRUE, TRUE, nullptr));
    std::uint64_t generation = 0;
    ASSERT_EQ(m_session.Activate(), CoreStatus::Ok);
    m_session.StartStream();
    // Paused, the worker would wait: its set wake event sends it back at once.
    EXPECT_EQ(m_session.WaitForStream(wake.Get(), &generation), Wait::GaveWay);
    m_session.Run();
    Ready();
    EXPECT_EQ(m_session.WaitForStream(wake.Get(), &generation), Wait::Ready);
    m_session.Stop();
    EXPECT_EQ(m_session.WaitForStream(nullptr, &generation), Wait::GaveWay);
}

TEST_F(CaptureSessionTest, StartsOnlyWhenActiveAndARefusedStartIsReportedToTheWorker) {
    m_session.StartStream();
    m_session.Run();
    WaitForTheStarter();
    EXPECT_EQ(m_camera.StartsEntered(), 0);

    m_camera.RefuseStarts();
    ASSERT_EQ(m_session.Activate(), CoreStatus::Ok);
    m_session.StartStream();
    m_session.Run();
    std::uint64_t generation = 0;
    auto wait = std::async(std::launch::async, [&] { return m_session.WaitForStream(nullptr, &generation); });
    ASSERT_EQ(wait.wait_for(kHangGuard), std::future_status::ready);
    EXPECT_EQ(wait.get(), Wait::Refused);
    // Stopping a camera that never streamed stops nothing.
    m_session.Stop();
    EXPECT_EQ(m_camera.Stops(), 0);
}

TEST_F(CaptureSessionTest, ConfigurationOnlyWhileStoppedAndAStartIsRefusedWhileAChangeIsFollowed) {
    int changes = 0;
    auto change = [&] {
        ++changes;
        return CoreStatus::Ok;
    };
    EXPECT_EQ(m_session.Configure(change), CoreStatus::Ok);

    // A change being made to take effect (the pin reconnecting) refuses the start; the
    // change itself is still allowed, for the connection it makes.
    m_session.BeginFollowing();
    EXPECT_EQ(m_session.Activate(), CoreStatus::Busy);
    EXPECT_EQ(m_session.CurrentSource(), Source::Stopped);
    EXPECT_EQ(m_session.Configure(change), CoreStatus::Ok);
    m_session.EndFollowing();

    // From the state change on, before the worker has started anything, until the stop
    // is complete (the settings save at the stream's end still uses the camera).
    ASSERT_EQ(m_session.Activate(), CoreStatus::Ok);
    EXPECT_EQ(m_session.Configure(change), CoreStatus::NotStopped);
    m_session.StartStream();
    m_session.Run();
    Ready();
    m_session.Stop();
    m_session.End();
    EXPECT_EQ(m_session.Configure(change), CoreStatus::NotStopped);
    m_session.Deactivate();
    EXPECT_EQ(m_session.Configure(change), CoreStatus::Ok);
    EXPECT_EQ(changes, 3);
    EXPECT_EQ(m_session.Configure([] { return CoreStatus::InvalidArgument; }), CoreStatus::InvalidArgument);
}

TEST_F(CaptureSessionTest, SampleTimesAreGapFreeAndASampleFilledBeforeAPauseIsNotDelivered) {
    const std::uint64_t generation = RunToTheStream();
    SampleTimes first = m_session.NextSampleTimes(400000);
    EXPECT_EQ(first.start, 0);
    EXPECT_EQ(first.end, 400000);
    SampleTimes second = m_session.NextSampleTimes(400000);
    EXPECT_EQ(second.start, 400000);
    ASSERT_TRUE(m_session.BeginDelivery(generation));
    m_session.EndDelivery();

    // The pause comes after the fill: the sample is refused and taken back, and the next
    // takes its place.
    m_session.Pause(kNoDelivery);
    EXPECT_FALSE(m_session.BeginDelivery(generation));
    m_session.TakeBackSample(second.start);
    EXPECT_EQ(m_session.Delivered(), 1);
    m_session.Run();
    Ready();
    SampleTimes third = m_session.NextSampleTimes(500000);
    EXPECT_EQ(third.start, 400000);
    EXPECT_EQ(third.end, 900000);

    // A new worker starts from 0.
    m_session.End();
    EXPECT_EQ(m_session.Delivered(), 0);
    m_session.TakeBackSample(123);  // nothing to take back: no effect
    EXPECT_EQ(m_session.NextSampleTimes(400000).start, 0);
}

}  // namespace vyx::test
