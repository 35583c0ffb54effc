#include "MediaTypePtr.h"

#include <dvdmedia.h>

#include <cstring>

namespace vyx::win {

MediaTypePtr MediaTypePtr::Copy(const AM_MEDIA_TYPE& source)
{
    auto* type = static_cast<AM_MEDIA_TYPE*>(::CoTaskMemAlloc(sizeof(AM_MEDIA_TYPE)));
    if (!type) return {};
    if (FAILED(CopyMediaTypeContents(*type, source))) {
        ::CoTaskMemFree(type);
        return {};
    }
    return MediaTypePtr(type);
}

HRESULT CopyMediaTypeContents(AM_MEDIA_TYPE& target, const AM_MEDIA_TYPE& source)
{
    if (&target == &source) return S_OK;
    target = source;
    target.pbFormat = nullptr;
    target.cbFormat = 0;
    if (source.cbFormat != 0 && source.pbFormat) {
        target.pbFormat = static_cast<BYTE*>(::CoTaskMemAlloc(source.cbFormat));
        if (!target.pbFormat) {
            target.pUnk = nullptr;
            return E_OUTOFMEMORY;
        }
        std::memcpy(target.pbFormat, source.pbFormat, source.cbFormat);
        target.cbFormat = source.cbFormat;
    }
    if (target.pUnk) target.pUnk->AddRef();
    return S_OK;
}

void FreeMediaTypeContents(AM_MEDIA_TYPE& type)
{
    if (type.pbFormat) ::CoTaskMemFree(type.pbFormat);
    type.pbFormat = nullptr;
    type.cbFormat = 0;
    if (type.pUnk) type.pUnk->Release();
    type.pUnk = nullptr;
}

BITMAPINFOHEADER* BitmapHeader(const AM_MEDIA_TYPE& type)
{
    if (!type.pbFormat) return nullptr;
    if (type.formattype == FORMAT_VideoInfo && type.cbFormat >= sizeof(VIDEOINFOHEADER))
        return &reinterpret_cast<VIDEOINFOHEADER*>(type.pbFormat)->bmiHeader;
    if (type.formattype == FORMAT_VideoInfo2 && type.cbFormat >= sizeof(VIDEOINFOHEADER2))
        return &reinterpret_cast<VIDEOINFOHEADER2*>(type.pbFormat)->bmiHeader;
    return nullptr;
}

REFERENCE_TIME* AvgTimePerFrame(const AM_MEDIA_TYPE& type)
{
    if (!type.pbFormat) return nullptr;
    if (type.formattype == FORMAT_VideoInfo && type.cbFormat >= sizeof(VIDEOINFOHEADER))
        return &reinterpret_cast<VIDEOINFOHEADER*>(type.pbFormat)->AvgTimePerFrame;
    if (type.formattype == FORMAT_VideoInfo2 && type.cbFormat >= sizeof(VIDEOINFOHEADER2))
        return &reinterpret_cast<VIDEOINFOHEADER2*>(type.pbFormat)->AvgTimePerFrame;
    return nullptr;
}

VIDEOINFOHEADER* VideoInfoHeader(const AM_MEDIA_TYPE& type)
{
    if (!type.pbFormat || type.formattype != FORMAT_VideoInfo || type.cbFormat < sizeof(VIDEOINFOHEADER))
        return nullptr;
    return reinterpret_cast<VIDEOINFOHEADER*>(type.pbFormat);
}

}  // namespace vyx::win
