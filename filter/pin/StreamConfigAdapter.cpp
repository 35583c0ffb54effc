#include "StreamConfigAdapter.h"

#include <dshow.h>

#include "CVCameraStream.h"

namespace vyx {

STDMETHODIMP StreamConfigAdapter::GetNumberOfCapabilities(int* count, int* size) {
    if (!count || !size) return E_POINTER;
    *count = m_pin.m_core.Read([&](const CoreView& view) { return m_pin.m_negotiation.CapabilityCount(view); });
    *size = sizeof(VIDEO_STREAM_CONFIG_CAPS);
    return S_OK;
}

STDMETHODIMP StreamConfigAdapter::GetStreamCaps(int index, AM_MEDIA_TYPE** type, BYTE* caps) {
    if (!type || !caps) return E_POINTER;
    *type = nullptr;
    const FrameRateRange range = m_pin.m_core.FrameRates();
    CMediaType built;
    const HRESULT hr = m_pin.m_core.Read([&](const CoreView& view) {
        return m_pin.m_negotiation.Capability(view, index, range, &built, reinterpret_cast<VIDEO_STREAM_CONFIG_CAPS*>(caps));
    });
    if (hr != S_OK) return hr;
    *type = CreateMediaType(&built);
    return *type ? S_OK : E_OUTOFMEMORY;
}

STDMETHODIMP StreamConfigAdapter::GetFormat(AM_MEDIA_TYPE** type) {
    if (!type) return E_POINTER;
    *type = nullptr;
    CMediaType built;
    const HRESULT hr =
        m_pin.m_core.Read([&](const CoreView& view) { return m_pin.m_negotiation.CurrentFormat(view, &built); });
    if (hr != S_OK) return hr;
    *type = CreateMediaType(&built);
    return *type ? S_OK : E_OUTOFMEMORY;
}

STDMETHODIMP StreamConfigAdapter::SetFormat(AM_MEDIA_TYPE* type) {
    if (!type) return VFW_E_INVALIDMEDIATYPE;
    CVCameraStream::LogMediaTypeDetails("SetFormat request", type);
    // The pin and its peer must agree afterwards: a reconnection the graph refuses puts the
    // pin back into the type and the negotiation lock it had.
    StreamConfiguration saved;
    CMediaType savedType;
    auto choose = [&]() -> HRESULT {
        HRESULT hr = S_OK;
        const CoreStatus status = m_pin.m_core.Configure([&](CoreChange& change) {
            FormatChoice choice;
            hr = m_pin.m_negotiation.ChooseFormat(change.View(), type, &choice);
            if (SUCCEEDED(hr)) {
                CVCameraStream::LogMediaTypeDetails("SetFormat normalized", &choice.type);
                saved = change.config;
                hr = savedType.Set(m_pin.m_mt);
                if (SUCCEEDED(hr)) hr = m_pin.m_mt.Set(choice.type);
                if (SUCCEEDED(hr)) m_pin.m_negotiation.LockTo(choice, &change.config);
            }
            return CoreStatus::Ok;
        });
        return status == CoreStatus::Ok ? hr : VFW_E_NOT_STOPPED;
    };
    auto undo = [&] {
        m_pin.m_core.Configure([&](CoreChange& change) {
            m_pin.m_negotiation.Restore(saved, &change.config);
            m_pin.m_mt.Set(savedType);
            return CoreStatus::Ok;
        });
    };
    return m_pin.Reconfigure(choose, CVCameraStream::Follow::Renegotiated, undo);
}

}  // namespace vyx
