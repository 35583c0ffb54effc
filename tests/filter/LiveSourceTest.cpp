// The pin as a live source in real graphs: prompt stop, pause and last release during long
// exposures and with a camera that never becomes ready, no delivery while paused, format
// changes refused unless stopped, connection types that carry the real frame size and the
// peer's frame interval, a replaced camera object, and an unplugged camera reported as lost.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <climits>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "FilterFixture.h"
#include "FilterTestSupport.h"
#include "GrabberCallback.h"
#include "ModelDescriptor.h"
#include "SimulatedBus.h"

using namespace vyx::test;

namespace {
constexpr int kLongExposureUs = 10000000;  // 10 s
constexpr int kShortExposureUs = 1000;
constexpr long long kPromptMs = 500;
// A busy machine can hold up one prompt state change (a thread not scheduled, the settings
// save flushed to a busy disk), so each gets this many tries; a filter that waits for the
// camera is slow in every one.
constexpr int kTries = 3;

struct Delivered {
    REFERENCE_TIME start = -1;
    REFERENCE_TIME end = -1;
    long length = 0;
    std::vector<BYTE> bytes;
};

// Keeps every delivered sample with its bytes.
class SampleLog : public GrabberCallback {
public:
    STDMETHODIMP SampleCB(double, IMediaSample* sample) override {
        Delivered d;
        sample->GetTime(&d.start, &d.end);
        d.length = sample->GetActualDataLength();
        BYTE* data = nullptr;
        if (SUCCEEDED(sample->GetPointer(&data)) && d.length > 0) d.bytes.assign(data, data + d.length);
        std::lock_guard<std::mutex> lock(m_mutex);
        m_samples.push_back(std::move(d));
        return S_OK;
    }

    size_t Count() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_samples.size();
    }
    bool WaitFor(size_t count, DWORD ms) {
        for (DWORD waited = 0; waited < ms; waited += 10) {
            if (Count() >= count) return true;
            Sleep(10);
        }
        return Count() >= count;
    }
    std::vector<Delivered> Samples() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_samples;
    }

private:
    std::mutex m_mutex;
    std::vector<Delivered> m_samples;
};

long long MillisecondsOf(const std::function<void()>& action) {
    const auto begin = std::chrono::steady_clock::now();
    action();
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - begin).count();
}

class LiveSource : public FilterFixture {
protected:
    void SetUp() override {
        FilterFixture::SetUp();
        if (HasFatalFailure()) return;
        m_cam = CameraOf(m_filter.Get());
    }

    // A graph into a sample grabber that logs into m_log.
    void MakeGrabberGraph(Graph* graph) {
        ASSERT_EQ(MakeGraph(m_filter.Get(), CLSID_SampleGrabber, graph), S_OK);
        ComPtr<ISampleGrabber> grabber;
        ASSERT_EQ(graph->downstream.As(&grabber), S_OK);
        grabber->SetCallback(&m_log, 0);
    }

    // With pacing off a frame is ready soon, but only while the camera's stream runs; a
    // busy machine may take a while to make it, so this looks for half a second.
    bool CameraStreams() const {
        m_camera->SetSwitch(vyx::sim::bus::kSwitchNoPacing, 1);
        bool ready = false;
        for (int look = 0; look < 50 && !ready; ++look) {
            Sleep(10);
            ready = m_cam->IsDataReady();
        }
        m_camera->SetSwitch(vyx::sim::bus::kSwitchNoPacing, 0);
        return ready;
    }

    // A new filter opens the camera again and delivers through a graph of its own.
    void ExpectANewFilterStreams() {
        ASSERT_EQ(CreateFilter(&m_filter), S_OK);
        m_cam = CameraOf(m_filter.Get());
        ASSERT_TRUE(m_cam->SetExposure(kShortExposureUs, false));
        Graph graph;
        MakeGrabberGraph(&graph);
        ASSERT_EQ(graph.builder->Connect(graph.output.Get(), graph.input.Get()), S_OK);
        const size_t before = m_log.Count();
        ASSERT_TRUE(SUCCEEDED(graph.control->Run()));
        EXPECT_TRUE(m_log.WaitFor(before + 2, 10000));
        graph.control->Stop();
    }

