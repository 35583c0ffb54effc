// The pin as the adapter of format negotiation: types through its COM interfaces,
// IAMStreamConfig's choice and the frame-rate limit, and the camera's frame-rate range.
// Every offered type's connection and camera set-up is StreamingTest's.
#include <gtest/gtest.h>

#include <atomic>
#include <vector>

#include "FilterFixture.h"
#include "FilterTestSupport.h"
#include "GrabberCallback.h"
#include "ModelDescriptor.h"
#include "SimulatedBus.h"

using namespace vyx::test;

namespace {
class Negotiation : public FilterFixture {
protected:
    void SetUp() override {
        FilterFixture::SetUp();
        if (HasFatalFailure()) return;
        ASSERT_EQ(m_filter.As(&m_config), S_OK);
        m_stream = StreamOf(m_filter.Get());
        m_cam = CameraOf(m_filter.Get());
        CameraProp prop{};
        m_cam->GetTheProp(&prop);
        m_color = prop.isColorCamera;
    }

    ComPtr<IAMStreamConfig> m_config;
    vyx::CVCameraStream* m_stream = nullptr;
    VyxonCamera* m_cam = nullptr;
    bool m_color = false;
};

// The graph a filter joins, standing in for the real one: what a test does not override
// goes to the real graph when there is one (the event sink), else is not implemented.
class StandInGraph : public IFilterGraph2 {
public:
    explicit StandInGraph(IFilterGraph2* real = nullptr) : m_real(real) {}
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
        if (!ppv) return E_POINTER;
        *ppv = nullptr;
        if (riid == IID_IUnknown || riid == IID_IFilterGraph || riid == IID_IGraphBuilder || riid == IID_IFilterGraph2) {
            *ppv = static_cast<IFilterGraph2*>(this);
            return S_OK;
        }
        return m_real ? m_real->QueryInterface(riid, ppv) : E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }  // lives on the test's stack
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP AddFilter(IBaseFilter*, LPCWSTR) override { return E_NOTIMPL; }
    STDMETHODIMP RemoveFilter(IBaseFilter*) override { return E_NOTIMPL; }
    STDMETHODIMP EnumFilters(IEnumFilters**) override { return E_NOTIMPL; }
    STDMETHODIMP FindFilterByName(LPCWSTR, IBaseFilter**) override { return E_NOTIMPL; }
    STDMETHODIMP ConnectDirect(IPin*, IPin*, const AM_MEDIA_TYPE*) override { return E_NOTIMPL; }
    STDMETHODIMP Reconnect(IPin* pin) override { return m_real ? m_real->Reconnect(pin) : E_NOTIMPL; }
    STDMETHODIMP Disconnect(IPin*) override { return E_NOTIMPL; }
    STDMETHODIMP SetDefaultSyncSource() override { return E_NOTIMPL; }
    STDMETHODIMP Connect(IPin*, IPin*) override { return E_NOTIMPL; }
    STDMETHODIMP Render(IPin*) override { return E_NOTIMPL; }
    STDMETHODIMP RenderFile(LPCWSTR, LPCWSTR) override { return E_NOTIMPL; }
    STDMETHODIMP AddSourceFilter(LPCWSTR, LPCWSTR, IBaseFilter**) override { return E_NOTIMPL; }
    STDMETHODIMP SetLogFile(DWORD_PTR) override { return E_NOTIMPL; }
    STDMETHODIMP Abort() override { return E_NOTIMPL; }
    STDMETHODIMP ShouldOperationContinue() override { return S_OK; }
    STDMETHODIMP AddSourceFilterForMoniker(IMoniker*, IBindCtx*, LPCWSTR, IBaseFilter**) override { return E_NOTIMPL; }
    STDMETHODIMP ReconnectEx(IPin* pin, const AM_MEDIA_TYPE* type) override {
        return m_real ? m_real->ReconnectEx(pin, type) : E_NOTIMPL;
    }
    STDMETHODIMP RenderEx(IPin*, DWORD, DWORD*) override { return E_NOTIMPL; }

private:
    IFilterGraph2* m_real;
};

