#include "VideoProcAmpAdapter.h"

#include <vfwmsgs.h>

#include "CameraControls.h"

namespace vyx {
namespace {
bool ControlOf(long property, Control* control) {
    switch (property) {
        case VideoProcAmp_Brightness: *control = Control::Brightness; return true;
        case VideoProcAmp_Gamma: *control = Control::Gamma; return true;
        case VideoProcAmp_WhiteBalance: *control = Control::WhiteBalance; return true;
        case VideoProcAmp_Gain: *control = Control::Gain; return true;
        default: return false;
    }
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

STDMETHODIMP VideoProcAmpAdapter::GetRange(long property, long* min, long* max, long* step, long* byDefault,
                                           long* caps) {
    Control control;
    if (!ControlOf(property, &control)) return E_PROP_ID_UNSUPPORTED;
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

STDMETHODIMP VideoProcAmpAdapter::Set(long property, long value, long flags) {
    Control control;
    if (!ControlOf(property, &control)) return E_PROP_ID_UNSUPPORTED;
    return ResultOf(m_controls.Set(control, value, flags == VideoProcAmp_Flags_Auto));
}

STDMETHODIMP VideoProcAmpAdapter::Get(long property, long* value, long* flags) {
    Control control;
    if (!ControlOf(property, &control)) return E_PROP_ID_UNSUPPORTED;
    if (!value || !flags) return E_POINTER;
    bool automatic = false;
    const HRESULT hr = ResultOf(m_controls.Get(control, value, &automatic));
    if (SUCCEEDED(hr)) *flags = automatic ? VideoProcAmp_Flags_Auto : VideoProcAmp_Flags_Manual;
    return hr;
}

}  // namespace vyx