    // A run delivers samples each the whole reference frame, no more and no less.
    void ExpectARunOfWholeFrames(Graph& graph, const std::vector<BYTE>& reference) {
        const size_t before = m_log.Count();
        ASSERT_TRUE(SUCCEEDED(graph.control->Run()));
        ASSERT_TRUE(m_log.WaitFor(before + 3, 10000));
        graph.control->Stop();
        const std::vector<Delivered> samples = m_log.Samples();
        for (size_t i = before; i < samples.size(); ++i) {
            EXPECT_EQ(samples[i].length, static_cast<long>(reference.size())) << i;
            EXPECT_TRUE(samples[i].bytes == reference) << i;
        }
    }

    VyxonCamera* m_cam = nullptr;
    SampleLog m_log;
};
}  // namespace

TEST_F(LiveSource, StopAndPauseReturnAtOnceDuringALongExposureOrACameraNeverReady) {
    ComPtr<ICameraInstance> instance;
    ASSERT_EQ(m_filter->QueryInterface(vyx::g_ModelDescriptor.cameraInstanceIid, &instance), S_OK);
    for (const bool neverReady : {false, true}) {
        SCOPED_TRACE(neverReady ? "camera never ready" : "10 s exposure");
        m_camera->SetSwitch(vyx::sim::bus::kSwitchNeverReady, neverReady ? 1 : 0);
        ASSERT_TRUE(m_cam->SetExposure(kLongExposureUs, false));
        Graph graph;
        MakeGrabberGraph(&graph);
        ASSERT_EQ(graph.builder->Connect(graph.output.Get(), graph.input.Get()), S_OK);

        long long pauseMs = LLONG_MAX, stopMs = LLONG_MAX;
        for (int attempt = 0; attempt < kTries && std::max(pauseMs, stopMs) >= kPromptMs; ++attempt) {
            // The camera's stream is on once its start passes the gate: the worker then waits
            // for a frame that takes 10 s, or never comes.
            StartGate gate;
            m_camera->SetSwitch(vyx::sim::bus::kSwitchHoldStart, 1);
            ASSERT_TRUE(SUCCEEDED(graph.control->Run()));
            ASSERT_TRUE(gate.WaitHeld());
            m_camera->SetSwitch(vyx::sim::bus::kSwitchHoldStart, 0);
            gate.Release();
            pauseMs = std::min(pauseMs, MillisecondsOf([&] { graph.control->Pause(); }));
            // Stopped right after the resuming run, while the camera's stream restarts.
            ASSERT_TRUE(SUCCEEDED(graph.control->Run()));
            const size_t beforeStop = m_log.Count();
            stopMs = std::min(stopMs, MillisecondsOf([&] { graph.control->Stop(); }));
            // The streaming thread has ended: nothing can arrive any more.
            EXPECT_EQ(m_log.Count(), beforeStop) << "a sample arrived after Stop returned";
            // A configuration change waits for a start still in progress.
            ASSERT_EQ(instance->SetCamera(m_cam), S_OK);
            EXPECT_FALSE(CameraStreams());
        }
        EXPECT_LT(pauseMs, kPromptMs);
        EXPECT_LT(stopMs, kPromptMs);

        // The graph runs again and delivers.
        m_camera->SetSwitch(vyx::sim::bus::kSwitchNeverReady, 0);
        ASSERT_TRUE(m_cam->SetExposure(kShortExposureUs, false));
        const size_t before = m_log.Count();
        ASSERT_TRUE(SUCCEEDED(graph.control->Run()));
        EXPECT_TRUE(m_log.WaitFor(before + 3, 10000));
        graph.control->Stop();
    }
}

