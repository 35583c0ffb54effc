#include "VirtualCameraCommand.h"

#include "ComApartment.h"

#include <mfapi.h>
#include <wrl/client.h>

#include <cwchar>

namespace vyx::vcam {

namespace {

// The frame server loads the source by its class: "{...}" is the form MFCreateVirtualCamera
// takes, and anything else is refused before it is asked.
bool IsClsidText(const wchar_t* text)
{
    CLSID clsid;
    return std::wcslen(text) == 38 && text[0] == L'{' && SUCCEEDED(::CLSIDFromString(text, &clsid));
}

}  // namespace

DWORD RunVirtualCameraCommand(int argc, const wchar_t* const* argv, CreateVirtualCameraFn create)
{
    if (argc != 4 || !IsClsidText(argv[2]) || argv[3][0] == L'\0') {
        return ERROR_BAD_ARGUMENTS;
    }
    const bool add = std::wcscmp(argv[1], L"add") == 0;
    if (!add && std::wcscmp(argv[1], L"remove") != 0) {
        return ERROR_BAD_ARGUMENTS;
    }
    if (create == nullptr) {
        return ERROR_PROC_NOT_FOUND;
    }

    win::ComApartment com;
    if (FAILED(com.Result())) {
        return static_cast<DWORD>(com.Result());
    }
    HRESULT result = ::MFStartup(MF_VERSION, MFSTARTUP_LITE);
    if (FAILED(result)) {
        return static_cast<DWORD>(result);
    }
    {
        Microsoft::WRL::ComPtr<IMFVirtualCamera> camera;
        result = create(MFVirtualCameraType_SoftwareCameraSource, MFVirtualCameraLifetime_System,
                        MFVirtualCameraAccess_AllUsers, argv[3], argv[2], nullptr, 0, &camera);
        if (SUCCEEDED(result)) {
            result = add ? camera->Start(nullptr) : camera->Remove();
        }
    }
    ::MFShutdown();
    return SUCCEEDED(result) ? ERROR_SUCCESS : static_cast<DWORD>(result);
}

}  // namespace vyx::vcam
