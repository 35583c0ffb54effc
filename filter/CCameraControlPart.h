#pragma once
// VYXIAMCameraControl over the pin's open camera: exposure in log2 seconds, pan and tilt
// of the region of interest around the centred position, ST4 guide pulses on roll, zoom,
// iris and focus, and the private hardware-binning property. The pin derives from this
// class and supplies IUnknown.
//
// Threads: any application thread, concurrently with the streaming thread and the property
// pages. Every call holds the pin's instance lock, under which ICameraInstance replaces the
// camera and changes the bin and frame size, so the camera it reads is the pin's current
// one and the cached values in PinState (exposure, its log2 value and auto flag, start
// position) are written by one thread at a time. The streaming thread reads exposureUs
// alone, which is atomic. The camera calls made under the lock are short; none waits for a
// frame.
#include <windows.h>
#include <cguid.h>  // GUID_NULL, which PinState.h uses

#include <cstdint>

#include "CAutoLock.h"
#include "CCritSec.h"
#include "PinState.h"
#include "ResolutionLadder.h"
#include "VYXIAMCameraControl.h"

class CCameraControlPart : public VYXIAMCameraControl {
public:
    // The sensor size is the model's full sensor at bin 1 (the descriptor's).
    // `lock` guards the camera pointer and the cached values; every call holds it.
    CCameraControlPart(vyx::PinState& state, CCritSec& lock, std::int32_t sensorWidth, std::int32_t sensorHeight)
        : m_state(state), m_lock(lock), m_sensorWidth(sensorWidth), m_sensorHeight(sensorHeight) {}

    HRESULT STDMETHODCALLTYPE GetRangeImpl(long Property, long* pMin, long* pMax, long* pSteppingDelta,
                                           long* pDefault, long* pCapsFlags) override;
    HRESULT STDMETHODCALLTYPE SetImpl(long Property, long lValue, long Flags) override;
    HRESULT STDMETHODCALLTYPE GetImpl(long Property, long* lValue, long* Flags) override;

    // The mapping's exposure units (ControlMapping.h), for the pin's starting state.
    static long ExposureToLog2Seconds(std::int32_t microseconds);

private:
    vyx::Resolution Sensor() const { return {m_sensorWidth, m_sensorHeight}; }

    vyx::PinState& m_state;
    CCritSec& m_lock;  // the pin's instance lock
    const std::int32_t m_sensorWidth;
    const std::int32_t m_sensorHeight;
};