TEST_F(LiveSource, LastReleaseOfARunningFilterReturnsAtOnce) {
    for (const bool neverReady : {false, true}) {
        SCOPED_TRACE(neverReady ? "camera never ready" : "10 s exposure");
        m_camera->SetSwitch(vyx::sim::bus::kSwitchNeverReady, neverReady ? 1 : 0);
        long long releaseMs = LLONG_MAX;
        for (int attempt = 0; attempt < kTries && releaseMs >= kPromptMs; ++attempt) {
            if (!m_filter) {
                ASSERT_EQ(CreateFilter(&m_filter), S_OK);
            }
            ASSERT_TRUE(CameraOf(m_filter.Get())->SetExposure(kLongExposureUs, false));
            auto running = std::make_unique<Graph>();
            ASSERT_EQ(MakeConnectedGraph(m_filter.Get(), running.get()), S_OK);
            StartGate gate;
            m_camera->SetSwitch(vyx::sim::bus::kSwitchHoldStart, 1);
            ASSERT_TRUE(SUCCEEDED(running->control->Run()));
            ASSERT_TRUE(gate.WaitHeld());  // from here the camera streams: a frame is awaited
            m_camera->SetSwitch(vyx::sim::bus::kSwitchHoldStart, 0);
            gate.Release();
            m_cam = nullptr;
            // The application lets go of everything while the graph runs.
            releaseMs = std::min(releaseMs, MillisecondsOf([&] {
                                     running.reset();
                                     m_filter.Reset();
                                 }));
        }
        EXPECT_LT(releaseMs, kPromptMs);

        m_camera->SetSwitch(vyx::sim::bus::kSwitchNeverReady, 0);
        ExpectANewFilterStreams();
    }
}

TEST_F(LiveSource, PausedItCannotCueDeliversNothingAndTimesStartAtRun) {
    m_camera->SetSwitch(vyx::sim::bus::kSwitchNoPacing, 1);
    Graph graph;
    MakeGrabberGraph(&graph);
    ASSERT_EQ(graph.builder->Connect(graph.output.Get(), graph.input.Get()), S_OK);

    ASSERT_TRUE(SUCCEEDED(graph.control->Pause()));
    FILTER_STATE state = State_Stopped;
    EXPECT_EQ(m_filter->GetState(0, &state), VFW_S_CANT_CUE);
    EXPECT_EQ(state, State_Paused);
    OAFilterState graphState = 0;
    EXPECT_EQ(graph.control->GetState(1000, &graphState), VFW_S_CANT_CUE);
    // The camera streams from the pause on (its frames are ready at once), yet nothing is
    // delivered until the run.
    ASSERT_TRUE(WaitUntil([&] { return m_cam->IsDataReady(); }));
    EXPECT_EQ(m_log.Count(), 0u);

    ASSERT_TRUE(SUCCEEDED(graph.control->Run()));
    EXPECT_EQ(m_filter->GetState(0, &state), S_OK);
    EXPECT_EQ(state, State_Running);
    ASSERT_TRUE(m_log.WaitFor(3, 10000));

    // A pause from running stops delivery at once (a sample filled before it is taken
    // back); the resumed run continues the times.
    ASSERT_TRUE(SUCCEEDED(graph.control->Pause()));
    EXPECT_EQ(m_filter->GetState(0, &state), VFW_S_CANT_CUE);
    const size_t paused = m_log.Count();
    EXPECT_FALSE(m_cam->IsDataReady()) << "the camera's stream stops with the pause";
    EXPECT_EQ(m_log.Count(), paused);
    ASSERT_TRUE(SUCCEEDED(graph.control->Run()));
    ASSERT_TRUE(m_log.WaitFor(paused + 3, 10000));
    graph.control->Stop();

    const std::vector<Delivered> samples = m_log.Samples();
    ASSERT_GE(samples.size(), paused + 3);
    EXPECT_EQ(samples[0].start, 0);
    for (size_t i = 1; i < samples.size(); ++i) {
        EXPECT_EQ(samples[i].start, samples[i - 1].end) << i;
        EXPECT_GT(samples[i].end, samples[i].start) << i;
    }
    EXPECT_EQ(m_filter->GetState(0, &state), S_OK);
    EXPECT_EQ(state, State_Stopped);
}

