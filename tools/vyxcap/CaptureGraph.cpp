#include "CaptureGraph.h"

#include <evcode.h>
#include <uuids.h>

#include "CapturePin.h"
#include "StreamCapabilities.h"
#include "ToolError.h"

using Microsoft::WRL::ComPtr;

namespace vyx::vyxcap {
namespace {

template <typename Interface>
ComPtr<Interface> Create(REFCLSID clsid, const char* what) {
    ComPtr<Interface> object;
    ThrowIfFailed(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&object)),
                  std::string("creating the ") + what);
    return object;
}

}  // namespace

CaptureGraph::CaptureGraph(ComPtr<IBaseFilter> device) : m_device(std::move(device)) {
    m_capturePin = FindCapturePin(m_device.Get());
    m_streamConfig = StreamConfigOf(m_capturePin.Get());
    m_graph = Create<IGraphBuilder>(CLSID_FilterGraph, "filter graph");
    m_builder = Create<ICaptureGraphBuilder2>(CLSID_CaptureGraphBuilder2, "capture graph builder");
    ThrowIfFailed(m_builder->SetFiltergraph(m_graph.Get()), "ICaptureGraphBuilder2::SetFiltergraph");
    ThrowIfFailed(m_graph.As(&m_control), "asking the graph for IMediaControl");
    // MinGW declares no __uuidof for IMediaEventEx: ask by its identifier.
    ThrowIfFailed(m_graph->QueryInterface(IID_IMediaEventEx, reinterpret_cast<void**>(m_events.GetAddressOf())),
                  "asking the graph for IMediaEventEx");
    AddFilter(m_device.Get(), L"Video Capture");
}

CaptureGraph::~CaptureGraph() {
    if (m_running) m_control->Stop();
    if (m_grabber) m_grabber->SetCallback(nullptr, 0);
}

void CaptureGraph::AddFilter(IBaseFilter* filter, const wchar_t* name) {
    ThrowIfFailed(m_graph->AddFilter(filter, name), "adding a filter to the graph");
}

std::vector<StreamCapability> CaptureGraph::Capabilities() const {
    return ReadCapabilities(m_streamConfig.Get());
}

vyx::win::MediaTypePtr CaptureGraph::CurrentFormat() const {
    vyx::win::MediaTypePtr type;
    if (FAILED(m_streamConfig->GetFormat(type.Put()))) type.Reset();
    return type;
}

void CaptureGraph::SetFormat(const AM_MEDIA_TYPE& type) {
    ThrowIfFailed(m_streamConfig->SetFormat(const_cast<AM_MEDIA_TYPE*>(&type)),
                  "IAMStreamConfig::SetFormat");
}

void CaptureGraph::Build(const AM_MEDIA_TYPE& chosen, IBaseFilter* recorder) {
    ComPtr<IBaseFilter> grabberFilter = Create<IBaseFilter>(CLSID_SampleGrabber, "sample grabber");
    ThrowIfFailed(grabberFilter.As(&m_grabber), "asking the sample grabber for ISampleGrabber");
    // Only the chosen type reaches the grabber, so no converter slips in between.
    AM_MEDIA_TYPE accepted{};
    accepted.majortype = MEDIATYPE_Video;
    accepted.subtype = chosen.subtype;
    ThrowIfFailed(m_grabber->SetMediaType(&accepted), "ISampleGrabber::SetMediaType");
    ThrowIfFailed(m_grabber->SetBufferSamples(FALSE), "ISampleGrabber::SetBufferSamples");
    ThrowIfFailed(m_grabber->SetOneShot(FALSE), "ISampleGrabber::SetOneShot");
    AddFilter(grabberFilter.Get(), L"Sample Grabber");

    ComPtr<IBaseFilter> sink(recorder);
    if (sink) {
        AddFilter(sink.Get(), L"Recorder");
    } else {
        sink = Create<IBaseFilter>(CLSID_NullRenderer, "null renderer");
        AddFilter(sink.Get(), L"Null Renderer");
    }
    // The capture pin itself is the source, found by its category already: asking the
    // builder for the capture category instead makes some builders (Wine's) put a Smart
    // Tee in between, which copies every frame.
    const HRESULT hr = m_builder->RenderStream(nullptr, &MEDIATYPE_Video, m_capturePin.Get(),
                                               grabberFilter.Get(), sink.Get());
    ThrowIfFailed(hr, "connecting the capture graph (RenderStream)");
    // No reference clock: the renderer takes each frame as it arrives instead of holding it
    // until its time stamp, so the tool measures what the device delivers.
    ComPtr<IMediaFilter> mediaFilter;
    ThrowIfFailed(m_graph.As(&mediaFilter), "asking the graph for IMediaFilter");
    ThrowIfFailed(mediaFilter->SetSyncSource(nullptr), "running the graph without a clock");
}

