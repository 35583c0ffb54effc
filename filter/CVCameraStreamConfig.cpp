// IAMStreamConfig: capabilities from the format list, the pin's current format, and the
// choice of a format, which locks negotiation to it and reconnects the pin.
#include <dshow.h>
#include <wrl/client.h>

#include "CVCamera.h"
#include "CVCameraStream.h"

namespace vyx {

STDMETHODIMP CVCameraStream::GetNumberOfCapabilities(int* count, int* size) {
    if (!count || !size) return E_POINTER;
    *count = m_negotiation.CapabilityCount();
    *size = sizeof(VIDEO_STREAM_CONFIG_CAPS);
    return S_OK;
}

STDMETHODIMP CVCameraStream::GetStreamCaps(int index, AM_MEDIA_TYPE** type, BYTE* caps) {
    if (!type || !caps) return E_POINTER;
    *type = nullptr;
    CMediaType built;
    const HRESULT hr = m_negotiation.Capability(index, CameraFrameRateRange(), &built,
                                                reinterpret_cast<VIDEO_STREAM_CONFIG_CAPS*>(caps));
    if (hr != S_OK) return hr;
    *type = CreateMediaType(&built);
    return *type ? S_OK : E_OUTOFMEMORY;
}

STDMETHODIMP CVCameraStream::GetFormat(AM_MEDIA_TYPE** type) {
    if (!type) return E_POINTER;
    *type = nullptr;
    CMediaType built;
    const HRESULT hr = m_negotiation.CurrentFormat(&built);
    if (hr != S_OK) return hr;
    *type = CreateMediaType(&built);
    return *type ? S_OK : E_OUTOFMEMORY;
}

STDMETHODIMP CVCameraStream::SetFormat(AM_MEDIA_TYPE* type) {
    if (!type) return VFW_E_INVALIDMEDIATYPE;
    // The streaming thread reads the connection type without a lock, and a running pin
    // cannot reconnect: change nothing until the filter stops.
    if (!m_owner->IsStopped()) return VFW_E_NOT_STOPPED;
    LogMediaTypeDetails("SetFormat request", type);
    FormatChoice choice;
    HRESULT hr = m_negotiation.ChooseFormat(type, &choice);
    if (FAILED(hr)) return hr;
    LogMediaTypeDetails("SetFormat normalized", &choice.type);

    hr = m_mt.Set(choice.type);
    if (FAILED(hr)) return hr;
    m_negotiation.LockTo(choice);

    Microsoft::WRL::ComPtr<IPin> peer;
    if (FAILED(ConnectedTo(&peer)) || !peer) return S_OK;
    IFilterGraph* graph = m_owner->GetFilterGraph();
    if (!graph) return E_UNEXPECTED;
    return graph->Reconnect(this);
}

}  // namespace vyx