TEST_F(LiveSource, SetFormatIsRefusedUntilStoppedAndChangesNothing) {
    m_camera->SetSwitch(vyx::sim::bus::kSwitchNoPacing, 1);
    std::vector<CMediaType> types = StreamCapsTypes(m_filter.Get());
    ASSERT_GE(types.size(), 2u);
    ComPtr<IAMStreamConfig> config;
    ASSERT_EQ(m_filter.As(&config), S_OK);
    Graph graph;
    MakeGrabberGraph(&graph);
    ASSERT_EQ(graph.Connect(&types[0]), S_OK);
    const DWORD frameSize = Info(types[0])->bmiHeader.biSizeImage;
    const DWORD otherSize = Info(types[1])->bmiHeader.biSizeImage;
    ASSERT_NE(frameSize, otherSize);

    ASSERT_TRUE(SUCCEEDED(graph.control->Pause()));
    EXPECT_EQ(config->SetFormat(&types[1]), VFW_E_NOT_STOPPED);
    ASSERT_TRUE(SUCCEEDED(graph.control->Run()));
    ASSERT_TRUE(m_log.WaitFor(2, 10000));
    EXPECT_EQ(config->SetFormat(&types[1]), VFW_E_NOT_STOPPED);
    const size_t before = m_log.Count();
    ASSERT_TRUE(m_log.WaitFor(before + 3, 10000));

    AM_MEDIA_TYPE connected{};
    ASSERT_EQ(graph.output->ConnectionMediaType(&connected), S_OK);
    EXPECT_TRUE(IsEqualGUID(connected.subtype, *types[0].Subtype()));
    EXPECT_EQ(Info(connected)->bmiHeader.biSizeImage, frameSize);
    FreeMediaType(connected);
    MediaTypePtr current;
    ASSERT_EQ(config->GetFormat(current.Put()), S_OK);
    EXPECT_EQ(Info(current)->bmiHeader.biWidth, Info(types[0])->bmiHeader.biWidth);
    graph.control->Stop();
    for (const Delivered& sample : m_log.Samples()) EXPECT_EQ(sample.length, static_cast<long>(frameSize));

    // Stopped, the same choice is made and the pin reconnects in it.
    EXPECT_EQ(config->SetFormat(&types[1]), S_OK);
    ASSERT_EQ(graph.output->ConnectionMediaType(&connected), S_OK);
    EXPECT_EQ(Info(connected)->bmiHeader.biSizeImage, otherSize);
    FreeMediaType(connected);
}

TEST_F(LiveSource, ConnectionTypeCarriesTheFrameSizeOfItsEntryAndThePeersInterval) {
    m_camera->SetSwitch(vyx::sim::bus::kSwitchNoPacing, 1);
    m_camera->SetSwitch(vyx::sim::bus::kSwitchTestPattern, 1);
    std::vector<CMediaType> types = StreamCapsTypes(m_filter.Get());
    ASSERT_FALSE(types.empty());
    const CMediaType offered = types.back();  // the smallest size: quick to copy
    const DWORD frameSize = Info(offered)->bmiHeader.biSizeImage;

    // Reference frames through the type exactly as offered.
    std::vector<BYTE> reference;
    {
        Graph graph;
        MakeGrabberGraph(&graph);
        ASSERT_EQ(graph.Connect(&offered), S_OK);
        ASSERT_TRUE(SUCCEEDED(graph.control->Run()));
        ASSERT_TRUE(m_log.WaitFor(1, 10000));
        graph.control->Stop();
        reference = m_log.Samples()[0].bytes;
        graph.Disconnect();
    }
    ASSERT_EQ(reference.size(), frameSize);

    for (const DWORD proposed : {DWORD{0}, 2 * frameSize}) {
        SCOPED_TRACE(proposed);
        CMediaType type = offered;
        Info(type)->bmiHeader.biSizeImage = proposed;
        type.SetSampleSize(proposed ? proposed : 1);
        Info(type)->AvgTimePerFrame = 2000000;  // the peer's interval is kept
        Graph graph;
        MakeGrabberGraph(&graph);
        ASSERT_EQ(graph.Connect(&type), S_OK);
        AM_MEDIA_TYPE connected{};
        ASSERT_EQ(graph.output->ConnectionMediaType(&connected), S_OK);
        EXPECT_EQ(Info(connected)->bmiHeader.biSizeImage, frameSize);
        EXPECT_EQ(connected.lSampleSize, frameSize);
        EXPECT_EQ(Info(connected)->AvgTimePerFrame, 2000000);
        FreeMediaType(connected);
        // The peer was given the same, complete type.
        ASSERT_EQ(graph.input->ConnectionMediaType(&connected), S_OK);
        EXPECT_EQ(Info(connected)->bmiHeader.biSizeImage, frameSize);
        FreeMediaType(connected);

        ExpectARunOfWholeFrames(graph, reference);
        graph.Disconnect();
    }
}

