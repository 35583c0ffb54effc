// The frame pump: frames through running graphs, sample times, FillBuffer and
// DecideBufferSize against hand-written samples and allocators, and read failures.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <mutex>
#include <vector>

#include "FilterFixture.h"
#include "FilterTestSupport.h"
#include "GrabberCallback.h"
#include "ModelDescriptor.h"
#include "OutputFormats.h"
#include "SimulatedBus.h"

using namespace vyx::test;

namespace {
struct Received {
    REFERENCE_TIME start;
    REFERENCE_TIME end;
    long length;
    bool syncPoint;
    bool timed;
};

// Records the first `wanted` samples and signals when they are there.
class Recorder : public GrabberCallback {
public:
    explicit Recorder(size_t wanted) : m_wanted(wanted), m_done(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}
    ~Recorder() { CloseHandle(m_done); }
    STDMETHODIMP SampleCB(double, IMediaSample* sample) override {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_samples.size() >= m_wanted) return S_OK;
        Received r{};
        r.timed = sample->GetTime(&r.start, &r.end) == S_OK;
        r.length = sample->GetActualDataLength();
        r.syncPoint = sample->IsSyncPoint() == S_OK;
        m_samples.push_back(r);
        if (m_samples.size() == m_wanted) SetEvent(m_done);
        return S_OK;
    }
    bool Wait(DWORD ms) const { return WaitForSingleObject(m_done, ms) == WAIT_OBJECT_0; }
    std::vector<Received> Samples() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_samples;
    }

private:
    size_t m_wanted;
    HANDLE m_done;
    std::mutex m_mutex;
    std::vector<Received> m_samples;
};

// A sample over a caller's buffer that records what the pump sets.
class TestSample : public IMediaSample {
public:
    explicit TestSample(long size) : m_buffer(static_cast<size_t>(size), 0xEE) {}
    HRESULT refuseLength = S_OK;
    long actualLength = -1;
    REFERENCE_TIME start = -1, end = -1;
    bool timesSet = false, syncPoint = false;

    STDMETHODIMP QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP GetPointer(BYTE** buffer) override {
        *buffer = m_buffer.data();
        return S_OK;
    }
    STDMETHODIMP_(LONG) GetSize() override { return static_cast<LONG>(m_buffer.size()); }
    STDMETHODIMP GetTime(REFERENCE_TIME*, REFERENCE_TIME*) override { return E_NOTIMPL; }
    STDMETHODIMP SetTime(REFERENCE_TIME* s, REFERENCE_TIME* e) override {
        start = *s;
        end = *e;
        timesSet = true;
        return S_OK;
    }
    STDMETHODIMP IsSyncPoint() override { return syncPoint ? S_OK : S_FALSE; }
    STDMETHODIMP SetSyncPoint(BOOL value) override {
        syncPoint = value;
        return S_OK;
    }
    STDMETHODIMP IsPreroll() override { return S_FALSE; }
    STDMETHODIMP SetPreroll(BOOL) override { return E_NOTIMPL; }
    STDMETHODIMP_(LONG) GetActualDataLength() override { return actualLength; }
    STDMETHODIMP SetActualDataLength(LONG length) override {
        if (FAILED(refuseLength)) return refuseLength;
        actualLength = length;
        return S_OK;
    }
    STDMETHODIMP GetMediaType(AM_MEDIA_TYPE**) override { return S_FALSE; }
    STDMETHODIMP SetMediaType(AM_MEDIA_TYPE*) override { return E_NOTIMPL; }
    STDMETHODIMP IsDiscontinuity() override { return S_FALSE; }
    STDMETHODIMP SetDiscontinuity(BOOL) override { return E_NOTIMPL; }
    STDMETHODIMP GetMediaTime(LONGLONG*, LONGLONG*) override { return VFW_E_MEDIA_TIME_NOT_SET; }
    STDMETHODIMP SetMediaTime(LONGLONG*, LONGLONG*) override { return E_NOTIMPL; }
    bool Untouched(size_t from) const {
        for (size_t i = from; i < m_buffer.size(); ++i)
            if (m_buffer[i] != 0xEE) return false;
        return true;
    }

private:
    std::vector<BYTE> m_buffer;
};

