#include "CVideoProcAmpPart.h"

#include "ControlMapping.h"

// VYXIAMVideoProcAmp

HRESULT STDMETHODCALLTYPE CVideoProcAmpPart::GetRangeImpl(long Property, long* pMin, long* pMax,
                                                          long* pSteppingDelta, long* pDefault,
                                                          long* pCapsFlags) {
    CAutoLock lock(&m_lock);
    return vyx::VideoProcAmpGetRange(m_state, Property, pMin, pMax, pSteppingDelta, pDefault, pCapsFlags);
}

HRESULT STDMETHODCALLTYPE CVideoProcAmpPart::SetImpl(long Property, long lValue, long Flags) {
    CAutoLock lock(&m_lock);
    return vyx::VideoProcAmpSet(m_state, Property, lValue, Flags);
}

HRESULT STDMETHODCALLTYPE CVideoProcAmpPart::GetImpl(long Property, long* lValue, long* Flags) {
    CAutoLock lock(&m_lock);
    return vyx::VideoProcAmpGet(m_state, Property, lValue, Flags);
}
