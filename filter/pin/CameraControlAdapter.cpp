#include "CameraControlAdapter.h"

#include "ControlCalls.h"

namespace vyx {

STDMETHODIMP CameraControlAdapter::GetRange(long property, long* min, long* max, long* step, long* byDefault,
                                            long* caps) {
    Control control{};
    const bool known = CameraControlControl(property, &control);
    return ControlRangeCall(m_controls, known, control, min, max, step, byDefault, caps);
}

STDMETHODIMP CameraControlAdapter::Set(long property, long value, long flags) {
    Control control{};
    const bool known = CameraControlControl(property, &control);
    return ControlSetCall(m_controls, known, control, value, flags);
}

STDMETHODIMP CameraControlAdapter::Get(long property, long* value, long* flags) {
    Control control{};
    const bool known = CameraControlControl(property, &control);
    return ControlGetCall(m_controls, known, control, value, flags);
}

}  // namespace vyx
