#include "SubtypeName.h"

#include <objbase.h>
#include <uuids.h>

namespace vyx::vyxcap {
namespace {

// FOURCC subtypes are the code followed by the fixed tail 0000-0010-8000-00AA00389B71.
bool IsFourccSubtype(const GUID& subtype) {
    static constexpr BYTE kTail[8] = {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
    if (subtype.Data2 != 0x0000 || subtype.Data3 != 0x0010) return false;
    for (int i = 0; i < 8; ++i)
        if (subtype.Data4[i] != kTail[i]) return false;
    for (int i = 0; i < 4; ++i) {
        const unsigned c = (subtype.Data1 >> (8 * i)) & 0xFF;
        if (c < 0x20 || c > 0x7E) return false;
    }
    return true;
}

}  // namespace

std::wstring SubtypeName(const GUID& subtype) {
    struct Named {
        const GUID* guid;
        const wchar_t* name;
    };
    static const Named kNamed[] = {
        {&MEDIASUBTYPE_RGB1, L"RGB1"},     {&MEDIASUBTYPE_RGB4, L"RGB4"},
        {&MEDIASUBTYPE_RGB8, L"RGB8"},     {&MEDIASUBTYPE_RGB555, L"RGB555"},
        {&MEDIASUBTYPE_RGB565, L"RGB565"}, {&MEDIASUBTYPE_RGB24, L"RGB24"},
        {&MEDIASUBTYPE_RGB32, L"RGB32"},   {&MEDIASUBTYPE_ARGB32, L"ARGB32"},
    };
    for (const Named& named : kNamed)
        if (*named.guid == subtype) return named.name;
    if (IsFourccSubtype(subtype)) {
        std::wstring code;
        for (int i = 0; i < 4; ++i) code += static_cast<wchar_t>((subtype.Data1 >> (8 * i)) & 0xFF);
        while (!code.empty() && code.back() == L' ') code.pop_back();
        return code;
    }
    wchar_t text[40] = {};
    StringFromGUID2(subtype, text, 40);
    return text;
}

}  // namespace vyx::vyxcap
