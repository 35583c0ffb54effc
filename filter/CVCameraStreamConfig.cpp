// IAMStreamConfig: capabilities from the format list, the pin's current format, and the
// choice of a format, which locks negotiation to it and reconnects the pin.
#include <dshow.h>

#include "CVCamera.h"
#include "CVCameraStream.h"
#include "StreamCaps.h"

namespace vyx {
namespace {
constexpr REFERENCE_TIME kDefaultFrameInterval = 333333;

VIDEOINFOHEADER* VideoInfo(CMediaType& type) {
    return reinterpret_cast<VIDEOINFOHEADER*>(type.Format());
}

// Releases the peer pin that ConnectedTo handed out.
struct PeerPin {
    IPin* pin = nullptr;
    ~PeerPin() {
        if (pin) pin->Release();
    }
};
}  // namespace

STDMETHODIMP CVCameraStream::GetNumberOfCapabilities(int* count, int* size) {
    if (!count || !size) return E_POINTER;
    *count = IsObsHost() ? 1 : m_formats.Size();
    *size = sizeof(VIDEO_STREAM_CONFIG_CAPS);
    return S_OK;
}

STDMETHODIMP CVCameraStream::GetStreamCaps(int index, AM_MEDIA_TYPE** type, BYTE* caps) {
    if (!type || !caps) return E_POINTER;
    *type = nullptr;
    const bool obs = IsObsHost();
    const int count = obs ? 1 : m_formats.Size();
    if (index < 0 || index >= count) return E_INVALIDARG;
    const int position = obs ? FindPreferredFormat() : index;
    if (position < 0) return VFW_S_NO_MORE_ITEMS;

    const FormatEntry& entry = m_formats.At(position);
    CMediaType built;
    const HRESULT hr = BuildMediaType(entry, &built);
    if (FAILED(hr)) return hr;
    AM_MEDIA_TYPE* copy = CreateMediaType(&built);
    if (!copy) return E_OUTOFMEMORY;

    int maxFps = 0, minFps = 0, defaultFps = 0;
    const bool rangeRead = m_state.camera && m_state.camera->GetFrameRateLimitRange(&maxFps, &minFps, &defaultFps);
    const Resolution size = m_formats.FrameSize(entry);
    FillStreamCaps(size.width, size.height, VideoInfo(built)->bmiHeader.biSizeImage,
                   UsableFrameRateRange(rangeRead, maxFps, minFps), reinterpret_cast<VIDEO_STREAM_CONFIG_CAPS*>(caps));
    *type = copy;
    return S_OK;
}

STDMETHODIMP CVCameraStream::GetFormat(AM_MEDIA_TYPE** type) {
    if (!type) return E_POINTER;
    *type = nullptr;
    FormatEntry entry = CurrentEntry();
    if (!m_state.formatLocked && IsObsHost()) {
        const int preferred = FindPreferredFormat();
        if (preferred < 0) return VFW_S_NO_MORE_ITEMS;
        entry = m_formats.At(preferred);
    }
    CMediaType built;
    const HRESULT hr = BuildMediaType(entry, &built);
    if (FAILED(hr)) return hr;
    if (m_state.requestedFrameInterval > 0) VideoInfo(built)->AvgTimePerFrame = m_state.requestedFrameInterval;
    *type = CreateMediaType(&built);
    return *type ? S_OK : E_OUTOFMEMORY;
}

STDMETHODIMP CVCameraStream::SetFormat(AM_MEDIA_TYPE* type) {
    if (!type) return VFW_E_INVALIDMEDIATYPE;
    // The streaming thread reads the connection type without a lock, and a running pin
    // cannot reconnect: change nothing until the filter stops.
    if (!m_owner->IsStopped()) return VFW_E_NOT_STOPPED;
    LogMediaTypeDetails("SetFormat request", type);
    FormatEntry entry;
    if (!ResolveFormatSelection(type, &entry)) return VFW_E_INVALIDMEDIATYPE;

    CMediaType chosen;
    HRESULT hr = BuildMediaType(entry, &chosen);
    if (FAILED(hr)) return hr;
    // Applications often edit only size and interval of a listed type: the rest comes
    // from the list, and the interval only when it is a real one.
    const REFERENCE_TIME requested = reinterpret_cast<const VIDEOINFOHEADER*>(type->pbFormat)->AvgTimePerFrame;
    VIDEOINFOHEADER* info = VideoInfo(chosen);
    info->AvgTimePerFrame = requested > 0 ? requested : kDefaultFrameInterval;
    LogMediaTypeDetails("SetFormat normalized", &chosen);

    hr = m_mt.Set(chosen);
    if (FAILED(hr)) return hr;
    RecordConfiguration(entry, info->bmiHeader.biWidth, info->bmiHeader.biHeight, *chosen.Subtype());
    m_state.requestedFrameInterval = info->AvgTimePerFrame;
    m_state.formatLocked = true;
    m_state.frameIntervalRequested = requested > 0;
    // Enumerators made before the change now report VFW_E_ENUM_OUT_OF_SYNC.
    IncrementTypeVersion();

    PeerPin peer;
    if (FAILED(ConnectedTo(&peer.pin)) || !peer.pin) return S_OK;
    IFilterGraph* graph = m_owner->GetFilterGraph();
    if (!graph) return E_UNEXPECTED;
    return graph->Reconnect(this);
}

}  // namespace vyx
