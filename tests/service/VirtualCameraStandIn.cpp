#include "VirtualCameraStandIn.h"

#include "StandInVirtualCameras.h"
#include "TestLayout.h"
#include "UniqueResource.h"
#include "VirtualCameraCommand.h"

#include <windows.h>

namespace vyx::service::test {

bool PlayWindows11(bool eleven)
{
    ::RegDeleteKeyExW(HKEY_LOCAL_MACHINE, vcam::kStandInKey, KEY_WOW64_64KEY, 0);
    if (!eleven) {
        return true;
    }
    win::UniqueRegKey key;
    return ::RegCreateKeyExW(HKEY_LOCAL_MACHINE, vcam::kStandInKey, 0, nullptr, 0, KEY_WRITE | KEY_WOW64_64KEY,
                             nullptr, key.Put(), nullptr) == ERROR_SUCCESS;
}

std::map<std::wstring, std::wstring> StandInCameras()
{
    std::map<std::wstring, std::wstring> cameras;
    win::UniqueRegKey key;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, vcam::kStandInKey, 0, KEY_QUERY_VALUE | KEY_WOW64_64KEY, key.Put()) !=
        ERROR_SUCCESS) {
        return cameras;
    }
    for (DWORD i = 0;; ++i) {
        wchar_t name[64] = {};
        wchar_t data[256] = {};
        DWORD nameLength = 64;
        DWORD dataSize = sizeof(data) - sizeof(wchar_t);
        if (::RegEnumValueW(key.Get(), i, name, &nameLength, nullptr, nullptr, reinterpret_cast<BYTE*>(data),
                            &dataSize) != ERROR_SUCCESS) {
            return cameras;
        }
        cameras[name] = data;
    }
}

bool LayOutHelperTestBuild()
{
    const std::wstring helper = std::wstring(VYX_VCAM_TEST_HELPER_DIR) + L"\\" + vcam::kHelperFileName;
    return ::CopyFileW(helper.c_str(), (LayoutFolder(FilterArch::X64) + L"\\" + vcam::kHelperFileName).c_str(),
                       FALSE) != FALSE;
}

}  // namespace vyx::service::test
