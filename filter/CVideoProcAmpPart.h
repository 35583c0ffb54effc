#pragma once
// VYXIAMVideoProcAmp over the pin's open camera: brightness (the sensor offset), gain and
// white balance reach the camera; gamma is only held by the pin. The pin derives from this
// class and supplies IUnknown.
//
// Threads: any application thread, concurrently with the streaming thread and the property
// pages. No lock is taken: the camera library accepts calls from several threads, and the
// cached values in PinState (offset, gain, gainAuto, gamma) are plain writes.
#include <windows.h>
#include <cguid.h>  // GUID_NULL, which PinState.h uses

#include "PinState.h"
#include "VYXIAMVideoProcAmp.h"

class CVideoProcAmpPart : public VYXIAMVideoProcAmp {
public:
    explicit CVideoProcAmpPart(vyx::PinState& state) : m_state(state) {}

    HRESULT STDMETHODCALLTYPE GetRangeImpl(long Property, long* pMin, long* pMax, long* pSteppingDelta,
                                           long* pDefault, long* pCapsFlags) override;
    HRESULT STDMETHODCALLTYPE SetImpl(long Property, long lValue, long Flags) override;
    HRESULT STDMETHODCALLTYPE GetImpl(long Property, long* lValue, long* Flags) override;

private:
    vyx::PinState& m_state;
};
