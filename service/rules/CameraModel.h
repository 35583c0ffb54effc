#pragma once
// One supported camera model as the service sees it: what to log, which library file to
// register, which class identifier names its registry keys, which USB IDs are its own, and
// what its Windows 11 virtual camera is called and backed by.

namespace vyx::service {

struct CameraModel {
    const wchar_t* displayName;  // only after "model=" in log lines
    const wchar_t* dllFileName;  // bare file name, looked for in DX_x86 and DX_x64
    const wchar_t* filterClsid;  // registry string form, braces, upper-case hex
    const wchar_t* hardwareId;   // "VID_vvvv&PID_pppp", upper-case hex
    const wchar_t* friendlyName;       // the filter's name, which its virtual camera shows too
    const wchar_t* mediaSourceClsid;   // the media source in the same library, "{...}"
};

}  // namespace vyx::service
