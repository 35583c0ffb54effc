#pragma once
// The media source's whole view of its camera: open it, learn what it offers, configure a
// mode, run its stream through the life the pin's core gives it, read one frame with its
// duration, reach its controls. Everything the source does with the camera goes through
// here, so one implementation file pair holds all camera access (CoreCamera, over the
// capture core the DirectShow pin uses too).
//
// Stream life: Activate, then on the pump's thread BeginStream, ReadFrame per frame and
// EndStream; Run and Pause switch the camera's stream on and off; Stop makes a ReadFrame in
// progress give way and the pump end; Deactivate once the pump's thread has ended.
//
// Threads: the source's control threads call Configure, Activate, Run, Pause, Stop and
// Deactivate, one at a time, and the controls from any thread; the pump's thread calls
// BeginStream, ReadFrame and EndStream. None of Run, Pause and Stop waits for the camera.
#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <memory>

#include "CameraControls.h"
#include "FormatList.h"
#include "FrameRates.h"
#include "ModelDescriptor.h"
#include "VyxonCamera.h"

namespace vyx::mf {

struct CameraMode {
    FormatEntry entry;  // bin and image format, from the core's format list
    std::int32_t width;
    std::int32_t height;
    std::int64_t frameInterval;  // 100 ns; 0 for no frame-rate limit
};

class SourceCamera {
public:
    virtual ~SourceCamera() = default;

    // The open camera's own description (colour, bin factors, image formats); fixed.
    virtual const CameraProp& Description() const = 0;
    virtual FrameRateRange FrameRates() const = 0;

    // While stopped. S_OK, or MF_E_INVALIDMEDIATYPE when the camera refuses the mode.
    virtual HRESULT Configure(const CameraMode& mode) = 0;

    // Stopped -> paused. MF_E_INVALIDREQUEST while the camera is not stopped.
    virtual HRESULT Activate() = 0;
    // Pump thread: starts the camera's stream in the configured mode without waiting.
    // MF_E_VIDEO_RECORDING_DEVICE_INVALIDATED without a camera, MF_E_INVALIDMEDIATYPE when
    // it refuses the mode.
    virtual HRESULT BeginStream() = 0;
    virtual void Run() = 0;
    virtual void Pause() = 0;
    virtual void Stop() = 0;
    // Pump thread: stops the camera's stream and saves the user's settings.
    virtual void EndStream() = 0;
    virtual void Deactivate() = 0;

    // Pump thread: waits for the running stream and reads one frame of the configured mode
    // into `buffer`, with its duration (100 ns). S_OK; S_FALSE when a state change came
    // first; MF_E_VIDEO_RECORDING_DEVICE_INVALIDATED when the camera is gone;
    // MF_E_HW_MFT_FAILED_START_STREAMING when it refused to start; E_FAIL after three reads
    // in a row failed with the camera still there.
    virtual HRESULT ReadFrame(BYTE* buffer, std::size_t bytes, LONGLONG* duration) = 0;

    // The controls in the platform's units, mapped by pin/ControlCalls as the pin maps them.
    virtual CameraControls& Controls() = 0;
};

// Opens the connected camera of `model` and applies the user's saved settings.
// S_OK; MF_E_NO_CAPTURE_DEVICES_AVAILABLE when none of the model is plugged in;
// MF_E_VIDEO_DEVICE_LOCKED when it cannot be opened, which with the camera library means
// that another program (or this one's DirectShow filter) holds it; E_OUTOFMEMORY.
HRESULT OpenSourceCamera(const ModelDescriptor& model, std::unique_ptr<SourceCamera>* camera);

}  // namespace vyx::mf