void CaptureGraph::SetCallback(ISampleGrabberCB* callback) {
    if (!m_grabber) throw ToolError("the graph is not built");
    ThrowIfFailed(m_grabber->SetCallback(callback, 0), "ISampleGrabber::SetCallback");
}

vyx::win::MediaTypePtr CaptureGraph::ConnectedType() const {
    AM_MEDIA_TYPE type{};
    ThrowIfFailed(m_capturePin->ConnectionMediaType(&type), "reading the connected media type");
    vyx::win::MediaTypePtr copy = vyx::win::MediaTypePtr::Copy(type);
    vyx::win::FreeMediaTypeContents(type);
    if (!copy) throw ToolError("out of memory copying a media type");
    return copy;
}

void CaptureGraph::Run() {
    const HRESULT hr = m_control->Run();
    m_running = true;  // a failed Run may leave filters paused: Stop anyway
    ThrowIfFailed(hr, "running the graph");
}

void CaptureGraph::Stop() {
    if (!m_running) return;
    m_running = false;
    ThrowIfFailed(m_control->Stop(), "stopping the graph");
}

WaitResult CaptureGraph::Wait(std::initializer_list<HANDLE> wake, DWORD timeoutMs) {
    HANDLE graphEvent = nullptr;
    ThrowIfFailed(m_events->GetEventHandle(reinterpret_cast<OAEVENT*>(&graphEvent)),
                  "IMediaEvent::GetEventHandle");
    std::vector<HANDLE> handles(wake);
    handles.push_back(graphEvent);
    const DWORD count = static_cast<DWORD>(handles.size());
    const DWORD result = WaitForMultipleObjects(count, handles.data(), FALSE, timeoutMs);
    if (result == WAIT_OBJECT_0 + count - 1) {
        HandleGraphEvents();
        return WaitResult::Signalled;
    }
    if (result < WAIT_OBJECT_0 + count) return WaitResult::Signalled;
    if (result == WAIT_TIMEOUT) return WaitResult::TimedOut;
    throw ToolError("waiting for frames failed: error " + std::to_string(GetLastError()));
}

void CaptureGraph::HandleGraphEvents() {
    long code = 0;
    LONG_PTR param1 = 0, param2 = 0;
    while (m_events->GetEvent(&code, &param1, &param2, 0) == S_OK) {
        const long eventCode = code;
        const HRESULT reason = static_cast<HRESULT>(param1);
        const LONG_PTR detail = param2;
        m_events->FreeEventParams(code, param1, param2);
        switch (eventCode) {
        case EC_ERRORABORT:
        case EC_STREAM_ERROR_STOPPED:
            throw ToolError("graph failure: the stream stopped with " + DescribeHResult(reason));
        case EC_COMPLETE:
            throw ToolError("graph failure: the stream ended before the frames arrived");
        case EC_DEVICE_LOST:
            if (detail == 0) throw ToolError("graph failure: the device was removed");
            break;
        default:
            break;
        }
    }
}

std::optional<long> CaptureGraph::DroppedFrames() const {
    ComPtr<IAMDroppedFrames> dropped;
    if (FAILED(m_capturePin.As(&dropped)) && FAILED(m_device.As(&dropped))) return std::nullopt;
    long count = 0;
    if (FAILED(dropped->GetNumDropped(&count))) return std::nullopt;
    return count;
}

}  // namespace vyx::vyxcap
