#include "MediaTypePtr.h"

#include <dvdmedia.h>

#include <cstring>

namespace vyx::win {

MediaTypePtr MediaTypePtr::Copy(const AM_MEDIA_TYPE& source)
{
    auto* type = static_cast<AM_MEDIA_TYPE*>(::CoTaskMemAlloc(sizeof(AM_MEDIA_TYPE)));
    if (!type) return {};
    *type = source;
    type->pbFormat = nullptr;
    type->cbFormat = 0;
    if (source.cbFormat != 0 && source.pbFormat) {
        type->pbFormat = static_cast<BYTE*>(::CoTaskMemAlloc(source.cbFormat));
        if (!type->pbFormat) {
            ::CoTaskMemFree(type);
            return {};
        }
        std::memcpy(type->pbFormat, source.pbFormat, source.cbFormat);
        type->cbFormat = source.cbFormat;
    }
    if (type->pUnk) type->pUnk->AddRef();
    return MediaTypePtr(type);
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
