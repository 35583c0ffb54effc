// A configuration changed through ICameraInstance on a connected, stopped pin: the
// connection is made again in exactly that configuration.
#include <dshow.h>
#include <wrl/client.h>

#include "CVCamera.h"
#include "CVCameraStream.h"
#include "Trace.h"

namespace vyx {

HRESULT CVCameraStream::FollowCameraConfiguration() {
    Microsoft::WRL::ComPtr<IPin> peer;
    if (FAILED(ConnectedTo(&peer)) || !peer) return S_OK;
    CMediaType type;
    HRESULT hr = m_negotiation.ConfiguredType(&type);
    if (FAILED(hr)) return hr;
    IFilterGraph* graph = m_owner->GetFilterGraph();
    if (!graph) return E_UNEXPECTED;
    // The exact type, not a fresh negotiation, which would start from the first listed
    // format and undo the change.
    Microsoft::WRL::ComPtr<IFilterGraph2> graph2;
    hr = SUCCEEDED(graph->QueryInterface(IID_PPV_ARGS(&graph2))) ? graph2->ReconnectEx(this, &type)
                                                                  : graph->Reconnect(this);
    VYX_TRACE("CVCameraStream::FollowCameraConfiguration", "Reconnect to %ldx%ld: hr=0x%08lX.\n",
              static_cast<long>(m_state.width), static_cast<long>(m_state.height), static_cast<unsigned long>(hr));
    return hr;
}

}  // namespace vyx
