// A framework source in the platform's filter graph, connected to the platform's null
// renderer and sample grabber, driven and observed as an application does.
#include <streams.h>
#include <wrl/client.h>

#include "SampleGrabber.h"

#include <gtest/gtest.h>

#include "ComTest.h"
#include "TestSource.h"
#include "VideoTypes.h"

using Microsoft::WRL::ComPtr;

namespace vyx::dshow::test {
namespace {

// Counts the grabber's samples and signals each one.
class GrabberCallback : public ISampleGrabberCB {
public:
    CAMEvent sampleArrived;
    std::atomic<int> samples{0};
    std::atomic<long> lastLength{0};

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override
    {
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_ISampleGrabberCB))
            return GetInterface(static_cast<ISampleGrabberCB*>(this), ppv);
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }   // lives on the test's stack
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP SampleCB(double, IMediaSample* sample) override
    {
        lastLength = sample->GetActualDataLength();
        ++samples;
        sampleArrived.Set();
        return S_OK;
    }
    STDMETHODIMP BufferCB(double, BYTE*, LONG) override { return E_NOTIMPL; }
};

class GraphTest : public ComTest {
protected:
    void SetUp() override
    {
        ComTest::SetUp();
        ASSERT_EQ(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder,
                                   reinterpret_cast<void**>(m_graph.GetAddressOf())),
                  S_OK);
        ASSERT_EQ(m_graph.As(&m_control), S_OK);
        // Off the default clock: Wine's system clock can hang the graph's last Release
        // (see docs/wine-notes.md), and nothing here is timed against a clock.
        ComPtr<IMediaFilter> timing;
        ASSERT_EQ(m_graph.As(&timing), S_OK);
        ASSERT_EQ(timing->SetSyncSource(nullptr), S_OK);
        ASSERT_EQ(m_graph->QueryInterface(IID_IMediaEvent, reinterpret_cast<void**>(m_events.GetAddressOf())), S_OK);
    }
    void TearDown() override
    {
        if (m_control != nullptr)
            m_control->Stop();
        m_events.Reset();
        m_control.Reset();
        m_graph.Reset();
        m_source.Reset();
        EXPECT_EQ(TestSource::s_live, 0) << "the graph released every reference to the source";
        ComTest::TearDown();
    }
    void AddSource(const StreamScript& script)
    {
        m_source = TestSource::Create(script, &m_stream);
        ASSERT_EQ(m_graph->AddFilter(m_source.Get(), L"Source"), S_OK);
    }
    ComPtr<IBaseFilter> AddPlatformFilter(REFCLSID clsid, LPCWSTR name)
    {
        ComPtr<IBaseFilter> filter;
        EXPECT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                                   reinterpret_cast<void**>(filter.GetAddressOf())),
                  S_OK);
        EXPECT_EQ(m_graph->AddFilter(filter.Get(), name), S_OK);
        return filter;
    }
    static ComPtr<IPin> PinOf(IBaseFilter* filter, PIN_DIRECTION direction)
    {
        ComPtr<IEnumPins> pins;
        filter->EnumPins(pins.GetAddressOf());
        ComPtr<IPin> pin;
        while (pins->Next(1, pin.ReleaseAndGetAddressOf(), nullptr) == S_OK) {
            PIN_DIRECTION dir;
            pin->QueryDirection(&dir);
            if (dir == direction)
                return pin;
        }
        return nullptr;
    }
    // The first parameter of the first event with this code; -1 when none comes.
    LONG_PTR WaitForEvent(long wanted)
    {
        const ULONGLONG deadline = GetTickCount64() + kHangGuardMs;
        while (GetTickCount64() < deadline) {
            long code = 0;
            LONG_PTR param1 = 0, param2 = 0;
            // The platform's queue may answer E_ABORT once when it runs empty: ask again.
            if (m_events->GetEvent(&code, &param1, &param2, kHangGuardMs) != S_OK)
                continue;
            m_events->FreeEventParams(code, param1, param2);
            if (code == wanted)
                return param1;
        }
        return -1;
    }
    // Sets up source -> grabber (RGB24 only, counting samples) -> null renderer.
    void ConnectThroughGrabber(GrabberCallback* callback)
    {
        ComPtr<IBaseFilter> grabberFilter = AddPlatformFilter(CLSID_SampleGrabber, L"Grabber");
        ComPtr<ISampleGrabber> grabber;
        ASSERT_EQ(grabberFilter.As(&grabber), S_OK);
        CMediaType wanted(&MEDIATYPE_Video);
        wanted.SetSubtype(&MEDIASUBTYPE_RGB24);
        ASSERT_EQ(grabber->SetMediaType(&wanted), S_OK);
        ASSERT_EQ(grabber->SetCallback(callback, 0), S_OK);
        ComPtr<IBaseFilter> renderer = AddPlatformFilter(CLSID_NullRenderer, L"Renderer");
        ASSERT_EQ(m_graph->ConnectDirect(m_stream, PinOf(grabberFilter.Get(), PINDIR_INPUT).Get(), nullptr), S_OK);
        ASSERT_EQ(m_graph->ConnectDirect(PinOf(grabberFilter.Get(), PINDIR_OUTPUT).Get(),
                                         PinOf(renderer.Get(), PINDIR_INPUT).Get(), nullptr),
                  S_OK);
    }

    ComPtr<IGraphBuilder> m_graph;
    ComPtr<IMediaControl> m_control;
    ComPtr<IMediaEvent> m_events;
    GrabberCallback m_callback;  // outlives the graph, which calls it until stopped
    ComPtr<IBaseFilter> m_source;
    TestStream* m_stream = nullptr;
};