// A graph whose Reconnect refuses and leaves both pins as they were.
class RefusingGraph : public StandInGraph {
public:
    STDMETHODIMP Reconnect(IPin*) override {
        ++reconnects;
        return VFW_E_TYPE_NOT_ACCEPTED;
    }

    int reconnects = 0;
};

// Its reconnections first pause the filter, as a graph pause that lands between a
// configuration change and its reconnection does, then go to the real graph.
class PausingGraph : public StandInGraph {
public:
    PausingGraph(IFilterGraph2* real, IBaseFilter* filter) : StandInGraph(real), m_filter(filter) {}
    STDMETHODIMP Reconnect(IPin* pin) override {
        pauses.push_back(m_filter->Pause());
        return StandInGraph::Reconnect(pin);
    }
    STDMETHODIMP ReconnectEx(IPin* pin, const AM_MEDIA_TYPE* type) override {
        pauses.push_back(m_filter->Pause());
        return StandInGraph::ReconnectEx(pin, type);
    }

    std::vector<HRESULT> pauses;

private:
    IBaseFilter* m_filter;
};

// Counts samples, and those whose length is not `frameSize`.
class GrabberCounter : public GrabberCallback {
public:
    GrabberCounter(std::atomic<int>* samples, std::atomic<int>* wrong, long frameSize)
        : m_samples(samples), m_wrong(wrong), m_frameSize(frameSize) {}
    STDMETHODIMP SampleCB(double, IMediaSample* sample) override {
        if (sample->GetActualDataLength() != m_frameSize) ++*m_wrong;
        ++*m_samples;
        return S_OK;
    }

private:
    std::atomic<int>* m_samples;
    std::atomic<int>* m_wrong;
    long m_frameSize;
};

int CountOfferedTypes(IPin* pin) {
    ComPtr<IEnumMediaTypes> types;
    if (FAILED(pin->EnumMediaTypes(&types))) return -1;
    int count = 0;
    for (AM_MEDIA_TYPE* type = nullptr; types->Next(1, &type, nullptr) == S_OK; type = nullptr) {
        DeleteMediaType(type);
        ++count;
    }
    return count;
}

}  // namespace

// The decisions themselves are FormatNegotiationTest's; here the pin's adaptation of them.
TEST_F(Negotiation, PinHandsOutAndChecksTheNegotiatedTypes) {
    int count = 0, size = 0;
    ASSERT_EQ(m_config->GetNumberOfCapabilities(&count, &size), S_OK);
    EXPECT_EQ(size, 128);
    EXPECT_EQ(m_config->GetNumberOfCapabilities(nullptr, &size), E_POINTER);
    EXPECT_EQ(CountOfferedTypes(OutputPin(m_filter.Get()).Get()), count);
    CMediaType first;
    ASSERT_EQ(m_stream->GetMediaType(0, &first), S_OK);
    EXPECT_TRUE(IsEqualGUID(first.subtype, m_color ? MEDIASUBTYPE_RGB24 : MEDIASUBTYPE_RGB8));
    EXPECT_EQ(Info(first)->bmiHeader.biWidth, vyx::g_ModelDescriptor.sensorWidth / 4 * 4);
    CMediaType beyond;
    EXPECT_EQ(m_stream->GetMediaType(count, &beyond), VFW_S_NO_MORE_ITEMS);
    EXPECT_EQ(m_stream->GetMediaType(0, nullptr), E_POINTER);

    EXPECT_EQ(m_stream->CheckMediaType(&first), S_OK);
    EXPECT_EQ(m_stream->CheckMediaType(nullptr), E_POINTER);
    CMediaType wrongBits(first);
    Info(wrongBits)->bmiHeader.biBitCount = 32;
    EXPECT_EQ(m_stream->CheckMediaType(&wrongBits), E_INVALIDARG);
    // SetMediaType of a type that does not resolve changes nothing.
    EXPECT_EQ(m_stream->SetMediaType(&wrongBits), E_INVALIDARG);
    EXPECT_EQ(m_stream->SetMediaType(nullptr), E_INVALIDARG);

    // A pin whose camera is closed accepts nothing.
    ASSERT_TRUE(m_cam->CloseCamera());
    EXPECT_EQ(m_stream->CheckMediaType(&first), E_INVALIDARG);
    EXPECT_EQ(m_stream->SetMediaType(&first), E_UNEXPECTED);
    EXPECT_TRUE(m_cam->OpenCamera());
}

