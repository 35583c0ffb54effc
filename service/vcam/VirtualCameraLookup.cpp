#include "VirtualCameraCommand.h"

namespace vyx::vcam {

CreateVirtualCameraFn LookUpCreateVirtualCamera()
{
    // Only the system's copy: a library of that name beside the helper is never loaded.
    HMODULE library = ::LoadLibraryExW(L"mfsensorgroup.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    if (library == nullptr) {
        return nullptr;
    }
    return reinterpret_cast<CreateVirtualCameraFn>(
        reinterpret_cast<void (*)()>(::GetProcAddress(library, "MFCreateVirtualCamera")));
}

}  // namespace vyx::vcam
