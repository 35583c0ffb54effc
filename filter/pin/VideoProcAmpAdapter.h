#pragma once
// IAMVideoProcAmp of the pin: brightness (the sensor offset), gamma, white balance and gain
// through the core's controls; every other property is unsupported.
#include <windows.h>
#include <strmif.h>

#include "InterfaceAdapter.h"

namespace vyx {

class CameraControls;

class VideoProcAmpAdapter : public InterfaceAdapter<IAMVideoProcAmp> {
public:
    VideoProcAmpAdapter(IUnknown& owner, CameraControls& controls) : InterfaceAdapter(owner), m_controls(controls) {}

    STDMETHODIMP GetRange(long property, long* min, long* max, long* step, long* byDefault, long* caps) override;
    STDMETHODIMP Set(long property, long value, long flags) override;
    STDMETHODIMP Get(long property, long* value, long* flags) override;

private:
    CameraControls& m_controls;
};

}  // namespace vyx
