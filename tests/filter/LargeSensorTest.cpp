// The model with the largest sensor (9576 x 6388) in real graphs, where starting the
// camera's stream renders a first frame of up to 183 MB: a pause or a stop right after a
// resuming run does not wait for that start, and a configuration change cannot slip in while
// it runs. The simulator's start gate holds the start where each test needs it.
#include <gtest/gtest.h>

#include <chrono>
#include <mutex>
#include <vector>

#include "FilterFixture.h"
#include "FilterTestSupport.h"
#include "GrabberCallback.h"
#include "ModelDescriptor.h"
#include "SimulatedBus.h"

using namespace vyx::test;

namespace {
constexpr int kShortExposureUs = 1000;
// 200 ms plus the graph's own work; a start waited for takes 0.8 s and more, and a held
// start the gate's 10 s.
constexpr long long kPromptBoundMs = 250;

struct Times {
    REFERENCE_TIME start = -1;
    REFERENCE_TIME end = -1;
    long length = 0;
};

class TimeLog : public GrabberCallback {
public:
    STDMETHODIMP SampleCB(double, IMediaSample* sample) override {
        Times times;
        sample->GetTime(&times.start, &times.end);
        times.length = sample->GetActualDataLength();
        std::lock_guard<std::mutex> lock(m_mutex);
        m_samples.push_back(times);
        return S_OK;
    }
    size_t Count() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_samples.size();
    }
    bool WaitFor(size_t count, DWORD ms) {
        for (DWORD waited = 0; waited < ms && Count() < count; waited += 10) Sleep(10);
        return Count() >= count;
    }
    std::vector<Times> Samples() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_samples;
    }

private:
    std::mutex m_mutex;
    std::vector<Times> m_samples;
};

class LargeSensor : public FilterFixture {
protected:
    void SetUp() override {
        FilterFixture::SetUp();
        if (HasFatalFailure()) return;
        m_cam = CameraOf(m_filter.Get());
        ASSERT_TRUE(m_cam->SetExposure(kShortExposureUs, false));
        ASSERT_EQ(MakeGraph(m_filter.Get(), CLSID_SampleGrabber, &m_graph), S_OK);
        ComPtr<ISampleGrabber> grabber;
        ASSERT_EQ(m_graph.downstream.As(&grabber), S_OK);
        grabber->SetCallback(&m_log, 0);
    }
    void TearDown() override {
        if (m_graph.control) m_graph.control->Stop();
    }

    // Connects RGB24 at the sensor's width divided by `bin`.
    void ConnectRgb24(LONG bin) {
        const LONG width = vyx::g_ModelDescriptor.sensorWidth / bin;
        const std::vector<CMediaType> types = StreamCapsTypes(m_filter.Get());
        const CMediaType* chosen = nullptr;
        for (const CMediaType& type : types)
            if (IsEqualGUID(*type.Subtype(), MEDIASUBTYPE_RGB24) && Info(type)->bmiHeader.biWidth == width) chosen = &type;
        ASSERT_NE(chosen, nullptr);
        ASSERT_EQ(m_graph.Connect(chosen), S_OK);
        AM_MEDIA_TYPE connected{};
        ASSERT_EQ(m_graph.output->ConnectionMediaType(&connected), S_OK);
        m_width = Info(connected)->bmiHeader.biWidth;
        m_height = Info(connected)->bmiHeader.biHeight;
        m_frameBytes = static_cast<long>(Info(connected)->bmiHeader.biSizeImage);
        FreeMediaType(connected);
        ASSERT_EQ(m_width, width);
    }

    VyxonCamera* m_cam = nullptr;
    Graph m_graph;
    TimeLog m_log;
    LONG m_width = 0;
    LONG m_height = 0;
    long m_frameBytes = 0;
};

template <class Action>
long long MillisecondsOf(Action&& action) {
    const auto begin = std::chrono::steady_clock::now();
    action();
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - begin).count();
}
}  // namespace

