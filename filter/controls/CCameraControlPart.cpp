#include "CCameraControlPart.h"

#include <strmif.h>
#include <vfwmsgs.h>

#include <climits>
#include <cmath>

#include "ResolutionLadder.h"

namespace {

constexpr long kFlagsAuto = CameraControl_Flags_Auto;
constexpr long kFlagsManual = CameraControl_Flags_Manual;
constexpr long kCapsAutoAndManual = kFlagsAuto | kFlagsManual;

// Exposure exponents: 2^-17 s (7 us) to 2^11 s (2048 s). Larger values are microseconds.
constexpr long kExposureLog2Min = -17;
constexpr long kExposureLog2Max = 11;
// Pan and tilt move the region of interest by whole Bayer cells.
constexpr long kPositionStep = 2;

enum class Operation { GetRange, Get, Set };

bool IsSupported(long property, Operation operation) {
    switch (property) {
        case CameraControl_Pan:
        case CameraControl_Tilt:
        case CameraControl_Exposure:
            return true;
        case CameraControl_HardwareBin:
            return operation != Operation::GetRange;
        case CameraControl_Roll:
        case CameraControl_Zoom:
        case CameraControl_Iris:
        case CameraControl_Focus:
            return operation == Operation::Set;  // guide pulses: nothing to read
        default:
            return false;
    }
}

GuideDirection PulseDirection(long property) {
    switch (property) {
        case CameraControl_Roll: return GUIDE_NORTH;
        case CameraControl_Zoom: return GUIDE_SOUTH;
        case CameraControl_Iris: return GUIDE_WEST;
        default: return GUIDE_EAST;  // CameraControl_Focus
    }
}

// Positions are passed on unchecked (the camera library bounds them), but never as an
// overflowed int.
int ToCameraPosition(long long position) {
    if (position < INT_MIN) return INT_MIN;
    if (position > INT_MAX) return INT_MAX;
    return static_cast<int>(position);
}

}  // namespace

long CCameraControlPart::ExposureToLog2Seconds(std::int32_t microseconds) {
    if (microseconds <= 0) return kExposureLog2Min;
    const float seconds = static_cast<float>(microseconds) / 1000000.0f;
    return static_cast<long>(std::log2(seconds));  // float overload: single precision, as the pages show it
}

long CCameraControlPart::CentredStart(long property) const {
    const vyx::Resolution binned = vyx::FrameSizeAtBin({m_sensorWidth, m_sensorHeight}, m_state.bin);
    return property == CameraControl_Pan ? (binned.width - m_state.width) / 2
                                         : (binned.height - m_state.height) / 2;
}

void CCameraControlPart::RefreshStartPosition(VyxonCamera& camera) {
    int x = m_state.startX, y = m_state.startY;
    camera.GetImgStartPos(&x, &y);
    m_state.startX = x;
    m_state.startY = y;
}

// VYXIAMCameraControl

HRESULT STDMETHODCALLTYPE CCameraControlPart::GetRangeImpl(long Property, long* pMin, long* pMax,
                                                           long* pSteppingDelta, long* pDefault,
                                                           long* pCapsFlags) {
    CAutoLock lock(&m_lock);
    if (!IsSupported(Property, Operation::GetRange)) return E_PROP_ID_UNSUPPORTED;
    if (!pMin || !pMax || !pSteppingDelta || !pDefault || !pCapsFlags) return E_POINTER;

    if (Property == CameraControl_Exposure) {
        VyxonCamera* camera = m_state.camera;
        if (!camera) return E_UNEXPECTED;
        int maximum = 0, minimum = 0, defaultValue = 0;
        camera->GetExposureRange(&maximum, &minimum, &defaultValue);
        *pMin = kExposureLog2Min;
        *pMax = kExposureLog2Max;
        *pSteppingDelta = 1;
        *pDefault = ExposureToLog2Seconds(defaultValue);
        *pCapsFlags = kCapsAutoAndManual;
        return S_OK;
    }

    // Pan and tilt: offsets of the region's start from the start that centres it.
    *pMin = -CentredStart(Property);
    *pMax = CentredStart(Property);
    *pSteppingDelta = kPositionStep;
    *pDefault = 0;
    *pCapsFlags = kFlagsManual;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CCameraControlPart::SetImpl(long Property, long lValue, long Flags) {
    CAutoLock lock(&m_lock);
    if (!IsSupported(Property, Operation::Set)) return E_PROP_ID_UNSUPPORTED;
    VyxonCamera* camera = m_state.camera;
    if (!camera) return E_UNEXPECTED;

    switch (Property) {
        case CameraControl_Pan:
        case CameraControl_Tilt: {
            RefreshStartPosition(*camera);
            const int position = ToCameraPosition(static_cast<long long>(lValue) + CentredStart(Property));
            if (Property == CameraControl_Pan)
                camera->SetImgStartPos(position, m_state.startY);
            else
                camera->SetImgStartPos(m_state.startX, position);
            break;
        }
        case CameraControl_Exposure: {
            int microseconds = lValue;
            if (lValue <= kExposureLog2Max) {
                const long exponent = lValue < kExposureLog2Min ? kExposureLog2Min : lValue;
                m_state.exposureLog2 = exponent;
                microseconds = static_cast<int>(std::pow(2.0, exponent) * 1000000.0);
            }
            m_state.exposureUs = microseconds;
            camera->SetExposure(microseconds, Flags == kFlagsAuto);
            // The camera may bound the time: cache what is actually in force.
            int actual = microseconds;
            bool autoMode = Flags == kFlagsAuto;
            camera->GetExposure(&actual, &autoMode);
            m_state.exposureUs = actual;
            m_state.exposureAuto = autoMode;
            break;
        }
        case CameraControl_HardwareBin:
            camera->SetHardBinEnable(lValue != 0);
            break;
        default:  // roll, zoom, iris, focus: ST4 guide pulses of lValue milliseconds
            camera->GuidePulse(PulseDirection(Property), lValue);
            break;
    }
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CCameraControlPart::GetImpl(long Property, long* lValue, long* Flags) {
    CAutoLock lock(&m_lock);
    if (!IsSupported(Property, Operation::Get)) return E_PROP_ID_UNSUPPORTED;
    // The hardware-binning property leaves Flags untouched, so it may be null there.
    if (!lValue || (!Flags && Property != CameraControl_HardwareBin)) return E_POINTER;
    VyxonCamera* camera = m_state.camera;
    if (!camera) return E_UNEXPECTED;

    switch (Property) {
        case CameraControl_Pan:
        case CameraControl_Tilt: {
            RefreshStartPosition(*camera);
            *lValue = (Property == CameraControl_Pan ? m_state.startX : m_state.startY) - CentredStart(Property);
            *Flags = kFlagsManual;
            break;
        }
        case CameraControl_Exposure: {
            int microseconds = m_state.exposureUs;
            bool autoMode = m_state.exposureAuto;
            camera->GetExposure(&microseconds, &autoMode);
            m_state.exposureUs = microseconds;
            m_state.exposureAuto = autoMode;
            *lValue = ExposureToLog2Seconds(microseconds);
            *Flags = autoMode ? kFlagsAuto : kFlagsManual;
            break;
        }
        case CameraControl_HardwareBin: {
            bool enabled = false;
            camera->GetHardBinEnable(&enabled);
            *lValue = enabled ? 1 : 0;
            break;
        }
    }
    return S_OK;
}
