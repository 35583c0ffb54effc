#include "CVCameraStream.h"

#include <dshow.h>
#include <evcode.h>
#include <wrl/client.h>

#include <algorithm>
#include <cstring>

#include "CVCamera.h"
#include "CoreResults.h"
#include "MediaTypePtr.h"
#include "ModelDescriptor.h"
#include "PageList.h"
#include "Trace.h"

namespace vyx {
namespace {
constexpr int kPinPages[] = {kPageImageParameters};

using win::VideoInfoHeader;

// An obs host is one whose executable path (at most 127 characters) contains "obs64" or
// "obs32"; read into a fixed buffer, so the pin's construction allocates nothing for it.
bool IsObsHost() {
    char path[128] = {};
    GetModuleFileNameA(nullptr, path, sizeof path);
    path[sizeof path - 1] = '\0';
    VYX_TRACE("CVCameraStream::CVCameraStream", "CVCameraStream::CVCameraStream caller:%s\n", path);
    return std::strstr(path, "obs64") || std::strstr(path, "obs32");
}

struct GuidText {
    char text[40];
    explicit GuidText(const GUID& guid) {
        wchar_t wide[40] = {};
        StringFromGUID2(guid, wide, 40);
        WideCharToMultiByte(CP_ACP, 0, wide, -1, text, sizeof text, nullptr, nullptr);
    }
};
}  // namespace

CVCameraStream::CVCameraStream(HRESULT* result, CVCamera* filter, LPCWSTR name)
    : CSourceStream(nullptr, result, filter, name),
      m_owner(filter),
      m_core(g_ModelDescriptor),
      m_negotiation(IsObsHost()),
      m_streamConfig(*static_cast<IPin*>(this), *this),
      m_pinCategory(*static_cast<IPin*>(this)),
      m_droppedFrames(*static_cast<IPin*>(this), m_core),
      m_videoControl(*static_cast<IPin*>(this), *this),
      m_procAmp(*static_cast<IPin*>(this), m_core.Controls()),
      m_cameraControl(*static_cast<IPin*>(this), m_core.Controls()),
      m_cameraInstance(*static_cast<IPin*>(this), *this) {
    const HRESULT opened = OpenResult(m_core.Open());
    if (FAILED(opened) && result) *result = opened;
}

CVCameraStream::~CVCameraStream() = default;

STDMETHODIMP CVCameraStream::NonDelegatingQueryInterface(REFIID riid, void** object) {
    if (!object) return E_POINTER;
    if (riid == IID_IAMStreamConfig) return GetInterface(static_cast<IAMStreamConfig*>(&m_streamConfig), object);
    if (riid == IID_IKsPropertySet) return GetInterface(static_cast<IKsPropertySet*>(&m_pinCategory), object);
    if (riid == IID_ISpecifyPropertyPages) return GetInterface(static_cast<ISpecifyPropertyPages*>(this), object);
    if (riid == IID_IAMDroppedFrames) return GetInterface(static_cast<IAMDroppedFrames*>(&m_droppedFrames), object);
    if (riid == IID_IAMVideoProcAmp) return GetInterface(static_cast<IAMVideoProcAmp*>(&m_procAmp), object);
    if (riid == IID_IAMVideoControl) return GetInterface(static_cast<IAMVideoControl*>(&m_videoControl), object);
    if (riid == IID_IAMCameraControl) return GetInterface(static_cast<IAMCameraControl*>(&m_cameraControl), object);
    if (riid == g_ModelDescriptor.cameraInstanceIid)
        return GetInterface(static_cast<ICameraInstance*>(&m_cameraInstance), object);
    return CSourceStream::NonDelegatingQueryInterface(riid, object);
}

// ISpecifyPropertyPages

STDMETHODIMP CVCameraStream::GetPages(CAUUID* pages) {
    return FillPageList(pages, kPinPages);
}

// Negotiation

void CVCameraStream::LogMediaTypeDetails(const char* label, const AM_MEDIA_TYPE* type) {
    if (!TraceEnabled()) return;  // the GUIDs' text costs more than a trace that goes nowhere
    const char* caller = "LogMediaTypeDetails";
    if (!type) {
        VYX_TRACE(caller, "%s: media type is NULL.\n", label);
        return;
    }
    VYX_TRACE(caller,
              "%s: major=%s subtype=%s subtypeData1=0x%08lX formattype=%s fixed=%d sampleSize=%lu cbFormat=%lu.\n",
              label, GuidText(type->majortype).text, GuidText(type->subtype).text,
              static_cast<unsigned long>(type->subtype.Data1), GuidText(type->formattype).text,
              type->bFixedSizeSamples ? 1 : 0, static_cast<unsigned long>(type->lSampleSize),
              static_cast<unsigned long>(type->cbFormat));
    if (!VideoInfoHeader(*type))
        VYX_TRACE(caller, "%s: VIDEOINFOHEADER is unavailable (pbFormat=%p, cbFormat=%lu).\n", label,
                  static_cast<const void*>(type->pbFormat), static_cast<unsigned long>(type->cbFormat));
}

HRESULT CVCameraStream::GetMediaType(int position, CMediaType* type) {
    CAutoLock lock(m_pFilter->pStateLock());
    return m_core.Read([&](const CoreView& view) { return m_negotiation.OfferedType(view, position, type); });
}

LONG CVCameraStream::GetMediaTypeVersion() {
    return m_negotiation.TypeVersion();
}

HRESULT CVCameraStream::CheckMediaType(const CMediaType* type) {
    if (!type) return E_POINTER;
    LogMediaTypeDetails("CheckMediaType request", type);
    if (!m_core.CameraOpen()) return E_INVALIDARG;
    return m_core.Read([&](const CoreView& view) { return m_negotiation.Check(view, *type); });
}

HRESULT CVCameraStream::SetMediaType(const CMediaType* type) {
    CAutoLock lock(m_pFilter->pStateLock());
    LogMediaTypeDetails("SetMediaType request", type);
    ConnectionChoice choice;
    HRESULT hr = m_core.Read([&](const CoreView& view) { return m_negotiation.MatchConnection(view, type, &choice); });
    if (FAILED(hr)) return hr;
    const CoreStatus status =
        m_core.ApplyFormat(choice.entry, choice.width, choice.height, choice.intervalRequested, choice.interval);
    if (status == CoreStatus::NoCamera) return E_UNEXPECTED;
    if (status != CoreStatus::Ok) return ConfigurationResult(status);
    return CSourceStream::SetMediaType(&choice.type);
}

HRESULT CVCameraStream::DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) {
    if (!allocator || !request) return E_POINTER;
    CAutoLock lock(m_pFilter->pStateLock());
    const VIDEOINFOHEADER* info = VideoInfoHeader(m_mt);
    if (!info) return VFW_E_NOT_CONNECTED;
    // Two buffers, not one: a Smart Tee under the capture graph builder (which Wine's builder
    // inserts for the capture category) holds one sample while it copies it into a second
    // buffer of the same allocator, and with a single buffer it waits forever.
    request->cBuffers = 2;
    request->cbBuffer = static_cast<long>(info->bmiHeader.biSizeImage);
    if (request->cbAlign < 1) request->cbAlign = 1;
    ALLOCATOR_PROPERTIES actual{};
    const HRESULT hr = allocator->SetProperties(request, &actual);
    if (FAILED(hr)) return hr;
    return actual.cbBuffer < request->cbBuffer ? E_FAIL : S_OK;
}

