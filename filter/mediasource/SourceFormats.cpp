#include "SourceFormats.h"

#include <mfapi.h>
#include <mferror.h>
#include <wrl/client.h>

#include <algorithm>

#include "MfPlatform.h"
#include "OutputFormats.h"

namespace vyx::mf {
namespace {
using Microsoft::WRL::ComPtr;

constexpr std::int32_t kOfferedFps = 30;

struct Offer {
    const GUID* subtype;
    std::int32_t outputFormatIndex;  // the pin's output format whose camera frames it converts
    Conversion conversion;
};

bool Lists(const CameraProp& camera, ImageFormat format) {
    for (std::int32_t listed : camera.supportedFormats) {
        if (listed == -1) break;
        if (listed == format) return true;
    }
    return false;
}

std::vector<Offer> OffersOf(const CameraProp& camera) {
    std::vector<Offer> offers;
    if (camera.isColorCamera) {
        offers.push_back({&MFVideoFormat_NV12, kOutputRGB24, Conversion::Rgb24ToNv12});
        // A camera that makes YUY2 itself writes it straight into the sample.
        if (Lists(camera, IMG_YUY2))
            offers.push_back({&MFVideoFormat_YUY2, kOutputYUY2, Conversion::Direct});
        else
            offers.push_back({&MFVideoFormat_YUY2, kOutputRGB24, Conversion::Rgb24ToYuy2});
        offers.push_back({&MFVideoFormat_RGB32, kOutputRGB24, Conversion::Rgb24ToRgb32});
    } else {
        offers.push_back({&MFVideoFormat_NV12, kOutputRGB8, Conversion::Grey8ToNv12});
        offers.push_back({&MFVideoFormat_YUY2, kOutputRGB8, Conversion::Grey8ToYuy2});
        offers.push_back({&MFVideoFormat_L8, kOutputRGB8, Conversion::Grey8ToL8});
        offers.push_back({&MFVideoFormat_L16, kOutputY16, Conversion::Direct});
    }
    return offers;
}

std::uint32_t BytesPerPixelTimesTwo(const GUID& subtype) {
    if (subtype == MFVideoFormat_NV12) return 3;
    if (subtype == MFVideoFormat_YUY2 || subtype == MFVideoFormat_L16) return 4;
    if (subtype == MFVideoFormat_RGB32) return 8;
    return 2;  // L8
}

bool IsYuv(const GUID& subtype) { return subtype == MFVideoFormat_NV12 || subtype == MFVideoFormat_YUY2; }

}  // namespace

std::vector<SourceFormat> BuildSourceFormats(const CameraProp& camera, const Resolution* resolutions,
                                             std::int32_t resolutionCount) {
    // The pin's list offers an output format only where the camera lists its image format,
    // each at every size, so an offer the camera cannot feed has no entries.
    FormatList list(resolutions, resolutionCount);
    list.Build(camera);
    std::vector<SourceFormat> formats;
    for (const Offer& offer : OffersOf(camera)) {
        for (std::int32_t i = 0; i < list.Size(); ++i) {
            const FormatEntry& entry = list.At(i);
            if (entry.outputFormatIndex != offer.outputFormatIndex) continue;
            const Resolution size = list.FrameSize(entry);
            formats.push_back({*offer.subtype, entry, size.width, size.height, offer.conversion});
        }
    }
    return formats;
}

std::size_t CameraFrameBytes(const SourceFormat& format) {
    const std::size_t pixels = static_cast<std::size_t>(format.width) * static_cast<std::size_t>(format.height);
    switch (format.entry.imageFormat) {
        case IMG_RGB24: return pixels * 3;
        case IMG_RAW16:
        case IMG_YUY2: return pixels * 2;
        case IMG_RAW8:
        case IMG_Y8: return pixels;
    }
    return 0;
}

std::size_t SampleBytes(const SourceFormat& format) {
    const std::size_t pixels = static_cast<std::size_t>(format.width) * static_cast<std::size_t>(format.height);
    return pixels * BytesPerPixelTimesTwo(format.subtype) / 2;
}

HRESULT CreateSourceMediaType(const SourceFormat& format, FrameRateRange rates, IMFMediaType** type) {
    if (!type) return E_POINTER;
    *type = nullptr;
    ComPtr<IMFMediaType> created;
    HRESULT hr = platform::CreateMediaType(&created);
    if (FAILED(hr)) return hr;
    const std::uint32_t fps = static_cast<std::uint32_t>(std::clamp(kOfferedFps, rates.minFps, rates.maxFps));
    const std::uint32_t width = static_cast<std::uint32_t>(format.width);
    const std::uint32_t height = static_cast<std::uint32_t>(format.height);
    // Top-down rows, packed: NV12's stride is its luma row.
    const std::uint32_t stride =
        format.subtype == MFVideoFormat_NV12 ? width : width * BytesPerPixelTimesTwo(format.subtype) / 2;
    IMFMediaType* t = created.Get();
    if (FAILED(hr = t->SetGUID(MF_MT_MAJOR_TYPE, MFMediaType_Video)) ||
        FAILED(hr = t->SetGUID(MF_MT_SUBTYPE, format.subtype)) ||
        FAILED(hr = MFSetAttributeSize(t, MF_MT_FRAME_SIZE, width, height)) ||
        FAILED(hr = MFSetAttributeRatio(t, MF_MT_FRAME_RATE, fps, 1)) ||
        FAILED(hr = MFSetAttributeRatio(t, MF_MT_FRAME_RATE_RANGE_MIN, static_cast<UINT32>(rates.minFps), 1)) ||
        FAILED(hr = MFSetAttributeRatio(t, MF_MT_FRAME_RATE_RANGE_MAX, static_cast<UINT32>(rates.maxFps), 1)) ||
        FAILED(hr = MFSetAttributeRatio(t, MF_MT_PIXEL_ASPECT_RATIO, 1, 1)) ||
        FAILED(hr = t->SetUINT32(MF_MT_INTERLACE_MODE, MFVideoInterlace_Progressive)) ||
        FAILED(hr = t->SetUINT32(MF_MT_ALL_SAMPLES_INDEPENDENT, TRUE)) ||
        FAILED(hr = t->SetUINT32(MF_MT_FIXED_SIZE_SAMPLES, TRUE)) ||
        FAILED(hr = t->SetUINT32(MF_MT_SAMPLE_SIZE, static_cast<UINT32>(SampleBytes(format)))) ||
        FAILED(hr = t->SetUINT32(MF_MT_DEFAULT_STRIDE, stride)) ||
        FAILED(hr = t->SetUINT32(MF_MT_VIDEO_NOMINAL_RANGE,
                                 IsYuv(format.subtype) ? MFNominalRange_16_235 : MFNominalRange_0_255)))
        return hr;
    if (IsYuv(format.subtype) && FAILED(hr = t->SetUINT32(MF_MT_YUV_MATRIX, MFVideoTransferMatrix_BT601)))
        return hr;
    *type = created.Detach();
    return S_OK;
}

std::int32_t FindSourceFormat(const std::vector<SourceFormat>& formats, IMFMediaType* type) {
    if (!type) return -1;
    GUID major = GUID_NULL, subtype = GUID_NULL;
    UINT32 width = 0, height = 0;
    if (FAILED(type->GetGUID(MF_MT_MAJOR_TYPE, &major)) || major != MFMediaType_Video ||
        FAILED(type->GetGUID(MF_MT_SUBTYPE, &subtype)) || FAILED(MFGetAttributeSize(type, MF_MT_FRAME_SIZE, &width, &height)))
        return -1;
    for (std::size_t i = 0; i < formats.size(); ++i) {
        const SourceFormat& f = formats[i];
        if (f.subtype == subtype && static_cast<UINT32>(f.width) == width && static_cast<UINT32>(f.height) == height)
            return static_cast<std::int32_t>(i);
    }
    return -1;
}

std::int64_t FrameIntervalOf(IMFMediaType* type) {
    UINT32 numerator = 0, denominator = 0;
    if (!type || FAILED(MFGetAttributeRatio(type, MF_MT_FRAME_RATE, &numerator, &denominator)) || numerator == 0 ||
        denominator == 0)
        return 0;
    constexpr std::uint64_t kUnitsPerSecond = 10000000;
    return static_cast<std::int64_t>((kUnitsPerSecond * denominator + numerator / 2) / numerator);
}

}  // namespace vyx::mf
