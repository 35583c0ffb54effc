#include "StreamHarness.h"

#include <evcode.h>

#include <gtest/gtest.h>

#include "CapturePin.h"
#include "FrameCollector.h"

using Microsoft::WRL::ComPtr;

namespace vyx::vyxcap::test {
namespace {

// Only a hang guard: a healthy graph delivers many frames within this time.
constexpr DWORD kStallMs = 30000;

template <typename Interface>
ComPtr<Interface> Create(REFCLSID clsid) {
    ComPtr<Interface> object;
    EXPECT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&object)), S_OK);
    return object;
}

void DisconnectPins(IGraphBuilder* graph, IBaseFilter* filter) {
    ComPtr<IEnumPins> pins;
    if (FAILED(filter->EnumPins(&pins))) return;
    ComPtr<IPin> pin;
    while (pins->Next(1, pin.ReleaseAndGetAddressOf(), nullptr) == S_OK) {
        ComPtr<IPin> peer;
        if (SUCCEEDED(pin->ConnectedTo(&peer))) {
            graph->Disconnect(peer.Get());
            graph->Disconnect(pin.Get());
        }
    }
}

}  // namespace

ComPtr<IPin> PinOf(IBaseFilter* filter, PIN_DIRECTION direction) {
    ComPtr<IEnumPins> pins;
    if (FAILED(filter->EnumPins(&pins))) return nullptr;
    ComPtr<IPin> pin;
    while (pins->Next(1, pin.ReleaseAndGetAddressOf(), nullptr) == S_OK) {
        PIN_DIRECTION actual;
        if (SUCCEEDED(pin->QueryDirection(&actual)) && actual == direction) return pin;
    }
    return nullptr;
}

StreamHarness::StreamHarness(ComPtr<IBaseFilter> device) : m_device(std::move(device)) {
    m_capturePin = vyx::vyxcap::FindCapturePin(m_device.Get());
    m_config = vyx::vyxcap::StreamConfigOf(m_capturePin.Get());
    m_graph = Create<IGraphBuilder>(CLSID_FilterGraph);
    m_builder = Create<ICaptureGraphBuilder2>(CLSID_CaptureGraphBuilder2);
    EXPECT_EQ(m_builder->SetFiltergraph(m_graph.Get()), S_OK);
    EXPECT_EQ(m_graph.As(&m_control), S_OK);
    // Off the default clock, as vyxcap runs: Wine's system clock can hang the graph's last
    // Release (see docs/wine-notes.md), and these tests time frames by their sample times.
    ComPtr<IMediaFilter> timing;
    EXPECT_EQ(m_graph.As(&timing), S_OK);
    EXPECT_EQ(timing->SetSyncSource(nullptr), S_OK);
    EXPECT_EQ(m_graph->QueryInterface(IID_IMediaEventEx, reinterpret_cast<void**>(m_events.GetAddressOf())), S_OK);
    m_grabberFilter = Create<IBaseFilter>(CLSID_SampleGrabber);
    EXPECT_EQ(m_grabberFilter.As(&m_grabber), S_OK);
    EXPECT_EQ(m_grabber->SetBufferSamples(FALSE), S_OK);
    m_renderer = Create<IBaseFilter>(CLSID_NullRenderer);
    EXPECT_EQ(m_graph->AddFilter(m_device.Get(), L"Video Capture"), S_OK);
    EXPECT_EQ(m_graph->AddFilter(m_grabberFilter.Get(), L"Sample Grabber"), S_OK);
    EXPECT_EQ(m_graph->AddFilter(m_renderer.Get(), L"Null Renderer"), S_OK);
}

StreamHarness::~StreamHarness() {
    if (m_control) m_control->Stop();
    if (m_grabber) m_grabber->SetCallback(nullptr, 0);
}

void StreamHarness::AcceptSubtype(const GUID& subtype) {
    AM_MEDIA_TYPE accepted{};
    accepted.majortype = MEDIATYPE_Video;
    accepted.subtype = subtype;
    EXPECT_EQ(m_grabber->SetMediaType(&accepted), S_OK);
}

HRESULT StreamHarness::ConnectThroughSetFormat(const AM_MEDIA_TYPE& type) {
    AcceptSubtype(type.subtype);
    const HRESULT hr = m_config->SetFormat(const_cast<AM_MEDIA_TYPE*>(&type));
    if (FAILED(hr)) return hr;
    // The capture pin as the source, as vyxcap does: asking Wine's builder for the capture
    // category puts a Smart Tee in between.
    return m_builder->RenderStream(nullptr, &MEDIATYPE_Video, m_capturePin.Get(), m_grabberFilter.Get(),
                                   m_renderer.Get());
}

