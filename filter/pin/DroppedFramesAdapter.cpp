#include "DroppedFramesAdapter.h"

#include "CaptureCore.h"

namespace vyx {

STDMETHODIMP DroppedFramesAdapter::GetNumDropped(LONG* dropped) {
    if (!dropped) return E_POINTER;
    *dropped = m_core.DroppedFrames();
    return S_OK;
}

STDMETHODIMP DroppedFramesAdapter::GetNumNotDropped(LONG* notDropped) {
    if (!notDropped) return E_POINTER;
    *notDropped = m_core.Delivered();
    return S_OK;
}

STDMETHODIMP DroppedFramesAdapter::GetDroppedInfo(LONG, LONG*, LONG* copied) {
    if (!copied) return E_POINTER;
    *copied = 0;
    return S_OK;
}

STDMETHODIMP DroppedFramesAdapter::GetAverageFrameSize(LONG* size) {
    if (!size) return E_POINTER;
    *size = 0;
    return S_OK;
}

}  // namespace vyx
