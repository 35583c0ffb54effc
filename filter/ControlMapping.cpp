#include "ControlMapping.h"

#include <strmif.h>
#include <vfwmsgs.h>

#include <climits>
#include <cmath>

namespace vyx {
namespace {

constexpr long kProcAmpAuto = VideoProcAmp_Flags_Auto;
constexpr long kProcAmpManual = VideoProcAmp_Flags_Manual;
constexpr long kCameraAuto = CameraControl_Flags_Auto;
constexpr long kCameraManual = CameraControl_Flags_Manual;

constexpr long kGammaMin = 1;
constexpr long kGammaMax = 100;
constexpr long kGammaDefault = 50;
// The camera's white balance moves in coarse steps; a step of 1 makes sliders useless.
constexpr long kWhiteBalanceStep = 100;

// Exposure exponents: 2^-17 s (7 us) to 2^11 s (2048 s). Larger values are microseconds.
constexpr long kExposureLog2Min = -17;
constexpr long kExposureLog2Max = 11;
// Pan and tilt move the region of interest by whole Bayer cells.
constexpr long kPositionStep = 2;

bool IsProcAmpSupported(long property) {
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

enum class Operation { GetRange, Get, Set };

bool IsCameraControlSupported(long property, Operation operation) {
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

// Pan or tilt axis: the start that centres a region of the current size within the
// binned sensor, (binned - frame) / 2.
long CentredStart(const PinState& state, Resolution sensor, long property) {
    const Resolution binned = FrameSizeAtBin(sensor, state.bin);
    return property == CameraControl_Pan ? (binned.width - state.width) / 2 : (binned.height - state.height) / 2;
}

// Reads the camera's region start into the cached X and Y.
void RefreshStartPosition(PinState& state, VyxonCamera& camera) {
    int x = state.startX, y = state.startY;
    camera.GetImgStartPos(&x, &y);
    state.startX = x;
    state.startY = y;
}

}  // namespace

long ExposureToLog2Seconds(std::int32_t microseconds) {
    if (microseconds <= 0) return kExposureLog2Min;
    const float seconds = static_cast<float>(microseconds) / 1000000.0f;
    return static_cast<long>(std::log2(seconds));  // float overload: single precision, as the pages show it
}

HRESULT VideoProcAmpGetRange(PinState& state, long property, long* min, long* max, long* step, long* defaultValue,
                             long* caps) {
    if (!IsProcAmpSupported(property)) return E_PROP_ID_UNSUPPORTED;
    if (!min || !max || !step || !defaultValue || !caps) return E_POINTER;
    VyxonCamera* camera = state.camera;
    if (NeedsCamera(property) && !camera) return E_UNEXPECTED;

    // The library reports maximum, minimum, default; the platform wants minimum first.
    int maximum = 0, minimum = 0, defaultRead = 0;
    long stepping = 1;
    long capabilities = kProcAmpAuto | kProcAmpManual;
    switch (property) {
        case VideoProcAmp_Brightness:
            camera->GetOffsetRange(&maximum, &minimum, &defaultRead);
            capabilities = kProcAmpManual;
            break;
        case VideoProcAmp_Gamma:
            minimum = kGammaMin;
            maximum = kGammaMax;
            defaultRead = kGammaDefault;
            capabilities = kProcAmpManual;
            break;
        case VideoProcAmp_WhiteBalance: {
            int defaultGreen = 0, defaultBlue = 0;
            camera->GetWhiteBalanceRange(&maximum, &minimum, &defaultRead, &defaultGreen, &defaultBlue);
            stepping = kWhiteBalanceStep;
            break;
        }
        case VideoProcAmp_Gain:
            camera->GetGainRange(&maximum, &minimum, &defaultRead);
            break;
    }
    *min = minimum;
    *max = maximum;
    *step = stepping;
    *defaultValue = defaultRead;
    *caps = capabilities;
    return S_OK;
}

HRESULT VideoProcAmpSet(PinState& state, long property, long value, long flags) {
    if (!IsProcAmpSupported(property)) return E_PROP_ID_UNSUPPORTED;
    VyxonCamera* camera = state.camera;
    if (NeedsCamera(property) && !camera) return E_UNEXPECTED;

    int maximum = 0, minimum = 0, defaultRead = 0;
    switch (property) {
        case VideoProcAmp_Brightness: {
            camera->GetOffsetRange(&maximum, &minimum, &defaultRead);
            const long offset = ClampIntoRange(value, minimum, maximum);
            state.offset = offset;
            camera->SetOffset(offset);
            break;
        }
        case VideoProcAmp_Gamma:
            state.gamma = ClampIntoRange(value, kGammaMin, kGammaMax);
            break;
        case VideoProcAmp_WhiteBalance: {
            // Only the automatic mode changes: the current red, green and blue go back as they are.
            int red = 0, green = 0, blue = 0;
            bool autoMode = false;
            camera->GetWhiteBalance(&red, &green, &blue, &autoMode);
            camera->SetWhiteBalance(red, green, blue, flags == kProcAmpAuto);
            break;
        }
        case VideoProcAmp_Gain: {
            camera->GetGainRange(&maximum, &minimum, &defaultRead);
            const long gain = ClampIntoRange(value, minimum, maximum);
            state.gain = gain;
            camera->SetGain(gain, flags == kProcAmpAuto);
            break;
        }
    }
    return S_OK;
}

HRESULT VideoProcAmpGet(PinState& state, long property, long* value, long* flags) {
    if (!IsProcAmpSupported(property)) return E_PROP_ID_UNSUPPORTED;
    if (!value || !flags) return E_POINTER;
    VyxonCamera* camera = state.camera;
    if (NeedsCamera(property) && !camera) return E_UNEXPECTED;

    switch (property) {
        case VideoProcAmp_Brightness: {
            int maximum = 0, minimum = 0, defaultRead = 0;
            camera->GetOffsetRange(&maximum, &minimum, &defaultRead);
            int offset = state.offset;
            camera->GetOffset(&offset);
            state.offset = offset;
            *value = ClampIntoRange(offset, minimum, maximum);
            *flags = kProcAmpManual;
            break;
        }
        case VideoProcAmp_Gamma:
            *value = state.gamma;
            *flags = kProcAmpManual;
            break;
        case VideoProcAmp_WhiteBalance: {
            int red = 0, green = 0, blue = 0;
            bool autoMode = false;
            camera->GetWhiteBalance(&red, &green, &blue, &autoMode);
            *value = red;
            *flags = autoMode ? kProcAmpAuto : kProcAmpManual;
            break;
        }
        case VideoProcAmp_Gain: {
            int gain = state.gain;
            bool autoMode = state.gainAuto;
            camera->GetGain(&gain, &autoMode);
            state.gain = gain;
            state.gainAuto = autoMode;
            *value = gain;
            *flags = autoMode ? kProcAmpAuto : kProcAmpManual;
            break;
        }
    }
    return S_OK;
}

HRESULT CameraControlGetRange(PinState& state, Resolution sensor, long property, long* min, long* max, long* step,
                              long* defaultValue, long* caps) {
    if (!IsCameraControlSupported(property, Operation::GetRange)) return E_PROP_ID_UNSUPPORTED;
    if (!min || !max || !step || !defaultValue || !caps) return E_POINTER;

    if (property == CameraControl_Exposure) {
        VyxonCamera* camera = state.camera;
        if (!camera) return E_UNEXPECTED;
        int maximum = 0, minimum = 0, defaultRead = 0;
        camera->GetExposureRange(&maximum, &minimum, &defaultRead);
        *min = kExposureLog2Min;
        *max = kExposureLog2Max;
        *step = 1;
        *defaultValue = ExposureToLog2Seconds(defaultRead);
        *caps = kCameraAuto | kCameraManual;
        return S_OK;
    }

    // Pan and tilt: offsets of the region's start from the start that centres it.
    *min = -CentredStart(state, sensor, property);
    *max = CentredStart(state, sensor, property);
    *step = kPositionStep;
    *defaultValue = 0;
    *caps = kCameraManual;
    return S_OK;
}

HRESULT CameraControlSet(PinState& state, Resolution sensor, long property, long value, long flags) {
    if (!IsCameraControlSupported(property, Operation::Set)) return E_PROP_ID_UNSUPPORTED;
    VyxonCamera* camera = state.camera;
    if (!camera) return E_UNEXPECTED;

    switch (property) {
        case CameraControl_Pan:
        case CameraControl_Tilt: {
            RefreshStartPosition(state, *camera);
            const int position =
                ToCameraPosition(static_cast<long long>(value) + CentredStart(state, sensor, property));
            if (property == CameraControl_Pan)
                camera->SetImgStartPos(position, state.startY);
            else
                camera->SetImgStartPos(state.startX, position);
            break;
        }
        case CameraControl_Exposure: {
            int microseconds = value;
            if (value <= kExposureLog2Max) {
                const long exponent = value < kExposureLog2Min ? kExposureLog2Min : value;
                state.exposureLog2 = exponent;
                microseconds = static_cast<int>(std::pow(2.0, exponent) * 1000000.0);
            }
            state.exposureUs = microseconds;
            camera->SetExposure(microseconds, flags == kCameraAuto);
            // The camera may bound the time: cache what is actually in force.
            int actual = microseconds;
            bool autoMode = flags == kCameraAuto;
            camera->GetExposure(&actual, &autoMode);
            state.exposureUs = actual;
            state.exposureAuto = autoMode;
            break;
        }
        case CameraControl_HardwareBin:
            camera->SetHardBinEnable(value != 0);
            break;
        default:  // roll, zoom, iris, focus: ST4 guide pulses of `value` milliseconds
            camera->GuidePulse(PulseDirection(property), value);
            break;
    }
    return S_OK;
}

HRESULT CameraControlGet(PinState& state, Resolution sensor, long property, long* value, long* flags) {
    if (!IsCameraControlSupported(property, Operation::Get)) return E_PROP_ID_UNSUPPORTED;
    if (!value || (!flags && property != CameraControl_HardwareBin)) return E_POINTER;
    VyxonCamera* camera = state.camera;
    if (!camera) return E_UNEXPECTED;

    switch (property) {
        case CameraControl_Pan:
        case CameraControl_Tilt: {
            RefreshStartPosition(state, *camera);
            *value = (property == CameraControl_Pan ? state.startX : state.startY) -
                     CentredStart(state, sensor, property);
            *flags = kCameraManual;
            break;
        }
        case CameraControl_Exposure: {
            int microseconds = state.exposureUs;
            bool autoMode = state.exposureAuto;
            camera->GetExposure(&microseconds, &autoMode);
            state.exposureUs = microseconds;
            state.exposureAuto = autoMode;
            *value = ExposureToLog2Seconds(microseconds);
            *flags = autoMode ? kCameraAuto : kCameraManual;
            break;
        }
        case CameraControl_HardwareBin: {
            bool enabled = false;
            camera->GetHardBinEnable(&enabled);
            *value = enabled ? 1 : 0;
            break;
        }
    }
    return S_OK;
}

}  // namespace vyx
