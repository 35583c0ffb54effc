#include "CCameraControlPart.h"

#include "ControlMapping.h"

long CCameraControlPart::ExposureToLog2Seconds(std::int32_t microseconds) {
    return vyx::ExposureToLog2Seconds(microseconds);
}

// VYXIAMCameraControl

HRESULT STDMETHODCALLTYPE CCameraControlPart::GetRangeImpl(long Property, long* pMin, long* pMax,
                                                           long* pSteppingDelta, long* pDefault,
                                                           long* pCapsFlags) {
    CAutoLock lock(&m_lock);
    return vyx::CameraControlGetRange(m_state, Sensor(), Property, pMin, pMax, pSteppingDelta, pDefault, pCapsFlags);
}

HRESULT STDMETHODCALLTYPE CCameraControlPart::SetImpl(long Property, long lValue, long Flags) {
    CAutoLock lock(&m_lock);
    return vyx::CameraControlSet(m_state, Sensor(), Property, lValue, Flags);
}

HRESULT STDMETHODCALLTYPE CCameraControlPart::GetImpl(long Property, long* lValue, long* Flags) {
    CAutoLock lock(&m_lock);
    return vyx::CameraControlGet(m_state, Sensor(), Property, lValue, Flags);
}
