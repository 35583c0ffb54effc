#include "FormatNegotiation.h"

#include <dshow.h>

#include <cstring>

#include "MediaTypePtr.h"
#include "OutputFormats.h"
#include "Trace.h"

namespace vyx {
namespace {
constexpr ULONG kVideoInfoSize = sizeof(VIDEOINFOHEADER);  // 88 bytes
constexpr ULONG kPaletteSize = 256 * sizeof(RGBQUAD);
constexpr REFERENCE_TIME kDefaultFrameInterval = 333333;  // 30 frames per second

using win::VideoInfoHeader;
}  // namespace

std::int32_t FormatNegotiation::CapabilityCount(const CoreView& view) const {
    return m_obsHost ? 1 : view.formats.Size();
}

HRESULT FormatNegotiation::BuildMediaType(const CoreView& view, const FormatEntry& entry, CMediaType* type) const {
    const OutputFormat* format = OutputFormatAt(entry.outputFormatIndex);
    if (!format) return VFW_E_INVALIDSUBTYPE;
    const ULONG length = kVideoInfoSize + (format->greyPalette ? kPaletteSize : 0);
    BYTE* block = type->AllocFormatBuffer(length);
    if (!block) return E_OUTOFMEMORY;
    std::memset(block, 0, length);

    const Resolution size = view.formats.FrameSize(entry);
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

bool FormatNegotiation::ResolveMediaType(const CoreView& view, const AM_MEDIA_TYPE* type, FormatEntry* resolved) const {
    [[maybe_unused]] const char* label = "CVCameraStream::ResolveMediaType";
    if (!type || !resolved) {
        VYX_TRACE(label, "ResolveMediaType rejected: pMediaType=%p pResolved=%p.\n", static_cast<const void*>(type),
                  static_cast<void*>(resolved));
        return false;
    }
    if (type->majortype != MEDIATYPE_Video || type->formattype != FORMAT_VideoInfo) return false;
    const VIDEOINFOHEADER* info = VideoInfoHeader(*type);
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
    const StreamConfiguration& config = view.config;
    const OutputFormat* current = OutputFormatAt(config.outputFormatIndex);
    if (config.changed && current && type->subtype == current->subtype && header.biWidth == config.width &&
        header.biHeight == config.height && header.biBitCount == current->bitCount) {
        *resolved = config.Entry();
        return true;
    }
    const std::int32_t index = view.formats.Find(type->subtype, header.biWidth, header.biHeight, true, header.biBitCount);
    if (index < 0) return false;
    *resolved = view.formats.At(index);
    return true;
}

bool FormatNegotiation::ResolveFormatSelection(const CoreView& view, const AM_MEDIA_TYPE* type,
                                               FormatEntry* resolved) const {
    if (!type || !resolved) {
        VYX_TRACE("CVCameraStream::ResolveFormatSelection",
                  "ResolveFormatSelection rejected: pMediaType=%p pResolved=%p.\n", static_cast<const void*>(type),
                  static_cast<void*>(resolved));
        return false;
    }
    if (type->majortype != MEDIATYPE_Video || type->formattype != FORMAT_VideoInfo) return false;
    const VIDEOINFOHEADER* info = VideoInfoHeader(*type);
    if (!info) return false;
    const std::int32_t index =
        view.formats.Find(type->subtype, info->bmiHeader.biWidth, info->bmiHeader.biHeight, false, 0);
    if (index < 0) return false;
    *resolved = view.formats.At(index);
    return true;
}

HRESULT FormatNegotiation::OfferedType(const CoreView& view, int position, CMediaType* type) const {
    if (!type) return E_POINTER;
    if (position < 0) return E_INVALIDARG;
    if (position >= view.formats.Size()) return VFW_S_NO_MORE_ITEMS;

    const StreamConfiguration& config = view.config;
    FormatEntry entry;
    if (config.formatLocked) {
        if (position > 0) return VFW_S_NO_MORE_ITEMS;
        entry = config.Entry();
    } else if (m_obsHost) {
        const std::int32_t preferred = view.formats.FindPreferred(view.color);
        if (position > 0 || preferred < 0) return VFW_S_NO_MORE_ITEMS;
        entry = view.formats.At(preferred);
    } else {
        entry = view.formats.At(position);
    }
    const HRESULT hr = BuildMediaType(view, entry, type);
    if (FAILED(hr)) return hr;
    if (config.intervalRequested && config.requestedInterval > 0)
        VideoInfoHeader(*type)->AvgTimePerFrame = config.requestedInterval;
    return S_OK;
}

HRESULT FormatNegotiation::Check(const CoreView& view, const AM_MEDIA_TYPE& type) const {
    if (type.majortype != MEDIATYPE_Video || !type.bFixedSizeSamples) return E_INVALIDARG;
    FormatEntry entry;
    if (!ResolveMediaType(view, &type, &entry)) return E_INVALIDARG;
    const OutputFormat* current = OutputFormatAt(view.config.outputFormatIndex);
    if (view.config.formatLocked && (!current || type.subtype != current->subtype)) return E_INVALIDARG;
    // The bit count each subtype carries, monochrome "Y800" included: it is offered on
    // monochrome cameras and must connect.
    const BITMAPINFOHEADER& header = VideoInfoHeader(type)->bmiHeader;
    if (header.biBitCount != ExpectedBitCount(type.subtype)) return E_INVALIDARG;
    if (header.biHeight < 0) return E_INVALIDARG;
    if (!view.formats.Offers(type.subtype)) return E_INVALIDARG;
    return S_OK;
}

HRESULT FormatNegotiation::MatchConnection(const CoreView& view, const AM_MEDIA_TYPE* type,
                                           ConnectionChoice* choice) const {
    if (!choice || !ResolveMediaType(view, type, &choice->entry)) return E_INVALIDARG;
    const VIDEOINFOHEADER* info = VideoInfoHeader(*type);
    choice->width = info->bmiHeader.biWidth;
    choice->height = info->bmiHeader.biHeight;
    choice->intervalRequested = view.config.intervalRequested;
    choice->interval = choice->intervalRequested ? view.config.requestedInterval : info->AvgTimePerFrame;
    const HRESULT hr = BuildMediaType(view, choice->entry, &choice->type);
    if (FAILED(hr)) return hr;
    VideoInfoHeader(choice->type)->AvgTimePerFrame = info->AvgTimePerFrame;
    return S_OK;
}

HRESULT FormatNegotiation::Capability(const CoreView& view, int index, FrameRateRange range, CMediaType* type,
                                      VIDEO_STREAM_CONFIG_CAPS* caps) const {
    if (!type || !caps) return E_POINTER;
    if (index < 0 || index >= CapabilityCount(view)) return E_INVALIDARG;
    const std::int32_t position = m_obsHost ? view.formats.FindPreferred(view.color) : index;
    if (position < 0) return VFW_S_NO_MORE_ITEMS;

    const FormatEntry& entry = view.formats.At(position);
    const HRESULT hr = BuildMediaType(view, entry, type);
    if (FAILED(hr)) return hr;
    const Resolution size = view.formats.FrameSize(entry);
    FillStreamCaps(size.width, size.height, VideoInfoHeader(*type)->bmiHeader.biSizeImage, range, caps);
    return S_OK;
}

HRESULT FormatNegotiation::CurrentFormat(const CoreView& view, CMediaType* type) const {
    if (view.config.formatLocked || !m_obsHost) return ConfiguredType(view, type);
    const std::int32_t preferred = view.formats.FindPreferred(view.color);
    if (preferred < 0) return VFW_S_NO_MORE_ITEMS;
    return BuildAtRequestedInterval(view, view.formats.At(preferred), type);
}

HRESULT FormatNegotiation::ConfiguredType(const CoreView& view, CMediaType* type) const {
    return BuildAtRequestedInterval(view, view.config.Entry(), type);
}

HRESULT FormatNegotiation::BuildAtRequestedInterval(const CoreView& view, const FormatEntry& entry,
                                                    CMediaType* type) const {
    if (!type) return E_POINTER;
    const HRESULT hr = BuildMediaType(view, entry, type);
    if (FAILED(hr)) return hr;
    if (view.config.requestedInterval > 0) VideoInfoHeader(*type)->AvgTimePerFrame = view.config.requestedInterval;
    return S_OK;
}

HRESULT FormatNegotiation::ChooseFormat(const CoreView& view, const AM_MEDIA_TYPE* type, FormatChoice* choice) const {
    if (!type || !choice || !ResolveFormatSelection(view, type, &choice->entry)) return VFW_E_INVALIDMEDIATYPE;
    const HRESULT hr = BuildMediaType(view, choice->entry, &choice->type);
    if (FAILED(hr)) return hr;
    // Applications often edit only size and interval of a listed type: the rest comes
    // from the list, and the interval only when it is a real one.
    const REFERENCE_TIME requested = VideoInfoHeader(*type)->AvgTimePerFrame;
    choice->intervalRequested = requested > 0;
    VideoInfoHeader(choice->type)->AvgTimePerFrame = requested > 0 ? requested : kDefaultFrameInterval;
    return S_OK;
}

void FormatNegotiation::LockTo(const FormatChoice& choice, StreamConfiguration* config) {
    const VIDEOINFOHEADER* info = VideoInfoHeader(choice.type);
    config->Record(choice.entry, info->bmiHeader.biWidth, info->bmiHeader.biHeight);
    config->requestedInterval = info->AvgTimePerFrame;
    config->formatLocked = true;
    config->intervalRequested = choice.intervalRequested;
    ++m_typeVersion;
}

void FormatNegotiation::Restore(const StreamConfiguration& saved, StreamConfiguration* config) {
    *config = saved;
    ++m_typeVersion;
}

HRESULT FormatNegotiation::FrameDurations(const CoreView& view, LONG index, FrameRateRange range,
                                          std::vector<LONGLONG>* durations) const {
    if (!durations) return E_POINTER;
    durations->clear();
    if (index < 0 || index >= CapabilityCount(view)) return E_INVALIDARG;
    *durations = FrameDurationsWithin(range);
    return S_OK;
}

HRESULT FormatNegotiation::FastestInterval(const CoreView& view, LONG index, FrameRateRange range,
                                           LONGLONG* interval) const {
    if (!interval) return E_POINTER;
    *interval = 0;
    if (index < 0 || index >= CapabilityCount(view)) return E_INVALIDARG;
    *interval = FastestFrameInterval(range);
    return S_OK;
}

}  // namespace vyx
