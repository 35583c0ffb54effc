#pragma once
// IAMCameraControl of the pin: pan, tilt and exposure, ST4 guide pulses on roll (north),
// zoom (south), iris (west) and focus (east), and the private hardware-binning property,
// through the core's controls; every other property is unsupported.
#include <windows.h>
#include <strmif.h>

#include "InterfaceAdapter.h"

namespace vyx {

// Private property: switches the camera's hardware binning (value 1 on, 0 off).
inline constexpr long CameraControl_HardwareBin = 10001;

class CameraControls;

class CameraControlAdapter : public InterfaceAdapter<IAMCameraControl> {
public:
    CameraControlAdapter(IUnknown& owner, CameraControls& controls) : InterfaceAdapter(owner), m_controls(controls) {}

    STDMETHODIMP GetRange(long property, long* min, long* max, long* step, long* byDefault, long* caps) override;
    STDMETHODIMP Set(long property, long value, long flags) override;
    // The hardware-binning property leaves `flags` untouched, so it may be null there.
    STDMETHODIMP Get(long property, long* value, long* flags) override;

private:
    CameraControls& m_controls;
};

}  // namespace vyx
