#pragma once
// The test build of the virtual-camera helper and its stand-in for MFCreateVirtualCamera
// (StandInVirtualCameras.h), from a test's side: which Windows it plays, the cameras it
// holds, and a copy of the helper in the test's own layout.

#include <map>
#include <string>

namespace vyx::service::test {

// Windows 11 with no camera of ours (the stand-in's key, empty), or Windows 10 (no key).
bool PlayWindows11(bool eleven);
// Source ID to "friendly name;lifetime=N;access=N" for each camera the stand-in holds.
std::map<std::wstring, std::wstring> StandInCameras();
// Copies the x64 tree's test build of the helper into DX_x64 beside this program; false
// where this build root has no x64 tree.
bool LayOutHelperTestBuild();

}  // namespace vyx::service::test