// Run, pause, run, with the resuming run's start held at the gate: a stop, or a pause, a
// run and a stop, return at once; the overtaken start, once let through, leaves the camera
// stopped.
TEST_F(LargeSensor, PauseAndStopDuringAResumingRunsStartArePromptAndTheCameraEndsStopped) {
    ConnectRgb24(1);
    if (HasFatalFailure()) return;
    ComPtr<ICameraInstance> instance;
    ASSERT_EQ(m_filter->QueryInterface(vyx::g_ModelDescriptor.cameraInstanceIid, &instance), S_OK);
    for (const bool pauseFirst : {false, true}) {
        SCOPED_TRACE(pauseFirst ? "pause, run, stop" : "stop");
        const size_t before = m_log.Count();
        ASSERT_TRUE(SUCCEEDED(m_graph.control->Run()));
        ASSERT_TRUE(m_log.WaitFor(before + 1, 60000));
        ASSERT_TRUE(SUCCEEDED(m_graph.control->Pause()));

        StartGate gate;
        m_camera->SetSwitch(vyx::sim::bus::kSwitchHoldStart, 1);
        ASSERT_TRUE(SUCCEEDED(m_graph.control->Run()));
        ASSERT_TRUE(gate.WaitHeld(60000));
        const size_t paused = m_log.Count();
        if (pauseFirst) {
            EXPECT_LT(MillisecondsOf([&] { m_graph.control->Pause(); }), kPromptBoundMs);
            ASSERT_TRUE(SUCCEEDED(m_graph.control->Run()));
        }
        EXPECT_LT(MillisecondsOf([&] { m_graph.control->Stop(); }), kPromptBoundMs);
        m_camera->SetSwitch(vyx::sim::bus::kSwitchHoldStart, 0);
        gate.Release();
        EXPECT_EQ(m_log.Count(), paused) << "delivered after the pause";

        // A configuration change waits for the start in progress: after it, the camera must
        // be stopped again.
        VyxonCamera* camera = nullptr;
        ASSERT_EQ(instance->GetCamera(&camera), S_OK);
        ASSERT_EQ(instance->SetCamera(camera), S_OK);
        EXPECT_FALSE(m_cam->IsDataReady()) << "the camera was left streaming";
    }
    for (const Times& sample : m_log.Samples()) EXPECT_EQ(sample.length, m_frameBytes);
}

// From the moment the filter reports Paused, a page's Apply is refused, though the stream's
// start (its first frame) is held at the gate; the camera keeps the connection's geometry.
// At bin 2 (46 MB frames), which a 32-bit process holds beside the full-size test's memory.
TEST_F(LargeSensor, ASetterDuringTheStreamsStartIsRefusedAndTheRunKeepsTheConnectionsSize) {
    ConnectRgb24(2);
    if (HasFatalFailure()) return;
    ComPtr<ICameraInstance> instance;
    ASSERT_EQ(m_filter->QueryInterface(vyx::g_ModelDescriptor.cameraInstanceIid, &instance), S_OK);
    int index = 0;
    ASSERT_EQ(instance->GetImgSizeIndex(&index), S_OK);
    const int other = index == 0 ? 1 : 0;

    StartGate gate;
    m_camera->SetSwitch(vyx::sim::bus::kSwitchHoldStart, 1);
    EXPECT_LT(MillisecondsOf([&] { m_graph.control->Pause(); }), kPromptBoundMs);
    ASSERT_TRUE(gate.WaitHeld(60000));
    EXPECT_EQ(instance->SetImgSizeIndex(other), VFW_E_NOT_STOPPED);
    int width = 0, height = 0;
    ASSERT_TRUE(m_cam->GetImgSize(&width, &height));
    EXPECT_EQ(width, m_width);
    EXPECT_EQ(height, m_height);
    m_camera->SetSwitch(vyx::sim::bus::kSwitchHoldStart, 0);
    gate.Release();

    ASSERT_TRUE(SUCCEEDED(m_graph.control->Run()));
    ASSERT_TRUE(m_log.WaitFor(2, 60000));
    m_graph.control->Stop();
    for (const Times& sample : m_log.Samples()) EXPECT_EQ(sample.length, m_frameBytes);
}