TEST_F(Negotiation, SetFormatLocksTheConnectionAndLimitsTheFrameRate) {
    std::vector<CMediaType> types = StreamCapsTypes(m_filter.Get());
    ASSERT_GT(types.size(), 3u);
    CMediaType chosen = types[types.size() / 2];
    Info(chosen)->AvgTimePerFrame = 666666;
    EXPECT_EQ(m_config->SetFormat(&chosen), S_OK);
    MediaTypePtr current;
    ASSERT_EQ(m_config->GetFormat(current.Put()), S_OK);
    EXPECT_TRUE(IsEqualGUID(current->subtype, *chosen.Subtype()));
    EXPECT_EQ(Info(current)->AvgTimePerFrame, 666666);
    ComPtr<IPin> pin = OutputPin(m_filter.Get());
    EXPECT_EQ(CountOfferedTypes(pin.Get()), 1);

    // The connection sets the frame-rate limit from the requested interval.
    Graph graph;
    ASSERT_EQ(MakeConnectedGraph(m_filter.Get(), &graph), S_OK);
    int limit = -1;
    m_cam->GetFrameRateLimit(&limit);
    EXPECT_EQ(limit, 15);
    // SetFormat while connected reconnects through the graph.
    CMediaType other = types[0];
    Info(other)->AvgTimePerFrame = 400000;
    EXPECT_EQ(m_config->SetFormat(&other), S_OK);
    AM_MEDIA_TYPE connected{};
    ASSERT_EQ(graph.output->ConnectionMediaType(&connected), S_OK);
    EXPECT_TRUE(IsEqualGUID(connected.subtype, *other.Subtype()));
    EXPECT_EQ(Info(connected)->AvgTimePerFrame, 400000);
    FreeMediaType(connected);
    m_cam->GetFrameRateLimit(&limit);
    EXPECT_EQ(limit, 25);

    // A stop of streaming lifts the lock.
    ASSERT_TRUE(SUCCEEDED(graph.control->Run()));
    OAFilterState state;
    graph.control->GetState(5000, &state);
    graph.control->Stop();
    EXPECT_EQ(CountOfferedTypes(pin.Get()), static_cast<int>(types.size()));

    // A choice without an interval clears the request: no limit.
    graph.Disconnect();
    CMediaType plain = types[1];
    Info(plain)->AvgTimePerFrame = 0;
    EXPECT_EQ(m_config->SetFormat(&plain), S_OK);
    ASSERT_EQ(graph.builder->Connect(graph.output.Get(), graph.input.Get()), S_OK);
    m_cam->GetFrameRateLimit(&limit);
    EXPECT_EQ(limit, 0);
    EXPECT_EQ(m_config->SetFormat(nullptr), VFW_E_INVALIDMEDIATYPE);
}

