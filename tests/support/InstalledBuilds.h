#pragma once
// The installed layout (build/dist) as tests and benchmarks reach it, and the platform's
// regsvr32. cmake/wine-run gives the layout's Windows path in VYX_DIST; the builds, the tools
// and regsvr32 are those of the calling program's architecture.
#include <windows.h>

#include <string>

#include "vyx_catalogue.h"

namespace vyx::test {

// The layout's folder; empty where VYX_DIST is not set.
std::wstring DistPath();
// DX_<arch>\fileName and tools_<arch>\fileName in the layout.
std::wstring FilterBuildPath(const std::wstring& fileName);
std::wstring ToolPath(const std::wstring& fileName);
std::wstring DllPath(const vyx::catalogue::ModelRow& row);

// regsvr32's exit code, or kNoExitCode when it could not run or was ended after a minute.
DWORD Regsvr32(const std::wstring& arguments);
DWORD Register(const vyx::catalogue::ModelRow& row);
DWORD Unregister(const vyx::catalogue::ModelRow& row);

}  // namespace vyx::test
