#pragma once
// The HRESULTs the pin's interfaces answer for what the capture core reports.
#include <windows.h>
#include <vfwmsgs.h>

#include "CoreStatus.h"

namespace vyx {

// For the configuration setters and the camera replacement: refused while the filter is
// not stopped, a value outside the camera's offer, a camera that refuses.
inline HRESULT ConfigurationResult(CoreStatus status) {
    switch (status) {
        case CoreStatus::Ok: return S_OK;
        case CoreStatus::NotStopped: return VFW_E_NOT_STOPPED;
        case CoreStatus::Busy: return VFW_E_WRONG_STATE;
        case CoreStatus::InvalidArgument: return E_INVALIDARG;
        case CoreStatus::OutOfMemory: return E_OUTOFMEMORY;
        case CoreStatus::NoCamera: return E_UNEXPECTED;
        case CoreStatus::CameraRefused:
        case CoreStatus::OpenFailed: return E_FAIL;
    }
    return E_FAIL;
}

// For the pin's construction: no camera of the model, one that cannot be opened.
inline HRESULT OpenResult(CoreStatus status) {
    switch (status) {
        case CoreStatus::Ok: return S_OK;
        case CoreStatus::NoCamera: return E_HANDLE;
        case CoreStatus::OutOfMemory: return E_OUTOFMEMORY;
        default: return E_FAIL;
    }
}

}  // namespace vyx
