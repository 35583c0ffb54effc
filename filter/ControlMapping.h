#pragma once
// The standard control properties (the platform's VideoProcAmpProperty and
// CameraControlProperty, whose numbers the kernel-streaming property sets share) mapped
// onto the camera library, once for every surface that offers them: IAMVideoProcAmp and
// IAMCameraControl on the pin, IKsControl on the media source.
//
// Each function reads state.camera and reads and writes the cached camera values of
// `state` (offset, gain, gamma, exposure, region start); for pan and tilt it also reads the
// current bin and frame size. Callers hold whatever lock guards `state`; nothing here waits
// for a frame.
#include <windows.h>
#include <cguid.h>  // GUID_NULL, which PinState.h uses

#include <cstdint>

#include "PinState.h"
#include "ResolutionLadder.h"
#include "VYXIAMCameraControl.h"  // CameraControl_HardwareBin, the private binning property

namespace vyx {

// Results: S_OK once the camera is reached (its own failures are not reported);
// E_PROP_ID_UNSUPPORTED for a property (or operation on it) that is not offered, E_POINTER
// for a missing out-value, E_UNEXPECTED without a camera.
HRESULT VideoProcAmpGetRange(PinState& state, long property, long* min, long* max, long* step, long* defaultValue,
                             long* caps);
HRESULT VideoProcAmpSet(PinState& state, long property, long value, long flags);
HRESULT VideoProcAmpGet(PinState& state, long property, long* value, long* flags);

// `sensor` is the model's full sensor at bin 1.
HRESULT CameraControlGetRange(PinState& state, Resolution sensor, long property, long* min, long* max, long* step,
                              long* defaultValue, long* caps);
HRESULT CameraControlSet(PinState& state, Resolution sensor, long property, long value, long flags);
// The hardware-binning property leaves `flags` untouched, so it may be null there.
HRESULT CameraControlGet(PinState& state, Resolution sensor, long property, long* value, long* flags);

// Exposure in the platform's units, 2^n seconds: log2 of the time in single precision,
// truncated toward zero (10 ms gives -6). A time of zero or less gives the shortest
// exposure the interfaces can express, -17.
long ExposureToLog2Seconds(std::int32_t microseconds);

}  // namespace vyx