HRESULT CVCameraStream::Reconfigure(const std::function<HRESULT()>& change, Follow follow,
                                    const std::function<void()>& undo) {
    // One change at a time, and no connection in between.
    CAutoLock lock(m_pFilter->pStateLock());
    Microsoft::WRL::ComPtr<IPin> peer;
    const bool connected = SUCCEEDED(ConnectedTo(&peer)) && peer;
    IFilterGraph* graph = m_owner->GetFilterGraph();
    if (follow != Follow::Nothing && connected && !graph) return E_UNEXPECTED;
    HRESULT hr = change();
    if (hr != S_OK || follow == Follow::Nothing || !connected) return hr;

    // Until the pin and its peer agree again, a start of the filter (on this thread, from
    // inside the graph's reconnection) is refused; another thread's waits for the lock.
    m_core.BeginFollowing();
    if (follow == Follow::ConfiguredType) {
        // The exact type, not a fresh negotiation, which would start from the first listed
        // format and undo the change.
        CMediaType type;
        hr = m_core.Read([&](const CoreView& view) { return m_negotiation.ConfiguredType(view, &type); });
        Microsoft::WRL::ComPtr<IFilterGraph2> graph2;
        if (SUCCEEDED(hr))
            hr = SUCCEEDED(graph->QueryInterface(IID_PPV_ARGS(&graph2))) ? graph2->ReconnectEx(this, &type)
                                                                          : graph->Reconnect(this);
        VYX_TRACE("CVCameraStream::FollowCameraConfiguration", "Reconnect to %ldx%ld: hr=0x%08lX.\n",
                  VideoInfoHeader(type) ? VideoInfoHeader(type)->bmiHeader.biWidth : 0L,
                  VideoInfoHeader(type) ? VideoInfoHeader(type)->bmiHeader.biHeight : 0L,
                  static_cast<unsigned long>(hr));
    } else {
        hr = graph->Reconnect(this);
    }
    // A graph that refused leaves the peer in the old type: so must the pin be. A graph
    // that disconnected the pins has nothing to agree with.
    if (FAILED(hr) && undo && IsConnected()) undo();
    m_core.EndFollowing();
    return hr;
}

