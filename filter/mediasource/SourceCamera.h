#pragma once
// The media source's whole view of its camera: open it, learn what it offers, configure a
// mode, start and stop its stream, read one frame with its duration, ask whether it is
// still plugged in, reach its controls, keep the user's settings. Everything the source
// does with the camera goes through here, so one implementation file pair holds all camera
// access (LibraryCamera today).
//
// Threads: the source's control threads call Configure, StartStream's counterpart
// StopStream, the controls and SaveSettings; its frame pump calls StartStream and
// ReadFrame. StopStream may come while ReadFrame waits, and makes it return S_FALSE
// promptly. Implementations serialise the rest themselves.
#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <memory>

#include "ModelDescriptor.h"
#include "VyxonCamera.h"

namespace vyx::mf {

struct CameraMode {
    std::int32_t bin;
    std::int32_t width;
    std::int32_t height;
    ImageFormat imageFormat;
    std::int32_t framesPerSecond;  // frame-rate limit; 0 for none
};

struct FrameRates {
    std::int32_t minFps;
    std::int32_t maxFps;
};

// The two standard control surfaces; property numbers are the platform's.
enum class ControlSet { VideoProcAmp, CameraControl };

struct ControlRange {
    long min;
    long max;
    long step;
    long defaultValue;
    long caps;
};

class SourceCamera {
public:
    virtual ~SourceCamera() = default;

    // The open camera's own description (colour, bin factors, image formats); fixed.
    virtual const CameraProp& Description() const = 0;
    virtual FrameRates FrameRateRange() = 0;

    // While the stream is stopped. S_OK, or MF_E_INVALIDMEDIATYPE when the camera refuses
    // the bin, size or format.
    virtual HRESULT Configure(const CameraMode& mode) = 0;
    // S_OK streaming; MF_E_HW_MFT_FAILED_START_STREAMING when the camera refuses.
    virtual HRESULT StartStream() = 0;
    // Stops the stream and ends a ReadFrame in progress; any thread.
    virtual void StopStream() = 0;
    // One frame of the configured mode into `buffer` and its duration (100 ns). S_OK; S_FALSE
    // when StopStream cut it short; MF_E_VIDEO_RECORDING_DEVICE_INVALIDATED when the camera
    // is gone; E_FAIL for a read that failed with the camera still there.
    virtual HRESULT ReadFrame(BYTE* buffer, std::size_t bytes, LONGLONG* duration) = 0;
    virtual bool Present() = 0;

    // The standard properties, mapped as the pin's IAMVideoProcAmp and IAMCameraControl
    // map them (same results).
    virtual HRESULT GetControlRange(ControlSet set, long property, ControlRange* range) = 0;
    virtual HRESULT GetControl(ControlSet set, long property, long* value, long* flags) = 0;
    virtual HRESULT SetControl(ControlSet set, long property, long value, long flags) = 0;

    // Writes the camera's values into the user's settings file (as the filter does).
    virtual void SaveSettings() = 0;
};

// Opens the connected camera of `model` and applies the user's saved control settings.
// S_OK; MF_E_NO_CAPTURE_DEVICES_AVAILABLE when none of the model is plugged in;
// MF_E_VIDEO_DEVICE_LOCKED when it cannot be opened, which with the camera library means
// that another program (or this one's DirectShow filter) holds it.
HRESULT OpenSourceCamera(const ModelDescriptor& model, std::unique_ptr<SourceCamera>* camera);

}  // namespace vyx::mf