// An allocator that grants at most `grant` bytes per buffer.
class StingyAllocator : public IMemAllocator {
public:
    explicit StingyAllocator(long grant) : m_grant(grant) {}
    ALLOCATOR_PROPERTIES requested{};
    STDMETHODIMP QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP SetProperties(ALLOCATOR_PROPERTIES* request, ALLOCATOR_PROPERTIES* actual) override {
        requested = *request;
        *actual = *request;
        actual->cbBuffer = std::min(request->cbBuffer, m_grant);
        return S_OK;
    }
    STDMETHODIMP GetProperties(ALLOCATOR_PROPERTIES*) override { return E_NOTIMPL; }
    STDMETHODIMP Commit() override { return E_NOTIMPL; }
    STDMETHODIMP Decommit() override { return E_NOTIMPL; }
    STDMETHODIMP GetBuffer(IMediaSample**, REFERENCE_TIME*, REFERENCE_TIME*, DWORD) override { return E_NOTIMPL; }
    STDMETHODIMP ReleaseBuffer(IMediaSample*) override { return E_NOTIMPL; }

private:
    long m_grant;
};

class Streaming : public FilterFixture {
protected:
    void SetUp() override {
        FilterFixture::SetUp();
        if (HasFatalFailure()) return;
        m_camera->SetSwitch(vyx::sim::bus::kSwitchNoPacing, 1);
        m_stream = StreamOf(m_filter.Get());
        m_cam = CameraOf(m_filter.Get());
    }

    // Expected duration of every sample: the frame time or the longer exposure, in 100 ns.
    LONGLONG Duration() const {
        long long frameUs = 0;
        float fps = 0;
        m_cam->GetFrameTime(&frameUs, &fps);
        int exposure = 0;
        bool automatic = false;
        m_cam->GetExposure(&exposure, &automatic);
        return 10 * std::max<LONGLONG>(frameUs, exposure);
    }

    vyx::CVCameraStream* m_stream = nullptr;
    VyxonCamera* m_cam = nullptr;
};

// The camera's image format that the pin sets up for an output subtype.
ImageFormat CameraFormatFor(const GUID& subtype, bool color) {
    switch (vyx::OutputFormatIndexOf(subtype)) {
    case vyx::kOutputRGB24: return IMG_RGB24;
    case vyx::kOutputYUY2: return IMG_YUY2;
    case vyx::kOutputY16: return IMG_RAW16;
    case vyx::kOutputY800: return color ? IMG_Y8 : IMG_RAW8;
    default: return IMG_RAW8;
    }
}

long ConnectedFrameBytes(const Graph& graph) {
    AM_MEDIA_TYPE connected{};
    if (graph.output->ConnectionMediaType(&connected) != S_OK) return 0;
    const long bytes = static_cast<long>(Info(connected)->bmiHeader.biSizeImage);
    FreeMediaType(connected);
    return bytes;
}

// Waits for one event code, skipping others; 0 when it does not come within `seconds`.
LONG WaitForEvent(IMediaEvent* events, LONG wanted, LONG_PTR* param1, int seconds) {
    for (int waited = 0; waited < seconds;) {
        LONG code = 0;
        LONG_PTR p1 = 0, p2 = 0;
        if (FAILED(events->GetEvent(&code, &p1, &p2, 1000))) {
            ++waited;
            continue;
        }
        events->FreeEventParams(code, p1, p2);
        if (code == wanted) {
            *param1 = p1;
            return code;
        }
    }
    return 0;
}
}  // namespace

// Each offered type configures the camera and delivers four frames: the first starts at
// zero and three joins show a gap or overlap.
TEST_F(Streaming, EveryOfferedTypeConfiguresTheCameraAndDeliversGapFreeFrames) {
    constexpr size_t kFrames = 4;
    CameraProp prop{};
    m_cam->GetTheProp(&prop);
    std::vector<CMediaType> types = StreamCapsTypes(m_filter.Get());
    ASSERT_FALSE(types.empty());
    for (size_t i = 0; i < types.size(); ++i) {
        Graph graph;
        ASSERT_EQ(MakeGraph(m_filter.Get(), CLSID_SampleGrabber, &graph), S_OK);
        ComPtr<ISampleGrabber> grabber;
        ASSERT_EQ(graph.downstream.As(&grabber), S_OK);
        Recorder recorder(kFrames);
        grabber->SetCallback(&recorder, 0);
        // Half the types through SetFormat and plain connection, half through ConnectDirect.
        if (i % 2 == 0) {
            ComPtr<IAMStreamConfig> config;
            m_filter.As(&config);
            ASSERT_EQ(config->SetFormat(&types[i]), S_OK) << i;
            ASSERT_EQ(graph.builder->Connect(graph.output.Get(), graph.input.Get()), S_OK) << i;
        } else {
            ASSERT_EQ(graph.Connect(&types[i]), S_OK) << i;
        }
        const BITMAPINFOHEADER& header = Info(types[i])->bmiHeader;
        int width = 0, height = 0;
        ImageFormat format{};
        m_cam->GetImgSize(&width, &height);
        m_cam->GetImgFormat(&format);
        EXPECT_EQ(width, header.biWidth) << i;
        EXPECT_EQ(height, header.biHeight) << i;
        EXPECT_EQ(format, CameraFormatFor(*types[i].Subtype(), prop.isColorCamera)) << i;
        const LONGLONG duration = Duration();
        ASSERT_TRUE(SUCCEEDED(graph.control->Run())) << i;
        EXPECT_TRUE(recorder.Wait(30000)) << i;
        graph.control->Stop();
        grabber->SetCallback(nullptr, 0);

        const std::vector<Received> samples = recorder.Samples();
        ASSERT_EQ(samples.size(), kFrames) << i;
        const DWORD size = header.biSizeImage;
        REFERENCE_TIME previous = 0;
        for (size_t n = 0; n < samples.size(); ++n) {
            EXPECT_TRUE(samples[n].timed) << i << "/" << n;
            EXPECT_EQ(samples[n].start, previous) << i << "/" << n;
            EXPECT_EQ(samples[n].end - samples[n].start, duration) << i << "/" << n;
            EXPECT_EQ(samples[n].length, static_cast<long>(size)) << i << "/" << n;
            EXPECT_TRUE(samples[n].syncPoint) << i << "/" << n;
            previous = samples[n].end;
        }
        graph.Disconnect();
    }
}

