#include "CameraControlAdapter.h"

#include <vfwmsgs.h>

#include "CameraControls.h"

namespace vyx {
namespace {
bool ControlOf(long property, Control* control) {
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

// Known to the interface and supported for the operation.
bool Supported(long property, ControlOperation operation, Control* control) {
    return ControlOf(property, control) && CameraControls::Supports(*control, operation);
}

HRESULT ResultOf(ControlResult result) {
    switch (result) {
        case ControlResult::Ok: return S_OK;
        case ControlResult::Unsupported: return E_PROP_ID_UNSUPPORTED;
        case ControlResult::NoCamera: return E_UNEXPECTED;
    }
    return E_UNEXPECTED;
}
}  // namespace

STDMETHODIMP CameraControlAdapter::GetRange(long property, long* min, long* max, long* step, long* byDefault,
                                            long* caps) {
    Control control;
    if (!Supported(property, ControlOperation::GetRange, &control)) return E_PROP_ID_UNSUPPORTED;
    if (!min || !max || !step || !byDefault || !caps) return E_POINTER;
    ControlRange range;
    const HRESULT hr = ResultOf(m_controls.Range(control, &range));
    if (FAILED(hr)) return hr;
    *min = range.min;
    *max = range.max;
    *step = range.step;
    *byDefault = range.byDefault;
    *caps = range.caps;
    return S_OK;
}

STDMETHODIMP CameraControlAdapter::Set(long property, long value, long flags) {
    Control control;
    if (!Supported(property, ControlOperation::Set, &control)) return E_PROP_ID_UNSUPPORTED;
    return ResultOf(m_controls.Set(control, value, flags == CameraControl_Flags_Auto));
}

STDMETHODIMP CameraControlAdapter::Get(long property, long* value, long* flags) {
    Control control;
    if (!Supported(property, ControlOperation::Get, &control)) return E_PROP_ID_UNSUPPORTED;
    const bool flagsUntouched = control == Control::HardwareBin;
    if (!value || (!flags && !flagsUntouched)) return E_POINTER;
    bool automatic = false;
    const HRESULT hr = ResultOf(m_controls.Get(control, value, &automatic));
    if (SUCCEEDED(hr) && !flagsUntouched) *flags = automatic ? CameraControl_Flags_Auto : CameraControl_Flags_Manual;
    return hr;
}

}  // namespace vyx
