#pragma once
// The installed layout's filter builds (environment VYX_DIST) and the platform's regsvr32,
// both of the calling program's architecture.
#include <windows.h>

#include <string>

#include "vyx_catalogue.h"

namespace vyx::test {

std::wstring DllPath(const vyx::catalogue::ModelRow& row);
// regsvr32's exit code; 0xFFFFFFFF when it could not run or was ended after a minute.
DWORD Regsvr32(const std::wstring& arguments);
DWORD Register(const vyx::catalogue::ModelRow& row);
DWORD Unregister(const vyx::catalogue::ModelRow& row);

}  // namespace vyx::test