// A creation on another thread while the last release destroys the filter gets the old
// filter still alive, a new working one, or a clean failure (E_FAIL: the old filter still
// holds the camera open); never a destroyed one. Every tenth round the filter ran in a
// graph first, which the graph's teardown stopped.
TEST_F(LiveSource, CreationDuringTheLastReleaseGetsAWorkingFilterOrACleanFailure) {
    m_camera->SetSwitch(vyx::sim::bus::kSwitchNoPacing, 1);
    // 20 here; docs/reliability.md runs it ten times over (--gtest_repeat=10).
    constexpr int kRounds = 20;
    int fresh = 0, reused = 0, failed = 0;
    for (int round = 0; round < kRounds && !HasFailure(); ++round) {
        if (!m_filter) {
            ASSERT_EQ(CreateFilter(&m_filter), S_OK) << round;
        }
        if (round % 10 == 0) {
            Graph graph;
            ASSERT_EQ(MakeConnectedGraph(m_filter.Get(), &graph), S_OK);
            ASSERT_TRUE(SUCCEEDED(graph.control->Run()));
        }
        IBaseFilter* const old = m_filter.Get();

        HANDLE go = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        ComPtr<IBaseFilter> second;
        HRESULT created = E_UNEXPECTED;
        std::thread creator([&] {
            ComApartment com;
            WaitForSingleObject(go, INFINITE);
            // Spread over the release's stages: unpublishing, saving, closing the camera.
            std::atomic<int> spin{(round % 7) * 20000};
            while (spin.fetch_sub(1) > 0) {
            }
            created = CreateFilter(&second);
        });
        SetEvent(go);
        m_filter.Reset();
        creator.join();
        CloseHandle(go);

        if (FAILED(created)) {
            EXPECT_EQ(created, E_FAIL) << round;
            ++failed;
            continue;
        }
        ASSERT_EQ(created, S_OK) << round;
        ++(second.Get() != old ? fresh : reused);
        VyxonCamera* camera = CameraOf(second.Get());
        ASSERT_NE(camera, nullptr) << round;
        EXPECT_TRUE(camera->IsOpened()) << round;
        m_filter = second;
    }
    m_cam = nullptr;
    std::printf("%d rounds: %d new filters, %d the same, %d clean failures\n", kRounds, fresh, reused, failed);
    EXPECT_EQ(fresh + reused + failed, kRounds);
    EXPECT_GT(fresh + reused, 0) << "some creation must get a working filter";
}