HRESULT StreamHarness::ConnectDirect(const AM_MEDIA_TYPE& type) {
    AcceptSubtype(type.subtype);
    const HRESULT hr = m_graph->ConnectDirect(m_capturePin.Get(), PinOf(m_grabberFilter.Get(), PINDIR_INPUT).Get(),
                                              &type);
    if (FAILED(hr)) return hr;
    // The same type downstream: Wine's null renderer offers the type of its previous
    // connection first, and the grabber would reconnect its input to match it.
    return m_graph->ConnectDirect(PinOf(m_grabberFilter.Get(), PINDIR_OUTPUT).Get(),
                                  PinOf(m_renderer.Get(), PINDIR_INPUT).Get(), &type);
}

void StreamHarness::Disconnect() {
    m_control->Stop();
    DisconnectPins(m_graph.Get(), m_device.Get());
    DisconnectPins(m_graph.Get(), m_grabberFilter.Get());
    DisconnectPins(m_graph.Get(), m_renderer.Get());
}

vyx::win::MediaTypePtr StreamHarness::ConnectedType() const {
    AM_MEDIA_TYPE type{};
    if (FAILED(m_capturePin->ConnectionMediaType(&type))) return {};
    vyx::win::MediaTypePtr copy = vyx::win::MediaTypePtr::Copy(type);
    vyx::win::FreeMediaTypeContents(type);
    return copy;
}

CaptureResult StreamHarness::Capture(int frames) {
    CaptureResult result;
    const vyx::win::MediaTypePtr connected = ConnectedType();
    const BITMAPINFOHEADER* header = connected ? vyx::win::BitmapHeader(*connected.Get()) : nullptr;
    ComPtr<vyx::vyxcap::FrameCollector> collector;
    // Adopt the reference `new` made: MinGW's ComPtr::Attach would add a second one.
    *collector.GetAddressOf() =
        new vyx::vyxcap::FrameCollector(frames, header ? static_cast<long>(header->biSizeImage) : 0, true);
    EXPECT_EQ(m_grabber->SetCallback(collector.Get(), 0), S_OK);

    HANDLE graphEvent = nullptr;
    m_events->GetEventHandle(reinterpret_cast<OAEVENT*>(&graphEvent));
    result.hr = m_control->Run();
    if (SUCCEEDED(result.hr)) result.hr = S_OK;  // S_FALSE: some filter is still on its way
    int seen = 0;
    while (SUCCEEDED(result.hr) && !collector->Done()) {
        const HANDLE handles[2] = {collector->DoneEvent(), graphEvent};
        const DWORD wait = WaitForMultipleObjects(2, handles, FALSE, kStallMs);
        if (wait == WAIT_TIMEOUT) {
            if (collector->Frames() == seen) result.hr = E_ABORT;
            seen = collector->Frames();
        } else if (wait == WAIT_OBJECT_0 + 1) {
            long code = 0;
            LONG_PTR param1 = 0, param2 = 0;
            while (m_events->GetEvent(&code, &param1, &param2, 0) == S_OK) {
                if (code == EC_ERRORABORT) result.hr = static_cast<HRESULT>(param1);
                m_events->FreeEventParams(code, param1, param2);
            }
        }
    }
    EXPECT_EQ(m_control->Stop(), S_OK);
    EXPECT_EQ(m_grabber->SetCallback(nullptr, 0), S_OK);
    result.stats = collector->Stats();
    result.lastLength = static_cast<long>(collector->LastFrame().size());
    return result;
}

void ExpectWholeTimedFrames(const CaptureResult& result, int frames, long frameBytes, REFERENCE_TIME duration) {
    ASSERT_EQ(result.hr, S_OK);
    EXPECT_EQ(result.stats.Frames(), frames);
    EXPECT_EQ(result.stats.WrongLength(), 0) << "every sample holds biSizeImage bytes";
    EXPECT_EQ(result.lastLength, frameBytes);
    EXPECT_EQ(result.stats.SyncPoints(), frames);
    EXPECT_EQ(result.stats.Untimed(), 0);
    EXPECT_EQ(result.stats.FirstStart(), 0);
    EXPECT_EQ(result.stats.Gaps(), 0);
    EXPECT_GT(duration, 0);
    EXPECT_EQ(result.stats.MinDuration(), duration);
    EXPECT_EQ(result.stats.MaxDuration(), duration);
}

}  // namespace vyx::vyxcap::test
