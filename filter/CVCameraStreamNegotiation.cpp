// Media types and format negotiation as the framework's pin calls them: the decisions are
// the negotiation object's; the pin configures the camera for the connected type.
#include <dshow.h>

#include "CVCameraStream.h"
#include "MediaTypePtr.h"
#include "Trace.h"

namespace vyx {
namespace {
struct GuidText {
    char text[40];
    explicit GuidText(const GUID& guid) {
        wchar_t wide[40] = {};
        StringFromGUID2(guid, wide, 40);
        WideCharToMultiByte(CP_ACP, 0, wide, -1, text, sizeof text, nullptr, nullptr);
    }
};
}  // namespace

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
    if (!win::VideoInfoHeader(*type))
        VYX_TRACE(caller, "%s: VIDEOINFOHEADER is unavailable (pbFormat=%p, cbFormat=%lu).\n", label,
                  static_cast<const void*>(type->pbFormat), static_cast<unsigned long>(type->cbFormat));
}

FrameRateRange CVCameraStream::CameraFrameRateRange() const {
    int maxFps = 0, minFps = 0, defaultFps = 0;
    const bool rangeRead = m_state.camera && m_state.camera->GetFrameRateLimitRange(&maxFps, &minFps, &defaultFps);
    return UsableFrameRateRange(rangeRead, maxFps, minFps);
}

HRESULT CVCameraStream::GetMediaType(int position, CMediaType* type) {
    CAutoLock lock(m_pFilter->pStateLock());
    return m_negotiation.OfferedType(position, type);
}

LONG CVCameraStream::GetMediaTypeVersion() {
    return m_negotiation.TypeVersion();
}

HRESULT CVCameraStream::CheckMediaType(const CMediaType* type) {
    if (!type) return E_POINTER;
    LogMediaTypeDetails("CheckMediaType request", type);
    if (!m_state.camera || !m_state.camera->IsOpened()) return E_INVALIDARG;
    return m_negotiation.Check(*type);
}

HRESULT CVCameraStream::SetMediaType(const CMediaType* type) {
    CAutoLock lock(m_pFilter->pStateLock());
    LogMediaTypeDetails("SetMediaType request", type);
    ConnectionChoice choice;
    HRESULT hr = m_negotiation.MatchConnection(type, &choice);
    if (FAILED(hr)) return hr;
    VyxonCamera* camera = m_state.camera;
    if (!camera || !camera->IsOpened()) return E_UNEXPECTED;

    if (!camera->SetBin(choice.entry.bin) || !camera->SetImgSize(choice.width, choice.height) ||
        !camera->SetImgFormat(static_cast<ImageFormat>(choice.entry.imageFormat)))
        return E_FAIL;

    int limit = 0;  // no frame-rate limit
    if (choice.intervalRequested) {
        int maxFps = 0, minFps = 0, defaultFps = 0;
        const bool rangeRead = camera->GetFrameRateLimitRange(&maxFps, &minFps, &defaultFps);
        limit = FrameRateLimitFor(choice.interval, rangeRead, maxFps, minFps);
    }
    camera->SetFrameRateLimit(limit);

    hr = CSourceStream::SetMediaType(&choice.type);
    if (FAILED(hr)) return hr;
    m_negotiation.RecordConnection(choice);
    m_connection = choice;
    return S_OK;
}

HRESULT CVCameraStream::ConfigureCameraForConnection() {
    VyxonCamera* camera = m_state.camera;
    if (!camera) return VFW_E_NOT_CONNECTED;
    CAutoLock lock(m_pFilter->pStateLock());
    const FormatEntry& entry = m_connection.entry;
    int bin = 0, width = 0, height = 0;
    ImageFormat format = IMG_RAW8;
    if (camera->GetBin(&bin) && camera->GetImgSize(&width, &height) && camera->GetImgFormat(&format) &&
        bin == entry.bin && width == m_connection.width && height == m_connection.height &&
        format == entry.imageFormat)
        return S_OK;
    if (!camera->SetBin(entry.bin) || !camera->SetImgSize(m_connection.width, m_connection.height) ||
        !camera->SetImgFormat(static_cast<ImageFormat>(entry.imageFormat)))
        return E_FAIL;
    m_negotiation.RecordConnection(m_connection);
    return S_OK;
}

}  // namespace vyx
