#pragma once
// IAMStreamConfig of the pin: one capability per format-list entry, the pin's current
// format, and the choice of a format, which locks negotiation to it and reconnects the pin.
//
// Threads: any application thread; a choice runs as one configuration change of the pin
// (CVCameraStream::Reconfigure), the getters read the core under its lock.
#include <windows.h>
#include <strmif.h>

#include "InterfaceAdapter.h"

namespace vyx {

class CVCameraStream;

class StreamConfigAdapter : public InterfaceAdapter<IAMStreamConfig> {
public:
    StreamConfigAdapter(IUnknown& owner, CVCameraStream& pin) : InterfaceAdapter(owner), m_pin(pin) {}

    STDMETHODIMP SetFormat(AM_MEDIA_TYPE* type) override;
    STDMETHODIMP GetFormat(AM_MEDIA_TYPE** type) override;
    STDMETHODIMP GetNumberOfCapabilities(int* count, int* size) override;
    STDMETHODIMP GetStreamCaps(int index, AM_MEDIA_TYPE** type, BYTE* caps) override;

private:
    CVCameraStream& m_pin;
};

}  // namespace vyx
