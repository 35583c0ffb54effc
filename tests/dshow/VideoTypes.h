#pragma once
// Uncompressed video types with a VIDEOINFOHEADER, as the test source offers them.
#include <streams.h>

namespace vyx::dshow::test {

constexpr LONG kWidth = 64;
constexpr LONG kHeight = 48;

// subtype is MEDIASUBTYPE_RGB24 or MEDIASUBTYPE_RGB32.
void MakeVideoType(const GUID& subtype, CMediaType* type);
DWORD ImageSize(const CMediaType& type);

}  // namespace vyx::dshow::test