TEST_F(Streaming, FillBufferTimesLengthsAndFailures) {
    Graph graph;
    ASSERT_EQ(MakeConnectedGraph(m_filter.Get(), &graph), S_OK);
    const long frame = ConnectedFrameBytes(graph);

    EXPECT_EQ(m_stream->FillBuffer(nullptr), E_POINTER);
    // The hooks driven by hand, as the filter's pause and run drive them.
    m_stream->Activate();
    ASSERT_EQ(m_stream->OnThreadCreate(), S_OK);
    ASSERT_EQ(m_stream->Run(0), S_OK);
    const LONGLONG duration = Duration();

    // Consecutive samples follow each other from 0; a small buffer gets only its size.
    TestSample first(frame), small(1000), third(frame + 64);
    ASSERT_EQ(m_stream->FillBuffer(&first), S_OK);
    ASSERT_EQ(m_stream->FillBuffer(&small), S_OK);
    ASSERT_EQ(m_stream->FillBuffer(&third), S_OK);
    EXPECT_EQ(first.start, 0);
    EXPECT_EQ(first.end, duration);
    EXPECT_EQ(small.start, duration);
    EXPECT_EQ(third.start, 2 * duration);
    EXPECT_EQ(third.end, 3 * duration);
    EXPECT_TRUE(first.syncPoint && small.syncPoint && third.syncPoint);
    EXPECT_EQ(first.actualLength, frame);
    EXPECT_EQ(small.actualLength, 1000);
    EXPECT_EQ(third.actualLength, frame);
    EXPECT_TRUE(third.Untouched(static_cast<size_t>(frame)));
    LONG delivered = 0;
    ComPtr<IAMDroppedFrames> dropped;
    m_filter.As(&dropped);
    dropped->GetNumNotDropped(&delivered);
    EXPECT_EQ(delivered, 3);

    // A refused length is returned; no times are set and the count stays.
    TestSample refused(frame);
    refused.refuseLength = E_INVALIDARG;
    EXPECT_EQ(m_stream->FillBuffer(&refused), E_INVALIDARG);
    EXPECT_FALSE(refused.timesSet);
    dropped->GetNumNotDropped(&delivered);
    EXPECT_EQ(delivered, 3);

    // Two failed reads are absorbed; three fail the sample and every later one.
    m_camera->SetSwitch(vyx::sim::bus::kSwitchFailReads, 2);
    TestSample recovered(frame);
    EXPECT_EQ(m_stream->FillBuffer(&recovered), S_OK);
    m_camera->SetSwitch(vyx::sim::bus::kSwitchFailReads, 3);
    TestSample failed(frame), after(frame);
    EXPECT_EQ(m_stream->FillBuffer(&failed), E_FAIL);
    EXPECT_EQ(m_stream->FillBuffer(&after), E_FAIL);
    EXPECT_FALSE(after.timesSet);
    // A new start of the thread resets the count.
    ASSERT_EQ(m_stream->OnThreadDestroy(), S_OK);
    ASSERT_EQ(m_stream->OnThreadCreate(), S_OK);
    TestSample fresh(frame);
    EXPECT_EQ(m_stream->FillBuffer(&fresh), S_OK);
    EXPECT_EQ(fresh.start, 0);
    ASSERT_EQ(m_stream->OnThreadDestroy(), S_OK);
    m_stream->Inactive();
    m_stream->Deactivate();

    EXPECT_EQ(m_stream->Notify(nullptr, Quality{}), E_FAIL);
}

