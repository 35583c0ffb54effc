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
    LogMediaTypeDetails("SetFormat request", type);
    Microsoft::WRL::ComPtr<IPin> peer;
    const bool connected = SUCCEEDED(ConnectedTo(&peer)) && peer;
    IFilterGraph* graph = m_owner->GetFilterGraph();
    if (connected && !graph) return E_UNEXPECTED;
    // The streaming thread reads the connection type without a lock, and a running pin
    // cannot reconnect: change nothing unless the filter is stopped, judged under the lock
    // the filter's state change takes.
    SavedFormat previous;
    CMediaType previousType;
    HRESULT hr = m_session.Configure([&]() -> HRESULT {
        FormatChoice choice;
        HRESULT chosen = m_negotiation.ChooseFormat(type, &choice);
        if (FAILED(chosen)) return chosen;
        LogMediaTypeDetails("SetFormat normalized", &choice.type);
        CAutoLock lock(m_pFilter->pStateLock());
        previous = m_negotiation.Save();
        chosen = previousType.Set(m_mt);
        if (FAILED(chosen)) return chosen;
        chosen = m_mt.Set(choice.type);
        if (FAILED(chosen)) return chosen;
        m_negotiation.LockTo(choice);
        return S_OK;
    });
    if (FAILED(hr) || !connected) return hr;

    const HRESULT reconnected = graph->Reconnect(this);
    if (SUCCEEDED(reconnected)) return reconnected;
    // A graph that refused leaves the peer and the allocator in the old type: so must the pin
    // be. A graph that disconnected the pins has nothing to agree with.
    m_session.Configure([&]() -> HRESULT {
        CAutoLock lock(m_pFilter->pStateLock());
        if (!IsConnected()) return S_OK;
        m_negotiation.Restore(previous);
        return m_mt.Set(previousType);
    });
    return reconnected;
}

}  // namespace vyx
