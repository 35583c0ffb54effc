#pragma once
// VYXIAMVideoProcAmp over the pin's open camera: brightness (the sensor offset), gain and
// white balance reach the camera; gamma is only held by the pin. The pin derives from this
// class and supplies IUnknown.
//
// Threads: any application thread, concurrently with the streaming thread and the property
// pages. Every call holds the pin's instance lock, under which ICameraInstance replaces the
// camera, so the camera it reads is the pin's current one and the cached values in PinState
// (offset, gain, gainAuto, gamma) are written by one thread at a time. The camera calls
// made under it are short; none waits for a frame.
#include <windows.h>
#include <cguid.h>  // GUID_NULL, which PinState.h uses

#include "CAutoLock.h"
#include "CCritSec.h"
#include "PinState.h"
#include "VYXIAMVideoProcAmp.h"

class CVideoProcAmpPart : public VYXIAMVideoProcAmp {
public:
    // `lock` guards the camera pointer and the cached values; every call holds it.
    CVideoProcAmpPart(vyx::PinState& state, CCritSec& lock) : m_state(state), m_lock(lock) {}

    HRESULT STDMETHODCALLTYPE GetRangeImpl(long Property, long* pMin, long* pMax, long* pSteppingDelta,
                                           long* pDefault, long* pCapsFlags) override;
    HRESULT STDMETHODCALLTYPE SetImpl(long Property, long lValue, long Flags) override;
    HRESULT STDMETHODCALLTYPE GetImpl(long Property, long* lValue, long* Flags) override;

private:
    vyx::PinState& m_state;
    CCritSec& m_lock;  // the pin's instance lock
};
