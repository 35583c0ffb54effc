#include "CoreCamera.h"

#include <mferror.h>

#include <climits>
#include <new>

namespace vyx::mf {

HRESULT OpenSourceCamera(const ModelDescriptor& model, std::unique_ptr<SourceCamera>* camera) {
    if (!camera) return E_POINTER;
    camera->reset();
    auto opened = std::unique_ptr<CoreCamera>(new (std::nothrow) CoreCamera(model));
    if (!opened) return E_OUTOFMEMORY;
    const HRESULT hr = opened->Open();
    if (FAILED(hr)) return hr;
    *camera = std::move(opened);
    return S_OK;
}

HRESULT CoreCamera::Open() {
    switch (m_core.Open()) {
        case CoreStatus::Ok: break;
        case CoreStatus::NoCamera: return MF_E_NO_CAPTURE_DEVICES_AVAILABLE;
        case CoreStatus::OutOfMemory: return E_OUTOFMEMORY;
        default: return MF_E_VIDEO_DEVICE_LOCKED;  // the library opens a camera for one program at a time
    }
    m_prop = m_core.Properties();
    return S_OK;
}

HRESULT CoreCamera::Configure(const CameraMode& mode) {
    const bool limited = mode.frameInterval > 0;
    switch (m_core.ApplyFormat(mode.entry, mode.width, mode.height, limited, mode.frameInterval)) {
        case CoreStatus::Ok: return S_OK;
        case CoreStatus::NotStopped: return MF_E_INVALIDREQUEST;
        case CoreStatus::NoCamera: return MF_E_VIDEO_RECORDING_DEVICE_INVALIDATED;
        default: return MF_E_INVALIDMEDIATYPE;
    }
}

HRESULT CoreCamera::Activate() {
    return m_core.Activate() == CoreStatus::Ok ? S_OK : MF_E_INVALIDREQUEST;
}

HRESULT CoreCamera::BeginStream() {
    switch (m_core.BeginStream()) {
        case CoreStatus::Ok: return S_OK;
        case CoreStatus::NoCamera: return MF_E_VIDEO_RECORDING_DEVICE_INVALIDATED;
        default: return MF_E_INVALIDMEDIATYPE;
    }
}

HRESULT CoreCamera::ReadFrame(BYTE* buffer, std::size_t bytes, LONGLONG* duration) {
    if (!buffer || !duration) return E_POINTER;
    if (bytes > UINT_MAX) return E_INVALIDARG;
    FrameInfo frame;
    const FrameRead read = m_core.ReadFrame(buffer, static_cast<std::uint32_t>(bytes), nullptr, &frame);
    *duration = frame.duration;
    switch (read) {
        case FrameRead::Ok: return S_OK;
        case FrameRead::GaveWay: return S_FALSE;
        case FrameRead::Lost:
        case FrameRead::NotOpen: return MF_E_VIDEO_RECORDING_DEVICE_INVALIDATED;
        case FrameRead::Failed: break;
    }
    return m_core.Session().CurrentStream() == CaptureSession::Stream::Refused ? MF_E_HW_MFT_FAILED_START_STREAMING
                                                                                 : E_FAIL;
}

}  // namespace vyx::mf