// Three threads create and release the process's filter at once: a filter handed out is
// counted for its caller, so none is destroyed under a caller that still holds it.
TEST_F(LiveSource, ThreeThreadsCreatingAndReleasingTheFilterGetWorkingFiltersOrCleanFailures) {
    m_cam = nullptr;
    m_filter.Reset();
    constexpr int kThreads = 3;
    constexpr int kRounds = 500;  // in all
    std::atomic<int> next{0}, working{0}, failed{0}, broken{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&] {
            ComApartment com;
            while (next.fetch_add(1) < kRounds) {
                ComPtr<IBaseFilter> filter;
                const HRESULT created = CreateFilter(&filter);
                if (created == E_FAIL) {
                    ++failed;
                    continue;
                }
                VyxonCamera* camera = created == S_OK ? CameraOf(filter.Get()) : nullptr;
                FILTER_STATE state = State_Running;
                if (!camera || !camera->IsOpened() || filter->GetState(0, &state) != S_OK || state != State_Stopped)
                    ++broken;
                else
                    ++working;
            }
        });
    }
    for (std::thread& thread : threads) thread.join();
    std::printf("%d creations: %d working, %d clean failures\n", kRounds, working.load(), failed.load());
    EXPECT_EQ(broken, 0);
    EXPECT_EQ(working + failed, kRounds);
    EXPECT_GT(working, 0);
    ASSERT_EQ(CreateFilter(&m_filter), S_OK) << "the last release left the camera free";
}

// With nothing connected there is nothing to cue, as the platform's own capture source
// answers; and a paused filter takes no configuration change even with its pin unconnected.
TEST_F(LiveSource, PausedWithNothingConnectedAnswersSOkAndRefusesConfigurationChanges) {
    ComPtr<ICameraInstance> instance;
    ASSERT_EQ(m_filter->QueryInterface(vyx::g_ModelDescriptor.cameraInstanceIid, &instance), S_OK);
    ASSERT_EQ(m_filter->Pause(), S_OK);
    FILTER_STATE state = State_Stopped;
    EXPECT_EQ(m_filter->GetState(0, &state), S_OK);
    EXPECT_EQ(state, State_Paused);
    EXPECT_EQ(instance->SetBin(2), VFW_E_NOT_STOPPED);
    ASSERT_EQ(m_filter->Stop(), S_OK);
    EXPECT_EQ(instance->SetBin(2), S_OK);
}

// Another camera of the model set on a connected, stopped pin is read as a whole: it starts
// in its own geometry, exposure and frame-rate limit, and the next run still fills every
// sample with a whole frame of the connection, at the connection's limit, timed by the new
// camera's exposure.
TEST_F(LiveSource, AnotherCameraSetOnAConnectedStoppedPinStreamsInTheConnectionsFormat) {
    m_camera->SetSwitch(vyx::sim::bus::kSwitchNoPacing, 1);
    m_camera->SetSwitch(vyx::sim::bus::kSwitchTestPattern, 1);
    std::vector<CMediaType> types = StreamCapsTypes(m_filter.Get());
    ASSERT_FALSE(types.empty());
    CMediaType smallest = types.back();
    Info(smallest)->AvgTimePerFrame = 666666;  // 15 frames per second: a limit on the camera
    ComPtr<IAMStreamConfig> config;
    ASSERT_EQ(m_filter.As(&config), S_OK);
    ASSERT_EQ(config->SetFormat(&smallest), S_OK);
    const DWORD frameSize = Info(smallest)->bmiHeader.biSizeImage;
    Graph graph;
    MakeGrabberGraph(&graph);
    ASSERT_EQ(graph.builder->Connect(graph.output.Get(), graph.input.Get()), S_OK);
    ASSERT_TRUE(SUCCEEDED(graph.control->Run()));
    ASSERT_TRUE(m_log.WaitFor(1, 10000));
    graph.control->Stop();
    const std::vector<BYTE> reference = m_log.Samples()[0].bytes;
    ASSERT_EQ(reference.size(), frameSize);

    PluggedCamera second(ModelName(), L"B0000002");
    second.SetSwitch(vyx::sim::bus::kSwitchNoPacing, 1);
    second.SetSwitch(vyx::sim::bus::kSwitchTestPattern, 1);
    VyxonCamera* fresh = nullptr;
    for (int i = 0; i < VyxonCamera::GetCamerasCount() && !fresh; ++i) {
        CameraProp prop{};
        if (VyxonCamera::GetCameraProp(i, &prop) && std::string(prop.extraInfo) == "B0000002")
            fresh = VyxonCamera::CreateCamera(prop.cameraId);
    }
    ASSERT_NE(fresh, nullptr);
    ASSERT_TRUE(fresh->OpenCamera());
    // Shorter than a frame at the connection's 15 frames per second, and than the 100 ms
    // the first camera opened with.
    ASSERT_TRUE(fresh->SetExposure(2000, false));
    ComPtr<ICameraInstance> instance;
    ASSERT_EQ(m_filter->QueryInterface(vyx::g_ModelDescriptor.cameraInstanceIid, &instance), S_OK);
    ASSERT_EQ(instance->SetCamera(fresh), S_OK);
    m_cam = fresh;
    int width = 0, height = 0;
    ASSERT_TRUE(fresh->GetImgSize(&width, &height));
    ASSERT_NE(width, Info(smallest)->bmiHeader.biWidth) << "the new object must start in another geometry";

    ExpectARunOfWholeFrames(graph, reference);
    int limit = 0;
    ASSERT_TRUE(fresh->GetFrameRateLimit(&limit));
    EXPECT_EQ(limit, 15);
    long long frameUs = 0;
    float framesPerSecond = 0;
    ASSERT_TRUE(fresh->GetFrameTime(&frameUs, &framesPerSecond));
    EXPECT_GE(frameUs, 66666);
    const std::vector<Delivered> samples = m_log.Samples();
    EXPECT_EQ(samples.back().end - samples.back().start, 10 * frameUs) << "timed by the new camera";
}