TEST_F(GraphTest, ConnectsToNullRendererAndStartsAndStopsWithTheGraph)
{
    StreamScript script;
    script.subtypes = {MEDIASUBTYPE_RGB24, MEDIASUBTYPE_RGB32};
    AddSource(script);
    ComPtr<IBaseFilter> renderer = AddPlatformFilter(CLSID_NullRenderer, L"Renderer");
    ASSERT_EQ(m_graph->Connect(m_stream, PinOf(renderer.Get(), PINDIR_INPUT).Get()), S_OK);
    EXPECT_TRUE(IsEqualGUID(m_stream->ConnectedType().subtype, MEDIASUBTYPE_RGB24));

    FILTER_INFO info{};
    ASSERT_EQ(m_source->QueryFilterInfo(&info), S_OK);
    EXPECT_STREQ(info.achName, L"Source");
    ASSERT_NE(info.pGraph, nullptr);
    info.pGraph->Release();

    for (int cycle = 1; cycle <= 4; ++cycle) {
        m_stream->fillsReached.Reset();
        ASSERT_TRUE(SUCCEEDED(m_control->Run()));
        OAFilterState state = State_Stopped;
        ASSERT_EQ(m_control->GetState(kHangGuardMs, &state), S_OK);
        EXPECT_EQ(state, State_Running);
        EXPECT_EQ(m_stream->threadCreates, cycle);
        ASSERT_TRUE(SUCCEEDED(m_control->Pause()));
        ASSERT_TRUE(SUCCEEDED(m_control->Run()));
        ASSERT_EQ(m_control->Stop(), S_OK);
        EXPECT_EQ(m_stream->threadDestroys, cycle) << "one thread per run of the graph";
        EXPECT_FALSE(m_stream->StreamingThreadAlive());
    }
    EXPECT_EQ(m_stream->threadCreates, 4);
}

TEST_F(GraphTest, FallsBackToTheMemoryAllocatorForTheSampleGrabber)
{
    StreamScript script;
    script.subtypes = {MEDIASUBTYPE_RGB32, MEDIASUBTYPE_RGB24};
    AddSource(script);
    ConnectThroughGrabber(&m_callback);
    EXPECT_TRUE(IsEqualGUID(m_stream->ConnectedType().subtype, MEDIASUBTYPE_RGB24))
        << "the grabber's type is found among the source's";
    EXPECT_EQ(m_stream->allocatorFallbacks, 1) << "the grabber offers no allocator";

    ASSERT_TRUE(SUCCEEDED(m_control->Run()));
    while (m_callback.samples < 5)
        ASSERT_EQ(WaitForSingleObject(m_callback.sampleArrived, kHangGuardMs), WAIT_OBJECT_0);
    ASSERT_EQ(m_control->Stop(), S_OK);
    EXPECT_EQ(m_callback.lastLength, kWidth * kHeight * 3);
}

TEST_F(GraphTest, FailedFillEndsTheStreamAndReportsErrorAbort)
{
    const HRESULT failure = HRESULT_FROM_WIN32(ERROR_GEN_FAILURE);
    StreamScript script;
    script.subtypes = {MEDIASUBTYPE_RGB24};
    script.framesBeforeEnd = 3;
    script.endResult = failure;
    AddSource(script);
    ConnectThroughGrabber(&m_callback);

    ASSERT_TRUE(SUCCEEDED(m_control->Run()));
    LONG_PTR code = WaitForEvent(EC_ERRORABORT);
    EXPECT_EQ(static_cast<HRESULT>(code), failure) << "the event carries FillBuffer's code";
    EXPECT_EQ(m_callback.samples, 3);
    ASSERT_EQ(m_control->Stop(), S_OK);
    EXPECT_EQ(m_stream->threadDestroys, 1);
}

TEST_F(GraphTest, EndOfStreamCompletesTheGraph)
{
    StreamScript script;
    script.subtypes = {MEDIASUBTYPE_RGB24};
    script.framesBeforeEnd = 6;
    AddSource(script);
    ConnectThroughGrabber(&m_callback);

    ASSERT_TRUE(SUCCEEDED(m_control->Run()));
    long code = 0;
    ASSERT_EQ(m_events->WaitForCompletion(kHangGuardMs, &code), S_OK);
    EXPECT_EQ(code, EC_COMPLETE);
    EXPECT_EQ(m_callback.samples, 6);
    ASSERT_EQ(m_control->Stop(), S_OK);
}

}  // namespace
}  // namespace vyx::dshow::test
