#pragma once
// IAMVideoControl of the pin: image flips (switched on, never off, through this
// interface) and frame-rate information. The pin argument of every operation is ignored.
#include <windows.h>
#include <strmif.h>

#include "InterfaceAdapter.h"

namespace vyx {

class CVCameraStream;

class VideoControlAdapter : public InterfaceAdapter<IAMVideoControl> {
public:
    VideoControlAdapter(IUnknown& owner, CVCameraStream& pin) : InterfaceAdapter(owner), m_pin(pin) {}

    STDMETHODIMP GetCaps(IPin* pin, LONG* flags) override;
    STDMETHODIMP SetMode(IPin* pin, LONG mode) override;
    STDMETHODIMP GetMode(IPin* pin, LONG* mode) override;
    STDMETHODIMP GetCurrentActualFrameRate(IPin* pin, LONGLONG* frameDuration) override;
    STDMETHODIMP GetMaxAvailableFrameRate(IPin* pin, LONG index, SIZE dimensions, LONGLONG* frameDuration) override;
    STDMETHODIMP GetFrameRateList(IPin* pin, LONG index, SIZE dimensions, LONG* listSize,
                                  LONGLONG** frameDurations) override;

private:
    CVCameraStream& m_pin;
};

}  // namespace vyx