namespace {
// Waits up to 10 s for EC_DEVICE_LOST and returns the milliseconds since `since`, or -1;
// an error abort on the way fails the test: a lost camera is no read error.
long long MillisecondsToDeviceLost(IMediaEvent* events, std::chrono::steady_clock::time_point since,
                                   IBaseFilter* filter) {
    for (;;) {
        const long long waitedMs =
            std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - since).count();
        if (waitedMs > 10000) return -1;
        LONG code = 0;
        LONG_PTR first = 0, second = -1;
        // Wine's graph may answer E_ABORT before its time-out: look again.
        if (events->GetEvent(&code, &first, &second, 100) != S_OK) {
            Sleep(1);
            continue;
        }
        events->FreeEventParams(code, first, second);
        EXPECT_NE(code, EC_ERRORABORT) << "a lost camera is no read error";
        if (code != EC_DEVICE_LOST) continue;
        EXPECT_EQ(first, reinterpret_cast<LONG_PTR>(filter));
        EXPECT_EQ(second, 0) << "0: the device was removed";
        return waitedMs;
    }
}

// The events the graph has queued so far, none of which may report a lost or failed stream.
void ExpectNoStreamEvents(IMediaEvent* events) {
    LONG code = 0;
    LONG_PTR first = 0, second = 0;
    while (events->GetEvent(&code, &first, &second, 0) == S_OK) {
        events->FreeEventParams(code, first, second);
        EXPECT_NE(code, EC_DEVICE_LOST);
        EXPECT_NE(code, EC_ERRORABORT);
    }
}
}  // namespace

