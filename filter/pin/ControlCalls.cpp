#include "ControlCalls.h"

#include <strmif.h>
#include <vfwmsgs.h>

#include "CameraControlAdapter.h"  // CameraControl_HardwareBin

namespace vyx {
namespace {
HRESULT ResultOf(ControlResult result) {
    switch (result) {
        case ControlResult::Ok: return S_OK;
        case ControlResult::Unsupported: return E_PROP_ID_UNSUPPORTED;
        case ControlResult::NoCamera: return E_UNEXPECTED;
    }
    return E_UNEXPECTED;
}
}  // namespace

bool VideoProcAmpControl(long property, Control* control) {
    switch (property) {
        case VideoProcAmp_Brightness: *control = Control::Brightness; return true;
        case VideoProcAmp_Gamma: *control = Control::Gamma; return true;
        case VideoProcAmp_WhiteBalance: *control = Control::WhiteBalance; return true;
        case VideoProcAmp_Gain: *control = Control::Gain; return true;
        default: return false;
    }
}

bool CameraControlControl(long property, Control* control) {
    switch (property) {
        case CameraControl_Pan: *control = Control::Pan; return true;
        case CameraControl_Tilt: *control = Control::Tilt; return true;
        case CameraControl_Roll: *control = Control::GuideNorth; return true;
        case CameraControl_Zoom: *control = Control::GuideSouth; return true;
        case CameraControl_Exposure: *control = Control::Exposure; return true;
        case CameraControl_Iris: *control = Control::GuideWest; return true;
        case CameraControl_Focus: *control = Control::GuideEast; return true;
        case CameraControl_HardwareBin: *control = Control::HardwareBin; return true;
        default: return false;
    }
}

HRESULT ControlRangeCall(CameraControls& controls, bool known, Control control, long* min, long* max, long* step,
                         long* byDefault, long* caps) {
    if (!known || !CameraControls::Supports(control, ControlOperation::GetRange)) return E_PROP_ID_UNSUPPORTED;
    if (!min || !max || !step || !byDefault || !caps) return E_POINTER;
    ControlRange range;
    const HRESULT hr = ResultOf(controls.Range(control, &range));
    if (FAILED(hr)) return hr;
    *min = range.min;
    *max = range.max;
    *step = range.step;
    *byDefault = range.byDefault;
    *caps = range.caps;
    return S_OK;
}

HRESULT ControlSetCall(CameraControls& controls, bool known, Control control, long value, long flags) {
    if (!known || !CameraControls::Supports(control, ControlOperation::Set)) return E_PROP_ID_UNSUPPORTED;
    return ResultOf(controls.Set(control, value, flags == kControlAuto));
}

HRESULT ControlGetCall(CameraControls& controls, bool known, Control control, long* value, long* flags) {
    if (!known || !CameraControls::Supports(control, ControlOperation::Get)) return E_PROP_ID_UNSUPPORTED;
    const bool flagsUntouched = control == Control::HardwareBin;
    if (!value || (!flags && !flagsUntouched)) return E_POINTER;
    bool automatic = false;
    const HRESULT hr = ResultOf(controls.Get(control, value, &automatic));
    if (SUCCEEDED(hr) && !flagsUntouched) *flags = automatic ? kControlAuto : kControlManual;
    return hr;
}

}  // namespace vyx
