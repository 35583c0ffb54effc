#pragma once
// The two architectures every model is built for. Everything that differs between them
// (folder, registry view, PE machine type, log text) follows from the value.

#include <windows.h>

namespace vyx::service {

enum class FilterArch { X86, X64 };

inline const wchar_t* ArchText(FilterArch arch) { return arch == FilterArch::X86 ? L"x86" : L"x64"; }
inline const wchar_t* ArchFolder(FilterArch arch) { return arch == FilterArch::X86 ? L"DX_x86" : L"DX_x64"; }
// Added to every registry access, so the 32-bit service reads and writes both views.
inline REGSAM ArchViewFlag(FilterArch arch) { return arch == FilterArch::X86 ? KEY_WOW64_32KEY : KEY_WOW64_64KEY; }
inline WORD ArchMachine(FilterArch arch)
{
    return arch == FilterArch::X86 ? IMAGE_FILE_MACHINE_I386 : IMAGE_FILE_MACHINE_AMD64;
}

}  // namespace vyx::service
