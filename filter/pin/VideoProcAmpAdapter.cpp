#include "VideoProcAmpAdapter.h"

#include "ControlCalls.h"

namespace vyx {

STDMETHODIMP VideoProcAmpAdapter::GetRange(long property, long* min, long* max, long* step, long* byDefault,
                                           long* caps) {
    Control control{};
    const bool known = VideoProcAmpControl(property, &control);
    return ControlRangeCall(m_controls, known, control, min, max, step, byDefault, caps);
}

STDMETHODIMP VideoProcAmpAdapter::Set(long property, long value, long flags) {
    Control control{};
    const bool known = VideoProcAmpControl(property, &control);
    return ControlSetCall(m_controls, known, control, value, flags);
}

STDMETHODIMP VideoProcAmpAdapter::Get(long property, long* value, long* flags) {
    Control control{};
    const bool known = VideoProcAmpControl(property, &control);
    return ControlGetCall(m_controls, known, control, value, flags);
}

}  // namespace vyx
