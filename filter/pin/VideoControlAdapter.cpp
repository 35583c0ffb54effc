#include "VideoControlAdapter.h"

#include <algorithm>
#include <new>
#include <vector>

#include "CVCameraStream.h"

namespace vyx {

STDMETHODIMP VideoControlAdapter::GetCaps(IPin*, LONG* flags) {
    if (!flags) return E_POINTER;
    *flags = VideoControlFlag_FlipHorizontal | VideoControlFlag_FlipVertical;
    return S_OK;
}

// Flips can be switched on here but not off; the Others page switches them off.
STDMETHODIMP VideoControlAdapter::SetMode(IPin*, LONG mode) {
    if (mode != VideoControlFlag_FlipHorizontal && mode != VideoControlFlag_FlipVertical) return E_NOTIMPL;
    m_pin.m_core.Controls().EnableFlip(mode == VideoControlFlag_FlipHorizontal);
    return S_OK;
}

STDMETHODIMP VideoControlAdapter::GetMode(IPin*, LONG* mode) {
    if (!mode) return E_POINTER;
    bool horizontal = false, vertical = false;
    m_pin.m_core.Controls().Flips(&horizontal, &vertical);
    *mode = (horizontal ? VideoControlFlag_FlipHorizontal : 0) | (vertical ? VideoControlFlag_FlipVertical : 0);
    return S_OK;
}

// The samples' own duration: what a client sees in their times.
STDMETHODIMP VideoControlAdapter::GetCurrentActualFrameRate(IPin*, LONGLONG* frameDuration) {
    if (!frameDuration) return E_POINTER;
    *frameDuration = m_pin.m_core.CurrentFrameDuration();
    return S_OK;
}

STDMETHODIMP VideoControlAdapter::GetMaxAvailableFrameRate(IPin*, LONG index, SIZE, LONGLONG* frameDuration) {
    const FrameRateRange range = m_pin.m_core.FrameRates();
    return m_pin.m_core.Read([&](const CoreView& view) {
        return m_pin.m_negotiation.FastestInterval(view, index, range, frameDuration);
    });
}

// Only durations inside the format's capability range: applications take the shortest as
// the top rate, and tools divide by every entry.
STDMETHODIMP VideoControlAdapter::GetFrameRateList(IPin*, LONG index, SIZE, LONG* listSize, LONGLONG** frameDurations) {
    if (!listSize || !frameDurations) return E_POINTER;
    *listSize = 0;
    *frameDurations = nullptr;
    const FrameRateRange range = m_pin.m_core.FrameRates();
    std::vector<LONGLONG> durations;
    HRESULT hr = E_OUTOFMEMORY;
    try {
        hr = m_pin.m_core.Read(
            [&](const CoreView& view) { return m_pin.m_negotiation.FrameDurations(view, index, range, &durations); });
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    if (FAILED(hr) || durations.empty()) return hr;
    auto* list = static_cast<LONGLONG*>(CoTaskMemAlloc(durations.size() * sizeof(LONGLONG)));
    if (!list) return E_OUTOFMEMORY;
    std::copy(durations.begin(), durations.end(), list);
    *listSize = static_cast<LONG>(durations.size());
    *frameDurations = list;
    return S_OK;
}

}  // namespace vyx
