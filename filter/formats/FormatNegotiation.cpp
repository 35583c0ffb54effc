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

FormatNegotiation::FormatNegotiation(PinState& state, const Resolution* resolutions, std::int32_t resolutionCount,
                                     bool obsHost)
    : m_state(state), m_formats(resolutions, resolutionCount), m_obsHost(obsHost) {}

void FormatNegotiation::BuildFormats(const CameraProp& prop) {
    m_formats.Build(prop);
}

std::int32_t FormatNegotiation::CapabilityCount() const {
    return m_obsHost ? 1 : m_formats.Size();
}

FormatEntry FormatNegotiation::CurrentEntry() const {
    return {m_state.outputFormatIndex, m_state.bin, m_state.resolutionIndex, m_state.imageFormat};
}

void FormatNegotiation::RecordConfiguration(const FormatEntry& entry, LONG width, LONG height, const GUID& subtype) {
    m_state.outputFormatIndex = entry.outputFormatIndex;
    m_state.bin = entry.bin;
    m_state.resolutionIndex = entry.resolutionIndex;
    m_state.imageFormat = entry.imageFormat;
    m_state.width = width;
    m_state.height = height;
    m_state.subtype = subtype;
}

HRESULT FormatNegotiation::BuildMediaType(const FormatEntry& entry, CMediaType* type) const {
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

bool FormatNegotiation::ResolveMediaType(const AM_MEDIA_TYPE* type, FormatEntry* resolved) const {
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

bool FormatNegotiation::ResolveFormatSelection(const AM_MEDIA_TYPE* type, FormatEntry* resolved) const {
    if (!type || !resolved) {
        VYX_TRACE("CVCameraStream::ResolveFormatSelection",
                  "ResolveFormatSelection rejected: pMediaType=%p pResolved=%p.\n", static_cast<const void*>(type),
                  static_cast<void*>(resolved));
        return false;
    }
    if (type->majortype != MEDIATYPE_Video || type->formattype != FORMAT_VideoInfo) return false;
    const VIDEOINFOHEADER* info = VideoInfoHeader(*type);
    if (!info) return false;
    const std::int32_t index = m_formats.Find(type->subtype, info->bmiHeader.biWidth, info->bmiHeader.biHeight, false, 0);
    if (index < 0) return false;
    *resolved = m_formats.At(index);
    return true;
}

HRESULT FormatNegotiation::OfferedType(int position, CMediaType* type) const {
    if (!type) return E_POINTER;
    if (position < 0) return E_INVALIDARG;
    if (position >= m_formats.Size()) return VFW_S_NO_MORE_ITEMS;

    FormatEntry entry;
    if (m_state.formatLocked) {
        if (position > 0) return VFW_S_NO_MORE_ITEMS;
        entry = CurrentEntry();
    } else if (m_obsHost) {
        const std::int32_t preferred = m_formats.FindPreferred(m_state.color);
        if (position > 0 || preferred < 0) return VFW_S_NO_MORE_ITEMS;
        entry = m_formats.At(preferred);
    } else {
        entry = m_formats.At(position);
    }
    const HRESULT hr = BuildMediaType(entry, type);
    if (FAILED(hr)) return hr;
    if (m_state.frameIntervalRequested && m_state.requestedFrameInterval > 0)
        VideoInfoHeader(*type)->AvgTimePerFrame = m_state.requestedFrameInterval;
    return S_OK;
}

HRESULT FormatNegotiation::Check(const AM_MEDIA_TYPE& type) const {
    if (type.majortype != MEDIATYPE_Video || !type.bFixedSizeSamples) return E_INVALIDARG;
    FormatEntry entry;
    if (!ResolveMediaType(&type, &entry)) return E_INVALIDARG;
    const OutputFormat* current = OutputFormatAt(m_state.outputFormatIndex);
    if (m_state.formatLocked && (!current || type.subtype != current->subtype)) return E_INVALIDARG;
    // The bit count each subtype carries, monochrome "Y800" included: it is offered on
    // monochrome cameras and must connect.
    const BITMAPINFOHEADER& header = VideoInfoHeader(type)->bmiHeader;
    if (header.biBitCount != ExpectedBitCount(type.subtype)) return E_INVALIDARG;
    if (header.biHeight < 0) return E_INVALIDARG;
    if (!m_formats.Offers(type.subtype)) return E_INVALIDARG;
    return S_OK;
}

HRESULT FormatNegotiation::MatchConnection(const AM_MEDIA_TYPE* type, ConnectionChoice* choice) const {
    if (!choice || !ResolveMediaType(type, &choice->entry)) return E_INVALIDARG;
    const VIDEOINFOHEADER* info = VideoInfoHeader(*type);
    choice->width = info->bmiHeader.biWidth;
    choice->height = info->bmiHeader.biHeight;
    choice->subtype = type->subtype;
    choice->intervalRequested = m_state.frameIntervalRequested;
    choice->interval = choice->intervalRequested ? m_state.requestedFrameInterval : info->AvgTimePerFrame;
    const HRESULT hr = BuildMediaType(choice->entry, &choice->type);
    if (FAILED(hr)) return hr;
    VideoInfoHeader(choice->type)->AvgTimePerFrame = info->AvgTimePerFrame;
    return S_OK;
}

void FormatNegotiation::RecordConnection(const ConnectionChoice& choice) {
    RecordConfiguration(choice.entry, choice.width, choice.height, choice.subtype);
    m_state.requestedFrameInterval = choice.interval;
}

HRESULT FormatNegotiation::Capability(int index, FrameRateRange range, CMediaType* type,
                                      VIDEO_STREAM_CONFIG_CAPS* caps) const {
    if (!type || !caps) return E_POINTER;
    if (index < 0 || index >= CapabilityCount()) return E_INVALIDARG;
    const std::int32_t position = m_obsHost ? m_formats.FindPreferred(m_state.color) : index;
    if (position < 0) return VFW_S_NO_MORE_ITEMS;

    const FormatEntry& entry = m_formats.At(position);
    const HRESULT hr = BuildMediaType(entry, type);
    if (FAILED(hr)) return hr;
    const Resolution size = m_formats.FrameSize(entry);
    FillStreamCaps(size.width, size.height, VideoInfoHeader(*type)->bmiHeader.biSizeImage, range, caps);
    return S_OK;
}

HRESULT FormatNegotiation::CurrentFormat(CMediaType* type) const {
    if (m_state.formatLocked || !m_obsHost) return ConfiguredType(type);
    const std::int32_t preferred = m_formats.FindPreferred(m_state.color);
    if (preferred < 0) return VFW_S_NO_MORE_ITEMS;
    return BuildAtRequestedInterval(m_formats.At(preferred), type);
}

HRESULT FormatNegotiation::ConfiguredType(CMediaType* type) const {
    return BuildAtRequestedInterval(CurrentEntry(), type);
}

HRESULT FormatNegotiation::BuildAtRequestedInterval(const FormatEntry& entry, CMediaType* type) const {
    if (!type) return E_POINTER;
    const HRESULT hr = BuildMediaType(entry, type);
    if (FAILED(hr)) return hr;
    if (m_state.requestedFrameInterval > 0) VideoInfoHeader(*type)->AvgTimePerFrame = m_state.requestedFrameInterval;
    return S_OK;
}

HRESULT FormatNegotiation::ChooseFormat(const AM_MEDIA_TYPE* type, FormatChoice* choice) const {
    if (!type || !choice || !ResolveFormatSelection(type, &choice->entry)) return VFW_E_INVALIDMEDIATYPE;
    const HRESULT hr = BuildMediaType(choice->entry, &choice->type);
    if (FAILED(hr)) return hr;
    // Applications often edit only size and interval of a listed type: the rest comes
    // from the list, and the interval only when it is a real one.
    const REFERENCE_TIME requested = VideoInfoHeader(*type)->AvgTimePerFrame;
    choice->intervalRequested = requested > 0;
    VideoInfoHeader(choice->type)->AvgTimePerFrame = requested > 0 ? requested : kDefaultFrameInterval;
    return S_OK;
}

void FormatNegotiation::LockTo(const FormatChoice& choice) {
    const VIDEOINFOHEADER* info = VideoInfoHeader(choice.type);
    RecordConfiguration(choice.entry, info->bmiHeader.biWidth, info->bmiHeader.biHeight, choice.type.subtype);
    m_state.requestedFrameInterval = info->AvgTimePerFrame;
    m_state.formatLocked = true;
    m_state.frameIntervalRequested = choice.intervalRequested;
    ++m_typeVersion;
}

SavedFormat FormatNegotiation::Save() const {
    return {CurrentEntry(), m_state.width, m_state.height, m_state.subtype, m_state.requestedFrameInterval,
            m_state.formatLocked, m_state.frameIntervalRequested};
}

void FormatNegotiation::Restore(const SavedFormat& saved) {
    RecordConfiguration(saved.entry, saved.width, saved.height, saved.subtype);
    m_state.requestedFrameInterval = saved.requestedFrameInterval;
    m_state.formatLocked = saved.locked;
    m_state.frameIntervalRequested = saved.intervalRequested;
    ++m_typeVersion;
}

HRESULT FormatNegotiation::FrameDurations(LONG index, FrameRateRange range, std::vector<LONGLONG>* durations) const {
    if (!durations) return E_POINTER;
    durations->clear();
    if (index < 0 || index >= CapabilityCount()) return E_INVALIDARG;
    *durations = FrameDurationsWithin(range);
    return S_OK;
}

}  // namespace vyx