// Streaming thread

// m_frameLock only keeps a second FillBuffer out; no other thread takes it, so waiting for
// the camera under it blocks nobody.
HRESULT CVCameraStream::FillBuffer(IMediaSample* sample) {
    if (!sample) return E_POINTER;
    CAutoLock lock(&m_frameLock);

    BYTE* buffer = nullptr;
    HRESULT hr = sample->GetPointer(&buffer);
    if (FAILED(hr)) return hr;
    // A sample that reports no usable size gets nothing written into it.
    const long bufferSize = std::max<long>(sample->GetSize(), 0);
    // The connection type changes only while the filter is stopped.
    const VIDEOINFOHEADER* info = VideoInfoHeader(m_mt);
    if (!info) return VFW_E_NOT_CONNECTED;
    const DWORD length = std::min(static_cast<DWORD>(bufferSize), info->bmiHeader.biSizeImage);

    FrameInfo frame;
    switch (m_core.ReadFrame(buffer, length, GetRequestHandle(), &frame)) {
        case FrameRead::Ok:
            break;
        case FrameRead::GaveWay:
            return VFW_E_STATE_CHANGED;
        case FrameRead::Lost:
            // As the platform's capture sources report a removed device; the stream ends
            // without an error of its own.
            m_pFilter->NotifyEvent(EC_DEVICE_LOST, reinterpret_cast<LONG_PTR>(static_cast<IBaseFilter*>(m_owner)), 0);
            return S_FALSE;
        case FrameRead::Failed:
            return E_FAIL;
        case FrameRead::NotOpen:
            return VFW_E_NOT_CONNECTED;
    }

    hr = sample->SetActualDataLength(static_cast<long>(length));
    if (FAILED(hr)) return hr;
    const SampleTimes times = m_core.NextSampleTimes(frame.duration);
    REFERENCE_TIME start = times.start;
    REFERENCE_TIME end = times.end;
    sample->SetTime(&start, &end);
    sample->SetSyncPoint(TRUE);
    m_filledGeneration = frame.generation;
    return S_OK;
}

HRESULT CVCameraStream::Deliver(IMediaSample* sample) {
    // A pause that came after the fill: the sample is handed back, not delivered.
    if (!m_core.BeginDelivery(m_filledGeneration)) return VFW_E_STATE_CHANGED;
    const HRESULT hr = CSourceStream::Deliver(sample);
    m_core.EndDelivery();
    return hr;
}

void CVCameraStream::OnSampleNotDelivered(IMediaSample* sample) {
    // The next run continues from the last sample that was delivered, without a gap.
    REFERENCE_TIME start = 0;
    REFERENCE_TIME end = 0;
    if (SUCCEEDED(sample->GetTime(&start, &end))) m_core.TakeBackSample(start);
}

HRESULT CVCameraStream::OnThreadCreate() {
    // The camera starts on the core's own thread: the filter's pause does not wait for it.
    if (!VideoInfoHeader(m_mt)) return VFW_E_NOT_CONNECTED;
    const CoreStatus status = m_core.BeginStream();
    if (status == CoreStatus::NoCamera) return VFW_E_NOT_CONNECTED;
    return status == CoreStatus::Ok ? S_OK : E_FAIL;
}

HRESULT CVCameraStream::OnThreadDestroy() {
    m_core.EndStream();
    return S_OK;
}

// The filter's state changes

HRESULT CVCameraStream::Activate() {
    return m_core.Activate() == CoreStatus::Ok ? S_OK : VFW_E_WRONG_STATE;
}

HRESULT CVCameraStream::Run(REFERENCE_TIME start) {
    // Before the worker is told: the start the run asks for belongs to this run.
    m_core.Run();
    return CSourceStream::Run(start);
}

HRESULT CVCameraStream::Inactive() {
    // Before the streaming thread is told to stop: the camera's stream stops, and the
    // worker's waits see the change, so neither waits for a frame or a start.
    m_core.Stop();
    return CSourceStream::Inactive();
}

STDMETHODIMP CVCameraStream::Notify(IBaseFilter*, Quality) {
    return E_FAIL;
}

}  // namespace vyx