TEST_F(Streaming, BufferSizeIsOneFrameAndSmallerGrantsFail) {
    Graph graph;
    ASSERT_EQ(MakeConnectedGraph(m_filter.Get(), &graph), S_OK);
    const long frame = ConnectedFrameBytes(graph);

    ALLOCATOR_PROPERTIES request{4, 10, 0, 16};
    StingyAllocator generous(frame), stingy(frame - 1);
    EXPECT_EQ(m_stream->DecideBufferSize(&generous, &request), S_OK);
    EXPECT_EQ(generous.requested.cBuffers, 2) << "a Smart Tee downstream needs a second buffer";
    EXPECT_EQ(generous.requested.cbBuffer, frame);
    EXPECT_EQ(generous.requested.cbAlign, 1);
    EXPECT_EQ(generous.requested.cbPrefix, 16);
    EXPECT_EQ(m_stream->DecideBufferSize(&stingy, &request), E_FAIL);
    EXPECT_EQ(m_stream->DecideBufferSize(nullptr, &request), E_POINTER);
    EXPECT_EQ(m_stream->DecideBufferSize(&generous, nullptr), E_POINTER);
}

TEST_F(Streaming, ThreeFailedReadsAbortTheRunWithAnError) {
    Graph graph;
    ASSERT_EQ(MakeConnectedGraph(m_filter.Get(), &graph), S_OK);
    ComPtr<IMediaEvent> events;
    ASSERT_EQ(graph.builder->QueryInterface(IID_IMediaEvent, reinterpret_cast<void**>(events.GetAddressOf())), S_OK);
    m_camera->SetSwitch(vyx::sim::bus::kSwitchFailReads, 1000000);
    ASSERT_TRUE(SUCCEEDED(graph.control->Run()));
    LONG_PTR code = 0;
    EXPECT_EQ(WaitForEvent(events.Get(), EC_ERRORABORT, &code, 30), EC_ERRORABORT);
    EXPECT_EQ(static_cast<HRESULT>(code), E_FAIL);
    graph.control->Stop();
    m_camera->SetSwitch(vyx::sim::bus::kSwitchFailReads, 0);
}

// The camera starts on the core's own thread, so the filter's pause does not wait for it; a
// camera that refuses ends the run as three failed reads do, and leaves the pin stopped.
TEST_F(Streaming, RefusedStreamStartAbortsTheRunAndTheNextRunStreams) {
    Graph graph;
    ASSERT_EQ(MakeGraph(m_filter.Get(), CLSID_SampleGrabber, &graph), S_OK);
    ComPtr<ISampleGrabber> grabber;
    ASSERT_EQ(graph.downstream.As(&grabber), S_OK);
    Recorder recorder(2);
    grabber->SetCallback(&recorder, 0);
    ASSERT_EQ(graph.builder->Connect(graph.output.Get(), graph.input.Get()), S_OK);
    ComPtr<IMediaEvent> events;
    ASSERT_EQ(graph.builder->QueryInterface(IID_IMediaEvent, reinterpret_cast<void**>(events.GetAddressOf())), S_OK);
    m_camera->SetSwitch(vyx::sim::bus::kSwitchRefuseStart, 1);
    ASSERT_TRUE(SUCCEEDED(graph.control->Run()));
    LONG_PTR code = 0;
    EXPECT_EQ(WaitForEvent(events.Get(), EC_ERRORABORT, &code, 30), EC_ERRORABORT);
    EXPECT_EQ(static_cast<HRESULT>(code), E_FAIL);
    graph.control->Stop();
    m_camera->SetSwitch(vyx::sim::bus::kSwitchRefuseStart, 0);
    EXPECT_TRUE(recorder.Samples().empty());

    // The failed start left the pin stopped: setters work, and a run delivers.
    ComPtr<ICameraInstance> instance;
    ASSERT_EQ(m_filter->QueryInterface(vyx::g_ModelDescriptor.cameraInstanceIid, &instance), S_OK);
    int index = 0;
    instance->GetImgSizeIndex(&index);
    EXPECT_EQ(instance->SetImgSizeIndex(index), S_OK);
    ASSERT_TRUE(SUCCEEDED(graph.control->Run()));
    EXPECT_TRUE(recorder.Wait(30000));
    graph.control->Stop();
    grabber->SetCallback(nullptr, 0);
}

