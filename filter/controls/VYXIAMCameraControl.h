#pragma once
// The pin's camera control. The three operations after IUnknown have the order and
// parameters of the platform's IAMCameraControl, so the pin hands this interface out for
// IID_IAMCameraControl. They forward to the *Impl operations because the pin also
// implements VYXIAMVideoProcAmp, whose operations carry the same names: each interface
// gets its own implementation through its own adapter base class.
#include <windows.h>
#include <unknwn.h>

// Private property: switches the camera's hardware binning (value 1 on, 0 off).
inline constexpr long CameraControl_HardwareBin = 10001;

struct VYXIAMCameraControl : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE GetRange(long Property, long* pMin, long* pMax, long* pSteppingDelta,
                                               long* pDefault, long* pCapsFlags) {
        return GetRangeImpl(Property, pMin, pMax, pSteppingDelta, pDefault, pCapsFlags);
    }
    virtual HRESULT STDMETHODCALLTYPE Set(long Property, long lValue, long Flags) {
        return SetImpl(Property, lValue, Flags);
    }
    virtual HRESULT STDMETHODCALLTYPE Get(long Property, long* lValue, long* Flags) {
        return GetImpl(Property, lValue, Flags);
    }

    virtual HRESULT STDMETHODCALLTYPE GetRangeImpl(long Property, long* pMin, long* pMax, long* pSteppingDelta,
                                                   long* pDefault, long* pCapsFlags) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetImpl(long Property, long lValue, long Flags) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetImpl(long Property, long* lValue, long* Flags) = 0;
};
