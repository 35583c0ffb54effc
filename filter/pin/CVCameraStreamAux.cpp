// The auxiliary pin interfaces: image flips and frame-rate information, dropped-frame
// counts, and the pin category that marks the pin as a capture pin.
#include <dshow.h>

#include <algorithm>
#include <vector>

#include "CVCameraStream.h"

namespace vyx {
namespace {
constexpr DWORD kCategorySize = sizeof(GUID);
}  // namespace

// IAMVideoControl

STDMETHODIMP CVCameraStream::GetCaps(IPin*, LONG* flags) {
    if (!flags) return E_POINTER;
    *flags = VideoControlFlag_FlipHorizontal | VideoControlFlag_FlipVertical;
    return S_OK;
}

// Flips can be switched on here but not off; the Others page switches them off.
STDMETHODIMP CVCameraStream::SetMode(IPin*, LONG mode) {
    CAutoLock lock(&m_instanceLock);
    if (mode == VideoControlFlag_FlipHorizontal) {
        m_state.flipHorizontal = true;
    } else if (mode == VideoControlFlag_FlipVertical) {
        m_state.flipVertical = true;
    } else {
        return E_NOTIMPL;
    }
    if (m_state.camera) m_state.camera->SetImgFlip(m_state.flipHorizontal, m_state.flipVertical);
    return S_OK;
}

STDMETHODIMP CVCameraStream::GetMode(IPin*, LONG* mode) {
    if (!mode) return E_POINTER;
    CAutoLock lock(&m_instanceLock);
    bool horizontal = m_state.flipHorizontal;
    bool vertical = m_state.flipVertical;
    if (m_state.camera) m_state.camera->GetImgFlip(&horizontal, &vertical);
    m_state.flipHorizontal = horizontal;
    m_state.flipVertical = vertical;
    *mode = (horizontal ? VideoControlFlag_FlipHorizontal : 0) | (vertical ? VideoControlFlag_FlipVertical : 0);
    return S_OK;
}

STDMETHODIMP CVCameraStream::GetCurrentActualFrameRate(IPin*, LONGLONG* frameDuration) {
    if (!frameDuration) return E_POINTER;
    *frameDuration = static_cast<LONGLONG>(m_state.exposureUs) * 10;
    return S_OK;
}

STDMETHODIMP CVCameraStream::GetMaxAvailableFrameRate(IPin*, LONG, SIZE, LONGLONG* frameDuration) {
    if (!frameDuration) return E_POINTER;
    *frameDuration = 0;
    return S_OK;
}

// Only durations inside the format's capability range (the negotiation object's list):
// applications take the shortest as the top rate, and tools divide by every entry.
STDMETHODIMP CVCameraStream::GetFrameRateList(IPin*, LONG index, SIZE, LONG* listSize, LONGLONG** frameDurations) {
    if (!listSize || !frameDurations) return E_POINTER;
    *listSize = 0;
    *frameDurations = nullptr;
    std::vector<LONGLONG> durations;
    const HRESULT hr = m_negotiation.FrameDurations(index, CameraFrameRateRange(), &durations);
    if (FAILED(hr) || durations.empty()) return hr;
    auto* list = static_cast<LONGLONG*>(CoTaskMemAlloc(durations.size() * sizeof(LONGLONG)));
    if (!list) return E_OUTOFMEMORY;
    std::copy(durations.begin(), durations.end(), list);
    *listSize = static_cast<LONG>(durations.size());
    *frameDurations = list;
    return S_OK;
}

// IAMDroppedFrames

STDMETHODIMP CVCameraStream::GetNumDropped(LONG* dropped) {
    if (!dropped) return E_POINTER;
    int count = 0;
    if (m_state.camera) m_state.camera->GetDroppedFrames(&count);
    *dropped = count;
    return S_OK;
}

STDMETHODIMP CVCameraStream::GetNumNotDropped(LONG* notDropped) {
    if (!notDropped) return E_POINTER;
    *notDropped = m_session.Delivered();
    return S_OK;
}

// No dropped frame is identified by number: none are listed.
STDMETHODIMP CVCameraStream::GetDroppedInfo(LONG, LONG*, LONG* copied) {
    if (!copied) return E_POINTER;
    *copied = 0;
    return S_OK;
}

STDMETHODIMP CVCameraStream::GetAverageFrameSize(LONG* size) {
    if (!size) return E_POINTER;
    *size = 0;
    return S_OK;
}

// IKsPropertySet

STDMETHODIMP CVCameraStream::Set(REFGUID, DWORD, LPVOID, DWORD, LPVOID, DWORD) {
    return E_NOTIMPL;
}

STDMETHODIMP CVCameraStream::Get(REFGUID propSet, DWORD id, LPVOID, DWORD, LPVOID propData, DWORD dataLength,
                                 DWORD* returned) {
    if (propSet != AMPROPSETID_Pin) return E_PROP_SET_UNSUPPORTED;
    if (id != AMPROPERTY_PIN_CATEGORY) return E_PROP_ID_UNSUPPORTED;
    if (!propData && !returned) return E_POINTER;
    if (returned) *returned = kCategorySize;
    if (!propData) return S_OK;  // a size query
    if (dataLength < kCategorySize) return E_UNEXPECTED;
    *static_cast<GUID*>(propData) = PIN_CATEGORY_CAPTURE;
    return S_OK;
}

STDMETHODIMP CVCameraStream::QuerySupported(REFGUID propSet, DWORD id, DWORD* support) {
    if (propSet != AMPROPSETID_Pin) return E_PROP_SET_UNSUPPORTED;
    if (id != AMPROPERTY_PIN_CATEGORY) return E_PROP_ID_UNSUPPORTED;
    if (support) *support = KSPROPERTY_SUPPORT_GET;
    return S_OK;
}

}  // namespace vyx