TEST_F(Negotiation, FailedReconnectionKeepsThePinInTheTypeThePeerHolds) {
    RefusingGraph graph;
    ASSERT_EQ(m_filter->JoinFilterGraph(&graph, L"camera"), S_OK);
    ComPtr<IBaseFilter> renderer;
    ASSERT_EQ(CoCreateInstance(CLSID_NullRenderer, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&renderer)), S_OK);
    ComPtr<IPin> output = OutputPin(m_filter.Get());
    ComPtr<IEnumPins> pins;
    ComPtr<IPin> input;
    ASSERT_EQ(renderer->EnumPins(&pins), S_OK);
    ASSERT_EQ(pins->Next(1, &input, nullptr), S_OK);
    std::vector<CMediaType> types = StreamCapsTypes(m_filter.Get());
    ASSERT_GT(types.size(), 1u);
    ASSERT_EQ(output->Connect(input.Get(), &types[0]), S_OK);

    CMediaType other = types[types.size() - 1];
    ASSERT_NE(Info(other)->bmiHeader.biWidth, Info(types[0])->bmiHeader.biWidth);
    EXPECT_EQ(m_config->SetFormat(&other), VFW_E_TYPE_NOT_ACCEPTED);
    EXPECT_EQ(graph.reconnects, 1);
    AM_MEDIA_TYPE ours{}, peers{};
    ASSERT_EQ(output->ConnectionMediaType(&ours), S_OK);
    ASSERT_EQ(input->ConnectionMediaType(&peers), S_OK);
    EXPECT_TRUE(IsEqualGUID(ours.subtype, peers.subtype));
    EXPECT_EQ(Info(ours)->bmiHeader.biWidth, Info(peers)->bmiHeader.biWidth);
    EXPECT_EQ(Info(ours)->bmiHeader.biSizeImage, Info(peers)->bmiHeader.biSizeImage);
    EXPECT_EQ(ours.lSampleSize, peers.lSampleSize);
    FreeMediaType(ours);
    FreeMediaType(peers);
    // The choice did not stay either: the pin still offers every type, and reports the old one.
    EXPECT_EQ(CountOfferedTypes(output.Get()), static_cast<int>(types.size()));
    MediaTypePtr current;
    ASSERT_EQ(m_config->GetFormat(current.Put()), S_OK);
    EXPECT_EQ(Info(current)->bmiHeader.biWidth, Info(types[0])->bmiHeader.biWidth);

    EXPECT_EQ(output->Disconnect(), S_OK);
    EXPECT_EQ(input->Disconnect(), S_OK);
    EXPECT_EQ(m_filter->JoinFilterGraph(nullptr, nullptr), S_OK);
}

// A pause that lands between a configuration change and the reconnection that makes it take
// effect is refused on the changing thread (another thread's waits for the change), so the
// filter stays stopped, the reconnection goes through, the pin and its peer agree, and every
// sample of the next run has the connection's length.
TEST_F(Negotiation, APauseBetweenAChangeAndItsReconnectionLeavesThePinAndItsPeerAgreeing) {
    m_camera->SetSwitch(vyx::sim::bus::kSwitchNoPacing, 1);
    Graph graph;
    ASSERT_EQ(MakeGraph(m_filter.Get(), CLSID_SampleGrabber, &graph), S_OK);
    ComPtr<ISampleGrabber> grabber;
    ASSERT_EQ(graph.downstream.As(&grabber), S_OK);
    std::vector<CMediaType> types = StreamCapsTypes(m_filter.Get());
    ASSERT_GT(types.size(), 2u);
    ASSERT_EQ(graph.Connect(&types.back()), S_OK);
    ComPtr<IFilterGraph2> real;
    ASSERT_EQ(graph.builder.As(&real), S_OK);
    PausingGraph pausing(real.Get(), m_filter.Get());
    ASSERT_EQ(m_filter->JoinFilterGraph(&pausing, L"Camera"), S_OK);
    ComPtr<ICameraInstance> instance;
    ASSERT_EQ(m_filter->QueryInterface(vyx::g_ModelDescriptor.cameraInstanceIid, &instance), S_OK);

    // Through IAMStreamConfig (a renegotiated reconnection), then a page's setter (the exact type).
    const CMediaType& chosen = types[types.size() - 2];
    EXPECT_EQ(m_config->SetFormat(const_cast<CMediaType*>(&chosen)), S_OK);
    EXPECT_EQ(instance->SetBin(2), S_OK);
    ASSERT_EQ(m_filter->JoinFilterGraph(real.Get(), L"Camera"), S_OK);
    EXPECT_EQ(pausing.pauses, (std::vector<HRESULT>{VFW_E_WRONG_STATE, VFW_E_WRONG_STATE}));
    FILTER_STATE state = State_Running;
    ASSERT_EQ(m_filter->GetState(0, &state), S_OK);
    EXPECT_EQ(state, State_Stopped);

    AM_MEDIA_TYPE ours{}, peers{};
    ASSERT_EQ(graph.output->ConnectionMediaType(&ours), S_OK);
    ASSERT_EQ(graph.input->ConnectionMediaType(&peers), S_OK);
    const DWORD frameSize = Info(ours)->bmiHeader.biSizeImage;
    EXPECT_TRUE(IsEqualGUID(ours.subtype, peers.subtype));
    EXPECT_EQ(Info(ours)->bmiHeader.biWidth, Info(peers)->bmiHeader.biWidth);
    EXPECT_EQ(frameSize, Info(peers)->bmiHeader.biSizeImage);
    FreeMediaType(ours);
    FreeMediaType(peers);
    int width = 0, height = 0, bin = 0;
    ASSERT_TRUE(m_cam->GetImgSize(&width, &height) && m_cam->GetBin(&bin));
    EXPECT_EQ(bin, 2);

    std::atomic<int> samples{0}, wrongLength{0};
    GrabberCounter counter(&samples, &wrongLength, static_cast<long>(frameSize));
    grabber->SetCallback(&counter, 0);
    ASSERT_TRUE(SUCCEEDED(graph.control->Run()));
    EXPECT_TRUE(WaitUntil([&] { return samples >= 3; }));
    graph.control->Stop();
    grabber->SetCallback(nullptr, 0);
    EXPECT_EQ(wrongLength, 0) << "a sample had another length than the connection's";
}

