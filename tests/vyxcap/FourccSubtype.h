#pragma once

#include <windows.h>
#include <dshow.h>

// A FOURCC's media subtype: the code in the first field of the platform's FOURCC base GUID.
inline GUID FourccSubtype(DWORD code) {
    GUID guid = MEDIASUBTYPE_YUY2;
    guid.Data1 = code;
    return guid;
}