// The settings file and the pages set the exposure on the camera directly; the samples'
// durations follow the exposure in force, not the one the camera opened with.
TEST_F(Streaming, SampleDurationsFollowTheExposureTheSettingsFileOrAPageSet) {
    // 1 ms from the file, far below the 100 ms the camera opens with.
    m_filter.Reset();
    WriteSettingsSection("Exp(ms)=1.000000\r\nIsExpAuto=0\r\n");
    ASSERT_EQ(CreateFilter(&m_filter), S_OK);
    m_stream = StreamOf(m_filter.Get());
    m_cam = CameraOf(m_filter.Get());
    Graph graph;
    ASSERT_EQ(MakeGraph(m_filter.Get(), CLSID_SampleGrabber, &graph), S_OK);
    ComPtr<ISampleGrabber> grabber;
    ASSERT_EQ(graph.downstream.As(&grabber), S_OK);
    const std::vector<CMediaType> types = StreamCapsTypes(m_filter.Get());
    ASSERT_FALSE(types.empty());
    ASSERT_EQ(graph.Connect(&types.back()), S_OK);
    for (const int pageExposureUs : {0, 20000}) {
        // A page's own SetExposure, as the Camera Control page makes it.
        if (pageExposureUs) {
            ASSERT_TRUE(m_cam->SetExposure(pageExposureUs, false));
        }
        int exposure = 0;
        bool automatic = true;
        ASSERT_TRUE(m_cam->GetExposure(&exposure, &automatic));
        EXPECT_EQ(exposure, pageExposureUs ? pageExposureUs : 1000);
        const LONGLONG duration = Duration();
        Recorder recorder(2);
        grabber->SetCallback(&recorder, 0);
        ASSERT_TRUE(SUCCEEDED(graph.control->Run()));
        EXPECT_TRUE(recorder.Wait(30000));
        graph.control->Stop();
        grabber->SetCallback(nullptr, 0);
        for (const Received& sample : recorder.Samples()) EXPECT_EQ(sample.end - sample.start, duration) << exposure;
    }
}

// IAMVideoControl's current rate is the duration the samples carry, before the run (what
// the format and the exposure allow) and during it: at a 30 fps limit a 10 ms exposure
// lasts the limit's frame, not 10 ms; a 50 ms exposure lasts its own time.
TEST_F(Streaming, CurrentFrameRateIsTheDurationTheSamplesCarry) {
    ComPtr<IAMVideoControl> control;
    ASSERT_EQ(m_filter.As(&control), S_OK);
    ComPtr<IAMStreamConfig> config;
    ASSERT_EQ(m_filter.As(&config), S_OK);
    const std::vector<CMediaType> types = StreamCapsTypes(m_filter.Get());
    ASSERT_FALSE(types.empty());
    CMediaType chosen = types.back();
    Info(chosen)->AvgTimePerFrame = 333333;
    ASSERT_EQ(config->SetFormat(&chosen), S_OK);
    Graph graph;
    ASSERT_EQ(MakeGraph(m_filter.Get(), CLSID_SampleGrabber, &graph), S_OK);
    ComPtr<ISampleGrabber> grabber;
    ASSERT_EQ(graph.downstream.As(&grabber), S_OK);
    ASSERT_EQ(graph.builder->Connect(graph.output.Get(), graph.input.Get()), S_OK);
    for (const int exposureUs : {10000, 50000}) {
        SCOPED_TRACE(exposureUs);
        ASSERT_TRUE(m_cam->SetExposure(exposureUs, false));
        LONGLONG before = 0, during = 0;
        ASSERT_EQ(control->GetCurrentActualFrameRate(nullptr, &before), S_OK);
        Recorder recorder(4);
        grabber->SetCallback(&recorder, 0);
        ASSERT_TRUE(SUCCEEDED(graph.control->Run()));
        EXPECT_TRUE(recorder.Wait(30000));
        ASSERT_EQ(control->GetCurrentActualFrameRate(nullptr, &during), S_OK);
        graph.control->Stop();
        grabber->SetCallback(nullptr, 0);

        const std::vector<Received> samples = recorder.Samples();
        ASSERT_FALSE(samples.empty());
        const LONGLONG perSample =
            (samples.back().end - samples.front().start) / static_cast<LONGLONG>(samples.size());
        EXPECT_EQ(samples.back().end - samples.back().start, perSample);
        EXPECT_GE(perSample, std::max<LONGLONG>(333333, 10LL * exposureUs));
        EXPECT_EQ(before, perSample);
        EXPECT_EQ(during, perSample);
    }
}
