#include "VideoProcAmpAdapter.h"

#include "ControlCalls.h"

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
}  // namespace

STDMETHODIMP VideoProcAmpAdapter::GetRange(long property, long* min, long* max, long* step, long* byDefault,
                                           long* caps) {
    Control control{};
    const bool known = ControlOf(property, &control);
    return ControlRangeCall(m_controls, known, control, min, max, step, byDefault, caps);
}

STDMETHODIMP VideoProcAmpAdapter::Set(long property, long value, long flags) {
    Control control{};
    const bool known = ControlOf(property, &control);
    return ControlSetCall(m_controls, known, control, value, flags);
}

STDMETHODIMP VideoProcAmpAdapter::Get(long property, long* value, long* flags) {
    Control control{};
    const bool known = ControlOf(property, &control);
    return ControlGetCall(m_controls, known, control, value, flags);
}

}  // namespace vyx
