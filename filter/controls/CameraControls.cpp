#include "CameraControls.h"

#include <climits>
#include <cmath>
#include <utility>

#include "ResolutionLadder.h"

namespace vyx {
namespace {

constexpr long kCapsAutoAndManual = kControlAuto | kControlManual;

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

bool NeedsCamera(Control control, ControlOperation operation) {
    if (control == Control::Gamma) return false;
    const bool position = control == Control::Pan || control == Control::Tilt;
    return !(position && operation == ControlOperation::GetRange);
}

bool NeedsGeometry(Control control) { return control == Control::Pan || control == Control::Tilt; }

GuideDirection PulseDirection(Control control) {
    switch (control) {
        case Control::GuideNorth: return GUIDE_NORTH;
        case Control::GuideSouth: return GUIDE_SOUTH;
        case Control::GuideWest: return GUIDE_WEST;
        default: return GUIDE_EAST;
    }
}

// Below the minimum gives the minimum, otherwise above the maximum gives the maximum, so
// a camera that reports a reversed range still gets a value it reported.
long ClampIntoRange(long value, long minimum, long maximum) {
    if (value < minimum) return minimum;
    if (value > maximum) return maximum;
    return value;
}

// Positions are passed on unchecked (the camera library bounds them), but never as an
// overflowed int.
int ToCameraPosition(long long position) {
    if (position < INT_MIN) return INT_MIN;
    if (position > INT_MAX) return INT_MAX;
    return static_cast<int>(position);
}

}  // namespace

ControlCache ControlCache::ReadFrom(VyxonCamera& camera) {
    ControlCache cache;
    int exposure = 0, gain = 0, x = 0, y = 0;
    bool exposureAuto = false, gainAuto = false;
    camera.GetExposure(&exposure, &exposureAuto);
    camera.GetGain(&gain, &gainAuto);
    camera.GetImgStartPos(&x, &y);
    cache.exposureUs = exposure;
    cache.exposureAuto = exposureAuto;
    cache.exposureLog2 = CameraControls::ExposureToLog2Seconds(exposure);
    cache.gain = gain;
    cache.gainAuto = gainAuto;
    cache.startX = x;
    cache.startY = y;
    return cache;
}

CameraControls::CameraControls(std::int32_t sensorWidth, std::int32_t sensorHeight,
                               std::function<FrameGeometry()> geometry)
    : m_sensorWidth(sensorWidth), m_sensorHeight(sensorHeight), m_geometry(std::move(geometry)) {}

void CameraControls::Attach(VyxonCamera* camera, const ControlCache& cache) {
    std::lock_guard<std::mutex> lock(m_lock);
    m_camera = camera;
    m_cache = cache;
}

bool CameraControls::Supports(Control control, ControlOperation operation) {
    switch (control) {
        case Control::HardwareBin:
            return operation != ControlOperation::GetRange;
        case Control::GuideNorth:
        case Control::GuideSouth:
        case Control::GuideWest:
        case Control::GuideEast:
            return operation == ControlOperation::Set;  // pulses: nothing to read
        default:
            return true;
    }
}

long CameraControls::ExposureToLog2Seconds(std::int32_t microseconds) {
    if (microseconds <= 0) return kExposureLog2Min;
    const float seconds = static_cast<float>(microseconds) / 1000000.0f;
    return static_cast<long>(std::log2(seconds));  // float overload: single precision, as the pages show it
}

long CameraControls::CentredStart(Control control, const FrameGeometry& frame) const {
    const Resolution binned = FrameSizeAtBin({m_sensorWidth, m_sensorHeight}, frame.bin);
    return control == Control::Pan ? (binned.width - frame.width) / 2 : (binned.height - frame.height) / 2;
}

void CameraControls::RefreshStartPosition(VyxonCamera& camera) {
    int x = m_cache.startX, y = m_cache.startY;
    camera.GetImgStartPos(&x, &y);
    m_cache.startX = x;
    m_cache.startY = y;
}

ControlResult CameraControls::Range(Control control, ControlRange* range) const {
    if (!Supports(control, ControlOperation::GetRange)) return ControlResult::Unsupported;
    const FrameGeometry frame = NeedsGeometry(control) ? m_geometry() : FrameGeometry{};
    std::lock_guard<std::mutex> lock(m_lock);
    VyxonCamera* camera = m_camera;
    if (NeedsCamera(control, ControlOperation::GetRange) && !camera) return ControlResult::NoCamera;

    // The library reports maximum, minimum, default; the platform wants minimum first.
    int maximum = 0, minimum = 0, byDefault = 0;
    ControlRange r;
    r.step = 1;
    r.caps = kCapsAutoAndManual;
    switch (control) {
        case Control::Brightness:
            camera->GetOffsetRange(&maximum, &minimum, &byDefault);
            r.caps = kControlManual;
            break;
        case Control::Gamma:
            minimum = kGammaMin;
            maximum = kGammaMax;
            byDefault = kGammaDefault;
            r.caps = kControlManual;
            break;
        case Control::WhiteBalance: {
            int defaultGreen = 0, defaultBlue = 0;
            camera->GetWhiteBalanceRange(&maximum, &minimum, &byDefault, &defaultGreen, &defaultBlue);
            r.step = kWhiteBalanceStep;
            break;
        }
        case Control::Gain:
            camera->GetGainRange(&maximum, &minimum, &byDefault);
            break;
        case Control::Exposure:
            camera->GetExposureRange(&maximum, &minimum, &byDefault);
            minimum = kExposureLog2Min;
            maximum = kExposureLog2Max;
            byDefault = ExposureToLog2Seconds(byDefault);
            break;
        default: {  // pan and tilt: offsets of the region's start from the start that centres it
            const long centred = CentredStart(control, frame);
            *range = {-centred, centred, kPositionStep, 0, kControlManual};
            return ControlResult::Ok;
        }
    }
    r.min = minimum;
    r.max = maximum;
    r.byDefault = byDefault;
    *range = r;
    return ControlResult::Ok;
}

ControlResult CameraControls::Set(Control control, long value, bool autoMode) {
    if (!Supports(control, ControlOperation::Set)) return ControlResult::Unsupported;
    const FrameGeometry frame = NeedsGeometry(control) ? m_geometry() : FrameGeometry{};
    std::lock_guard<std::mutex> lock(m_lock);
    VyxonCamera* camera = m_camera;
    if (NeedsCamera(control, ControlOperation::Set) && !camera) return ControlResult::NoCamera;

    int maximum = 0, minimum = 0, byDefault = 0;
    switch (control) {
        case Control::Brightness:
            camera->GetOffsetRange(&maximum, &minimum, &byDefault);
            m_cache.offset = ClampIntoRange(value, minimum, maximum);
            camera->SetOffset(m_cache.offset);
            break;
        case Control::Gamma:
            m_cache.gamma = ClampIntoRange(value, kGammaMin, kGammaMax);
            break;
        case Control::WhiteBalance: {
            // Only the automatic mode changes: the current red, green and blue go back as they are.
            int red = 0, green = 0, blue = 0;
            bool current = false;
            camera->GetWhiteBalance(&red, &green, &blue, &current);
            camera->SetWhiteBalance(red, green, blue, autoMode);
            break;
        }
        case Control::Gain:
            camera->GetGainRange(&maximum, &minimum, &byDefault);
            m_cache.gain = ClampIntoRange(value, minimum, maximum);
            camera->SetGain(m_cache.gain, autoMode);
            break;
        case Control::Pan:
        case Control::Tilt: {
            RefreshStartPosition(*camera);
            const int position = ToCameraPosition(static_cast<long long>(value) + CentredStart(control, frame));
            if (control == Control::Pan)
                camera->SetImgStartPos(position, m_cache.startY);
            else
                camera->SetImgStartPos(m_cache.startX, position);
            break;
        }
        case Control::Exposure: {
            int microseconds = value;
            if (value <= kExposureLog2Max) {
                const long exponent = value < kExposureLog2Min ? kExposureLog2Min : value;
                m_cache.exposureLog2 = exponent;
                microseconds = static_cast<int>(std::pow(2.0, exponent) * 1000000.0);
            }
            m_cache.exposureUs = microseconds;
            camera->SetExposure(microseconds, autoMode);
            // The camera may bound the time: cache what is actually in force.
            int actual = microseconds;
            bool actualAuto = autoMode;
            camera->GetExposure(&actual, &actualAuto);
            m_cache.exposureUs = actual;
            m_cache.exposureAuto = actualAuto;
            break;
        }
        case Control::HardwareBin:
            camera->SetHardBinEnable(value != 0);
            break;
        default:  // ST4 guide pulses of `value` milliseconds
            camera->GuidePulse(PulseDirection(control), value);
            break;
    }
    return ControlResult::Ok;
}

ControlResult CameraControls::Get(Control control, long* value, bool* autoMode) {
    if (!Supports(control, ControlOperation::Get)) return ControlResult::Unsupported;
    const FrameGeometry frame = NeedsGeometry(control) ? m_geometry() : FrameGeometry{};
    std::lock_guard<std::mutex> lock(m_lock);
    VyxonCamera* camera = m_camera;
    if (NeedsCamera(control, ControlOperation::Get) && !camera) return ControlResult::NoCamera;

    bool automatic = false;
    switch (control) {
        case Control::Brightness: {
            int maximum = 0, minimum = 0, byDefault = 0;
            camera->GetOffsetRange(&maximum, &minimum, &byDefault);
            int offset = m_cache.offset;
            camera->GetOffset(&offset);
            m_cache.offset = offset;
            *value = ClampIntoRange(offset, minimum, maximum);
            break;
        }
        case Control::Gamma:
            *value = m_cache.gamma;
            break;
        case Control::WhiteBalance: {
            int red = 0, green = 0, blue = 0;
            camera->GetWhiteBalance(&red, &green, &blue, &automatic);
            *value = red;
            break;
        }
        case Control::Gain: {
            int gain = m_cache.gain;
            automatic = m_cache.gainAuto;
            camera->GetGain(&gain, &automatic);
            m_cache.gain = gain;
            m_cache.gainAuto = automatic;
            *value = gain;
            break;
        }
        case Control::Pan:
        case Control::Tilt:
            RefreshStartPosition(*camera);
            *value = (control == Control::Pan ? m_cache.startX : m_cache.startY) - CentredStart(control, frame);
            break;
        case Control::Exposure: {
            int microseconds = m_cache.exposureUs;
            automatic = m_cache.exposureAuto;
            camera->GetExposure(&microseconds, &automatic);
            m_cache.exposureUs = microseconds;
            m_cache.exposureAuto = automatic;
            *value = ExposureToLog2Seconds(microseconds);
            break;
        }
        default: {  // hardware binning
            bool enabled = false;
            camera->GetHardBinEnable(&enabled);
            *value = enabled ? 1 : 0;
            break;
        }
    }
    if (autoMode) *autoMode = automatic;
    return ControlResult::Ok;
}

ControlResult CameraControls::EnableFlip(bool horizontal) {
    std::lock_guard<std::mutex> lock(m_lock);
    (horizontal ? m_cache.flipHorizontal : m_cache.flipVertical) = true;
    if (m_camera) m_camera->SetImgFlip(m_cache.flipHorizontal, m_cache.flipVertical);
    return ControlResult::Ok;
}

ControlResult CameraControls::Flips(bool* horizontal, bool* vertical) {
    std::lock_guard<std::mutex> lock(m_lock);
    bool h = m_cache.flipHorizontal, v = m_cache.flipVertical;
    if (m_camera) m_camera->GetImgFlip(&h, &v);
    m_cache.flipHorizontal = h;
    m_cache.flipVertical = v;
    *horizontal = h;
    *vertical = v;
    return ControlResult::Ok;
}

ControlCache CameraControls::Cached() const {
    std::lock_guard<std::mutex> lock(m_lock);
    return m_cache;
}

}  // namespace vyx
