#pragma once
// Names of media subtypes as users type them: RGB24, YUY2, Y16 ...
#include <windows.h>

#include <string>

namespace vyx::vyxcap {

// The uncompressed RGB subtypes by their usual names, a FOURCC subtype by its code without
// trailing spaces ("Y16 " is "Y16"), anything else as its GUID in registry form.
std::wstring SubtypeName(const GUID& subtype);

}  // namespace vyx::vyxcap