TEST_F(Negotiation, StreamCapsUseTheCamerasFrameRateRange) {
    int count = 0, size = 0;
    ASSERT_EQ(m_config->GetNumberOfCapabilities(&count, &size), S_OK);
    VIDEO_STREAM_CONFIG_CAPS caps{};
    AM_MEDIA_TYPE* refused = reinterpret_cast<AM_MEDIA_TYPE*>(1);
    EXPECT_EQ(m_config->GetStreamCaps(count, &refused, reinterpret_cast<BYTE*>(&caps)), E_INVALIDARG);
    EXPECT_EQ(refused, nullptr);
    MediaTypePtr type;
    EXPECT_EQ(m_config->GetStreamCaps(0, type.Put(), nullptr), E_POINTER);
    EXPECT_EQ(m_config->GetFormat(nullptr), E_POINTER);
    int maxFps = 0, minFps = 0, defaultFps = 0;
    ASSERT_TRUE(m_cam->GetFrameRateLimitRange(&maxFps, &minFps, &defaultFps));
    ASSERT_EQ(m_config->GetStreamCaps(count - 1, type.Put(), reinterpret_cast<BYTE*>(&caps)), S_OK);
    EXPECT_EQ(caps.InputSize.cx, Info(type)->bmiHeader.biWidth);
    EXPECT_EQ(caps.MaxFrameInterval, 10000000 / minFps);

    // A failed or unusable frame-rate range falls back to 1..2000 frames per second.
    for (const wchar_t* name : {vyx::sim::bus::kSwitchFailFrameRateRange, vyx::sim::bus::kSwitchFrameRateMinZero}) {
        m_camera->SetSwitch(name, 1);
        MediaTypePtr fallback;
        ASSERT_EQ(m_config->GetStreamCaps(0, fallback.Put(), reinterpret_cast<BYTE*>(&caps)), S_OK);
        EXPECT_EQ(caps.MinFrameInterval, 5000);
        EXPECT_EQ(caps.MaxFrameInterval, 10000000);
        m_camera->SetSwitch(name, 0);
    }
}

TEST_F(Negotiation, RefusedCameraSettingsFailTheConnection) {
    CMediaType type;
    ASSERT_EQ(m_stream->GetMediaType(1, &type), S_OK);
    for (const wchar_t* name : {vyx::sim::bus::kSwitchRefuseSetBin, vyx::sim::bus::kSwitchRefuseSetImgSize,
                                vyx::sim::bus::kSwitchRefuseSetImgFormat}) {
        m_camera->SetSwitch(name, 1);
        EXPECT_EQ(m_stream->SetMediaType(&type), E_FAIL);
        m_camera->SetSwitch(name, 0);
    }
    EXPECT_EQ(m_stream->SetMediaType(&type), S_OK);
}
