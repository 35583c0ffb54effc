// Media types and format negotiation: the offered types, their acceptance, and the camera
// configuration for the connected type.
#include <dshow.h>

#include <cstring>

#include "CVCameraStream.h"
#include "OutputFormats.h"
#include "StreamCaps.h"
#include "Trace.h"

namespace vyx {
namespace {
constexpr ULONG kVideoInfoSize = sizeof(VIDEOINFOHEADER);  // 88 bytes
constexpr ULONG kPaletteSize = 256 * sizeof(RGBQUAD);
constexpr REFERENCE_TIME kDefaultFrameInterval = 333333;  // 30 frames per second

const VIDEOINFOHEADER* VideoInfo(const AM_MEDIA_TYPE* type) {
    if (!type->pbFormat || type->cbFormat < kVideoInfoSize) return nullptr;
    return reinterpret_cast<const VIDEOINFOHEADER*>(type->pbFormat);
}

#ifdef VYX_FILTER_TRACE
struct GuidText {
    char text[40];
    explicit GuidText(const GUID& guid) {
        wchar_t wide[40] = {};
        StringFromGUID2(guid, wide, 40);
        WideCharToMultiByte(CP_ACP, 0, wide, -1, text, sizeof text, nullptr, nullptr);
    }
};
#endif
}  // namespace

bool CVCameraStream::IsObsHost() const {
    return m_hostPath.find("obs64") != std::string::npos || m_hostPath.find("obs32") != std::string::npos;
}

FormatEntry CVCameraStream::CurrentEntry() const {
    return {m_state.outputFormatIndex, m_state.bin, m_state.resolutionIndex, m_state.imageFormat};
}

void CVCameraStream::RecordConfiguration(const FormatEntry& entry, LONG width, LONG height, const GUID& subtype) {
    m_state.outputFormatIndex = entry.outputFormatIndex;
    m_state.bin = entry.bin;
    m_state.resolutionIndex = entry.resolutionIndex;
    m_state.imageFormat = entry.imageFormat;
    m_state.width = width;
    m_state.height = height;
    m_state.subtype = subtype;
}

int CVCameraStream::FindPreferredFormat() const {
    return m_formats.FindPreferred(m_state.color);
}

HRESULT CVCameraStream::BuildMediaType(const FormatEntry& entry, CMediaType* type) const {
    const OutputFormat* format = OutputFormatAt(entry.outputFormatIndex);
    if (!format) return VFW_E_INVALIDSUBTYPE;
    const ULONG length = kVideoInfoSize + (format->greyPalette ? kPaletteSize : 0);
    BYTE* block = type->AllocFormatBuffer(length);
    if (!block) return E_OUTOFMEMORY;
    std::memset(block, 0, length);

    const Resolution size = m_formats.FrameSize(entry);
    auto* info = reinterpret_cast<VIDEOINFOHEADER*>(block);
    info->AvgTimePerFrame = kDefaultFrameInterval;
    BITMAPINFOHEADER& header = info->bmiHeader;
    header.biSize = sizeof(BITMAPINFOHEADER);
    header.biWidth = size.width;
    header.biHeight = size.height;
    header.biPlanes = 1;
    header.biBitCount = format->bitCount;
    header.biCompression = format->compression;
    const DWORD stride = ((static_cast<DWORD>(size.width) * format->bitCount + 31) / 32) * 4;
    header.biSizeImage = stride * static_cast<DWORD>(size.height);
    if (format->greyPalette) {
        header.biClrUsed = 256;
        auto* palette = reinterpret_cast<RGBQUAD*>(block + kVideoInfoSize);
        for (int i = 0; i < 256; ++i) {
            const BYTE level = static_cast<BYTE>(i);
            palette[i] = {level, level, level, 0};
        }
    }

    type->SetType(&MEDIATYPE_Video);
    type->SetSubtype(&format->subtype);
    type->SetFormatType(&FORMAT_VideoInfo);
    type->SetTemporalCompression(FALSE);
    type->SetSampleSize(header.biSizeImage);
    return S_OK;
}

bool CVCameraStream::ResolveMediaType(const AM_MEDIA_TYPE* type, FormatEntry* resolved) const {
    [[maybe_unused]] const char* label = "CVCameraStream::ResolveMediaType";
    if (!type || !resolved) {
        VYX_TRACE(label, "ResolveMediaType rejected: pMediaType=%p pResolved=%p.\n", static_cast<const void*>(type),
                  static_cast<void*>(resolved));
        return false;
    }
    if (type->majortype != MEDIATYPE_Video || type->formattype != FORMAT_VideoInfo) return false;
    const VIDEOINFOHEADER* info = VideoInfo(type);
    if (!info) {
        VYX_TRACE(label, "ResolveMediaType rejected: invalid format block (pbFormat=%p, cbFormat=%lu, required=%lu).\n",
                  static_cast<const void*>(type->pbFormat), static_cast<unsigned long>(type->cbFormat),
                  static_cast<unsigned long>(kVideoInfoSize));
        return false;
    }
    if (info->AvgTimePerFrame <= 0) return false;
    const BITMAPINFOHEADER& header = info->bmiHeader;

    // A configuration chosen through ICameraInstance is tried first: it may be a size the
    // format list does not hold at the current bin.
    const OutputFormat* current = OutputFormatAt(m_state.outputFormatIndex);
    if (m_state.configurationChanged && current && type->subtype == current->subtype &&
        header.biWidth == m_state.width && header.biHeight == m_state.height && header.biBitCount == current->bitCount) {
        *resolved = CurrentEntry();
        return true;
    }
    const std::int32_t index = m_formats.Find(type->subtype, header.biWidth, header.biHeight, true, header.biBitCount);
    if (index < 0) return false;
    *resolved = m_formats.At(index);
    return true;
}

bool CVCameraStream::ResolveFormatSelection(const AM_MEDIA_TYPE* type, FormatEntry* resolved) const {
    if (!type || !resolved) {
        VYX_TRACE("CVCameraStream::ResolveFormatSelection",
                  "ResolveFormatSelection rejected: pMediaType=%p pResolved=%p.\n", static_cast<const void*>(type),
                  static_cast<void*>(resolved));
        return false;
    }
    if (type->majortype != MEDIATYPE_Video || type->formattype != FORMAT_VideoInfo) return false;
    const VIDEOINFOHEADER* info = VideoInfo(type);
    if (!info) return false;
    const std::int32_t index = m_formats.Find(type->subtype, info->bmiHeader.biWidth, info->bmiHeader.biHeight, false, 0);
    if (index < 0) return false;
    *resolved = m_formats.At(index);
    return true;
}

void CVCameraStream::LogMediaTypeDetails([[maybe_unused]] const char* label, [[maybe_unused]] const AM_MEDIA_TYPE* type) {
#ifdef VYX_FILTER_TRACE
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
    if (type->formattype != FORMAT_VideoInfo || !VideoInfo(type))
        VYX_TRACE(caller, "%s: VIDEOINFOHEADER is unavailable (pbFormat=%p, cbFormat=%lu).\n", label,
                  static_cast<const void*>(type->pbFormat), static_cast<unsigned long>(type->cbFormat));
#endif
}

HRESULT CVCameraStream::GetMediaType(int position, CMediaType* type) {
    CAutoLock lock(m_pFilter->pStateLock());
    if (!type) return E_POINTER;
    if (position < 0) return E_INVALIDARG;
    if (position >= m_formats.Size()) return VFW_S_NO_MORE_ITEMS;

    FormatEntry entry;
    if (m_state.formatLocked) {
        if (position > 0) return VFW_S_NO_MORE_ITEMS;
        entry = CurrentEntry();
    } else if (IsObsHost()) {
        const int preferred = FindPreferredFormat();
        if (position > 0 || preferred < 0) return VFW_S_NO_MORE_ITEMS;
        entry = m_formats.At(preferred);
    } else {
        entry = m_formats.At(position);
    }
    const HRESULT hr = BuildMediaType(entry, type);
    if (FAILED(hr)) return hr;
    if (m_state.frameIntervalRequested && m_state.requestedFrameInterval > 0)
        reinterpret_cast<VIDEOINFOHEADER*>(type->Format())->AvgTimePerFrame = m_state.requestedFrameInterval;
    return S_OK;
}

HRESULT CVCameraStream::CheckMediaType(const CMediaType* type) {
    if (!type) return E_POINTER;
    LogMediaTypeDetails("CheckMediaType request", type);
    if (*type->Type() != MEDIATYPE_Video || !type->IsFixedSize()) return E_INVALIDARG;
    if (!m_state.camera || !m_state.camera->IsOpened()) return E_INVALIDARG;
    FormatEntry entry;
    if (!ResolveMediaType(type, &entry)) return E_INVALIDARG;
    const OutputFormat* current = OutputFormatAt(m_state.outputFormatIndex);
    if (m_state.formatLocked && (!current || *type->Subtype() != current->subtype)) return E_INVALIDARG;
    // The bit count each subtype carries, monochrome "Y800" included: it is offered on
    // monochrome cameras and must connect.
    const BITMAPINFOHEADER& header = VideoInfo(type)->bmiHeader;
    if (header.biBitCount != ExpectedBitCount(*type->Subtype())) return E_INVALIDARG;
    if (header.biHeight < 0) return E_INVALIDARG;
    if (!m_formats.Offers(*type->Subtype())) return E_INVALIDARG;
    return S_OK;
}

HRESULT CVCameraStream::SetMediaType(const CMediaType* type) {
    CAutoLock lock(m_pFilter->pStateLock());
    LogMediaTypeDetails("SetMediaType request", type);
    FormatEntry entry;
    if (!ResolveMediaType(type, &entry)) return E_INVALIDARG;
    const VIDEOINFOHEADER* info = VideoInfo(type);
    VyxonCamera* camera = m_state.camera;
    if (!info || info->AvgTimePerFrame <= 0 || !camera || !camera->IsOpened()) return E_UNEXPECTED;

    const LONG width = info->bmiHeader.biWidth;
    const LONG height = info->bmiHeader.biHeight;
    if (!camera->SetBin(entry.bin) || !camera->SetImgSize(width, height) ||
        !camera->SetImgFormat(static_cast<ImageFormat>(entry.imageFormat)))
        return E_FAIL;

    LONGLONG interval = info->AvgTimePerFrame;
    int limit = 0;  // no frame-rate limit
    if (m_state.frameIntervalRequested) {
        interval = m_state.requestedFrameInterval;
        int maxFps = 0, minFps = 0, defaultFps = 0;
        const bool rangeRead = camera->GetFrameRateLimitRange(&maxFps, &minFps, &defaultFps);
        limit = FrameRateLimitFor(interval, rangeRead, maxFps, minFps);
    }
    camera->SetFrameRateLimit(limit);

    // The stored type is the matched entry's, with the peer's interval: a peer's size
    // (0 is legal for BI_RGB, or larger than the frame) would make samples of the wrong length.
    CMediaType stored;
    HRESULT hr = BuildMediaType(entry, &stored);
    if (FAILED(hr)) return hr;
    reinterpret_cast<VIDEOINFOHEADER*>(stored.Format())->AvgTimePerFrame = info->AvgTimePerFrame;
    hr = CSourceStream::SetMediaType(&stored);
    if (FAILED(hr)) return hr;
    RecordConfiguration(entry, width, height, *type->Subtype());
    m_state.requestedFrameInterval = interval;
    return S_OK;
}

}  // namespace vyx