// An unplugged camera is reported as the platform's capture sources report a removed
// device, within one frame time or 500 ms, whichever is longer, also at a 2 s exposure; the
// stop and the last release then work, the saves after the unplug (whose getters the camera
// refuses) leave the user's settings as they were, and once the camera is back a new filter
// streams.
TEST_F(LiveSource, UnplugWhileStreamingIsReportedAsDeviceLostAndKeepsTheSavedSettings) {
    for (const int exposureUs : {kShortExposureUs, 2000000}) {
        SCOPED_TRACE(exposureUs);
        m_cam = nullptr;
        m_filter.Reset();
        if (!m_camera) m_camera = std::make_unique<PluggedCamera>();
        WriteSettingsSection("Gain=77\r\nOffset=7\r\n");
        ASSERT_EQ(CreateFilter(&m_filter), S_OK);
        m_cam = CameraOf(m_filter.Get());
        ASSERT_TRUE(m_cam->SetExposure(exposureUs, false));
        long long frameUs = 0;
        float framesPerSecond = 0;
        ASSERT_TRUE(m_cam->GetFrameTime(&frameUs, &framesPerSecond));
        auto graph = std::make_unique<Graph>();
        MakeGrabberGraph(graph.get());
        ASSERT_EQ(graph->builder->Connect(graph->output.Get(), graph->input.Get()), S_OK);
        ComPtr<IMediaEvent> events;
        ASSERT_EQ(graph->builder->QueryInterface(IID_IMediaEvent, reinterpret_cast<void**>(events.GetAddressOf())),
                  S_OK);
        const size_t before = m_log.Count();
        ASSERT_TRUE(SUCCEEDED(graph->control->Run()));
        ASSERT_TRUE(m_log.WaitFor(before + 1, 20000));

        const auto unplugged = std::chrono::steady_clock::now();
        m_camera.reset();
        const long long reportedMs = MillisecondsToDeviceLost(events.Get(), unplugged, m_filter.Get());
        ASSERT_GE(reportedMs, 0) << "no EC_DEVICE_LOST";
        // The rest is margin for a busy machine.
        EXPECT_LT(reportedMs, std::max(frameUs / 1000, 500LL) + 500);
        std::printf("EC_DEVICE_LOST %lld ms after the unplug (frame time %lld us)\n", reportedMs, frameUs);

        EXPECT_LT(MillisecondsOf([&] { graph->control->Stop(); }), kPromptMs);
        events.Reset();
        graph.reset();
        m_cam = nullptr;
        m_filter.Reset();
        EXPECT_EQ(SettingsValue("Gain"), "77");
        EXPECT_EQ(SettingsValue("Offset"), "7");
    }
    m_camera = std::make_unique<PluggedCamera>();
    ExpectANewFilterStreams();
}

// Two cameras of the model: the filter knows its own by its serial, not by its place in the
// library's list. Another coming before it or going never disturbs the stream; ours
// unplugged while listed second is lost.
TEST_F(LiveSource, AnotherCameraOfTheModelComingOrGoingNeverDisturbsOursAndOursUnpluggedIsLost) {
    // Frames of 200 ms: between them the stream asks whether its camera is still there.
    ASSERT_TRUE(m_cam->SetExposure(200000, false));
    long long frameUs = 0;
    float framesPerSecond = 0;
    ASSERT_TRUE(m_cam->GetFrameTime(&frameUs, &framesPerSecond));
    Graph graph;
    MakeGrabberGraph(&graph);
    ASSERT_EQ(graph.builder->Connect(graph.output.Get(), graph.input.Get()), S_OK);
    ComPtr<IMediaEvent> events;
    ASSERT_EQ(graph.builder->QueryInterface(IID_IMediaEvent, reinterpret_cast<void**>(events.GetAddressOf())), S_OK);
    ASSERT_TRUE(SUCCEEDED(graph.control->Run()));
    ASSERT_TRUE(m_log.WaitFor(1, 10000));

    // The other sorts before ours in the library's list.
    auto other = std::make_unique<PluggedCamera>(ModelName(), L"A0000001");
    ASSERT_EQ(other->Result(), static_cast<DWORD>(ERROR_SUCCESS));
    for (const bool plugged : {true, false, true}) {
        SCOPED_TRACE(plugged ? "the other plugged" : "the other unplugged");
        if (!plugged) other.reset();
        if (plugged && !other) other = std::make_unique<PluggedCamera>(ModelName(), L"A0000001");
        const size_t before = m_log.Count();
        ASSERT_TRUE(m_log.WaitFor(before + 2, 10000)) << "the stream stopped";
        ExpectNoStreamEvents(events.Get());
    }

    const auto unplugged = std::chrono::steady_clock::now();
    m_camera.reset();
    const long long reportedMs = MillisecondsToDeviceLost(events.Get(), unplugged, m_filter.Get());
    ASSERT_GE(reportedMs, 0) << "no EC_DEVICE_LOST";
    EXPECT_LT(reportedMs, std::max(frameUs / 1000, 500LL) + 500);
    graph.control->Stop();
}
