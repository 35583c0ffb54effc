#include "CVideoProcAmpPart.h"

#include <strmif.h>
#include <vfwmsgs.h>

namespace {

constexpr long kFlagsAuto = VideoProcAmp_Flags_Auto;
constexpr long kFlagsManual = VideoProcAmp_Flags_Manual;
constexpr long kCapsAutoAndManual = kFlagsAuto | kFlagsManual;

constexpr long kGammaMin = 1;
constexpr long kGammaMax = 100;
constexpr long kGammaDefault = 50;
// The camera's white balance moves in coarse steps; a step of 1 makes sliders useless.
constexpr long kWhiteBalanceStep = 100;

bool IsSupported(long property) {
    return property == VideoProcAmp_Brightness || property == VideoProcAmp_Gamma ||
           property == VideoProcAmp_WhiteBalance || property == VideoProcAmp_Gain;
}

// Gamma is held by the pin alone; every other property is the camera's.
bool NeedsCamera(long property) { return property != VideoProcAmp_Gamma; }

// Below the minimum gives the minimum, otherwise above the maximum gives the maximum, so
// a camera that reports a reversed range still gets a value it reported.
long ClampIntoRange(long value, long minimum, long maximum) {
    if (value < minimum) return minimum;
    if (value > maximum) return maximum;
    return value;
}

}  // namespace

// VYXIAMVideoProcAmp

HRESULT STDMETHODCALLTYPE CVideoProcAmpPart::GetRangeImpl(long Property, long* pMin, long* pMax,
                                                          long* pSteppingDelta, long* pDefault,
                                                          long* pCapsFlags) {
    CAutoLock lock(&m_lock);
    if (!IsSupported(Property)) return E_PROP_ID_UNSUPPORTED;
    if (!pMin || !pMax || !pSteppingDelta || !pDefault || !pCapsFlags) return E_POINTER;
    VyxonCamera* camera = m_state.camera;
    if (NeedsCamera(Property) && !camera) return E_UNEXPECTED;

    // The library reports maximum, minimum, default; the platform wants minimum first.
    int maximum = 0, minimum = 0, defaultValue = 0;
    long step = 1;
    long caps = kCapsAutoAndManual;
    switch (Property) {
        case VideoProcAmp_Brightness:
            camera->GetOffsetRange(&maximum, &minimum, &defaultValue);
            caps = kFlagsManual;
            break;
        case VideoProcAmp_Gamma:
            minimum = kGammaMin;
            maximum = kGammaMax;
            defaultValue = kGammaDefault;
            caps = kFlagsManual;
            break;
        case VideoProcAmp_WhiteBalance: {
            int defaultGreen = 0, defaultBlue = 0;
            camera->GetWhiteBalanceRange(&maximum, &minimum, &defaultValue, &defaultGreen, &defaultBlue);
            step = kWhiteBalanceStep;
            break;
        }
        case VideoProcAmp_Gain:
            camera->GetGainRange(&maximum, &minimum, &defaultValue);
            break;
    }
    *pMin = minimum;
    *pMax = maximum;
    *pSteppingDelta = step;
    *pDefault = defaultValue;
    *pCapsFlags = caps;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CVideoProcAmpPart::SetImpl(long Property, long lValue, long Flags) {
    CAutoLock lock(&m_lock);
    if (!IsSupported(Property)) return E_PROP_ID_UNSUPPORTED;
    VyxonCamera* camera = m_state.camera;
    if (NeedsCamera(Property) && !camera) return E_UNEXPECTED;

    int maximum = 0, minimum = 0, defaultValue = 0;
    switch (Property) {
        case VideoProcAmp_Brightness: {
            camera->GetOffsetRange(&maximum, &minimum, &defaultValue);
            const long offset = ClampIntoRange(lValue, minimum, maximum);
            m_state.offset = offset;
            camera->SetOffset(offset);
            break;
        }
        case VideoProcAmp_Gamma:
            m_state.gamma = ClampIntoRange(lValue, kGammaMin, kGammaMax);
            break;
        case VideoProcAmp_WhiteBalance: {
            // Only the automatic mode changes: the current red, green and blue go back as they are.
            int red = 0, green = 0, blue = 0;
            bool autoMode = false;
            camera->GetWhiteBalance(&red, &green, &blue, &autoMode);
            camera->SetWhiteBalance(red, green, blue, Flags == kFlagsAuto);
            break;
        }
        case VideoProcAmp_Gain: {
            camera->GetGainRange(&maximum, &minimum, &defaultValue);
            const long gain = ClampIntoRange(lValue, minimum, maximum);
            m_state.gain = gain;
            camera->SetGain(gain, Flags == kFlagsAuto);
            break;
        }
    }
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CVideoProcAmpPart::GetImpl(long Property, long* lValue, long* Flags) {
    CAutoLock lock(&m_lock);
    if (!IsSupported(Property)) return E_PROP_ID_UNSUPPORTED;
    if (!lValue || !Flags) return E_POINTER;
    VyxonCamera* camera = m_state.camera;
    if (NeedsCamera(Property) && !camera) return E_UNEXPECTED;

    switch (Property) {
        case VideoProcAmp_Brightness: {
            int maximum = 0, minimum = 0, defaultValue = 0;
            camera->GetOffsetRange(&maximum, &minimum, &defaultValue);
            int offset = m_state.offset;
            camera->GetOffset(&offset);
            m_state.offset = offset;
            *lValue = ClampIntoRange(offset, minimum, maximum);
            *Flags = kFlagsManual;
            break;
        }
        case VideoProcAmp_Gamma:
            *lValue = m_state.gamma;
            *Flags = kFlagsManual;
            break;
        case VideoProcAmp_WhiteBalance: {
            int red = 0, green = 0, blue = 0;
            bool autoMode = false;
            camera->GetWhiteBalance(&red, &green, &blue, &autoMode);
            *lValue = red;
            *Flags = autoMode ? kFlagsAuto : kFlagsManual;
            break;
        }
        case VideoProcAmp_Gain: {
            int gain = m_state.gain;
            bool autoMode = m_state.gainAuto;
            camera->GetGain(&gain, &autoMode);
            m_state.gain = gain;
            m_state.gainAuto = autoMode;
            *lValue = gain;
            *Flags = autoMode ? kFlagsAuto : kFlagsManual;
            break;
        }
    }
    return S_OK;
}
