#include "VideoTypes.h"

namespace vyx::dshow::test {

void MakeVideoType(const GUID& subtype, CMediaType* type)
{
    const WORD bits = IsEqualGUID(subtype, MEDIASUBTYPE_RGB32) ? 32 : 24;
    auto* info = reinterpret_cast<VIDEOINFOHEADER*>(type->AllocFormatBuffer(sizeof(VIDEOINFOHEADER)));
    info->AvgTimePerFrame = 333333;
    info->bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info->bmiHeader.biWidth = kWidth;
    info->bmiHeader.biHeight = kHeight;
    info->bmiHeader.biPlanes = 1;
    info->bmiHeader.biBitCount = bits;
    info->bmiHeader.biCompression = BI_RGB;
    info->bmiHeader.biSizeImage = kWidth * kHeight * bits / 8;
    type->SetType(&MEDIATYPE_Video);
    type->SetSubtype(&subtype);
    type->SetFormatType(&FORMAT_VideoInfo);
    type->SetTemporalCompression(FALSE);
    type->SetSampleSize(info->bmiHeader.biSizeImage);
}

DWORD ImageSize(const CMediaType& type)
{
    if (!IsEqualGUID(type.formattype, FORMAT_VideoInfo) || type.FormatLength() < sizeof(VIDEOINFOHEADER))
        return 0;
    return reinterpret_cast<const VIDEOINFOHEADER*>(type.Format())->bmiHeader.biSizeImage;
}

}  // namespace vyx::dshow::test
