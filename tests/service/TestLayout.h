#pragma once
// The installed layout a test program builds beside itself (DX_x86, DX_x64), since the
// service looks for filter builds beside its own executable, and the files put there:
// hand-made PE images (MinimalPeImage), or real filter builds copied from the installed layout.

#include "FilterArch.h"

#include <cstdint>
#include <string>
#include <vector>

namespace vyx::service::test {

std::wstring ExecutableDirectory();
std::wstring LayoutFolder(FilterArch arch);
// Empties and recreates DX_x86 and DX_x64 beside the test program, each with a stand-in
// VyxonCamera.dll.
void ResetLayout();
void RemoveTree(const std::wstring& path);

bool WriteFileBytes(const std::wstring& path, const std::vector<std::uint8_t>& bytes);

// Copies DX_<arch>\name from the installed layout into the test's own layout.
bool CopyFromDist(FilterArch arch, const std::wstring& fileName);
bool DistHasFilterBuilds();

}  // namespace vyx::service::test
