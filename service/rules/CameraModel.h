#pragma once
// One supported camera model as the service sees it: what to log, which library file to
// register, which class identifier names its registry keys, and which USB IDs are its own.

namespace vyx::service {

struct CameraModel {
    const wchar_t* displayName;  // only after "model=" in log lines
    const wchar_t* dllFileName;  // bare file name, looked for in DX_x86 and DX_x64
    const wchar_t* filterClsid;  // registry string form, braces, upper-case hex
    const wchar_t* hardwareId;   // "VID_vvvv&PID_pppp", upper-case hex
};

}  // namespace vyx::service
