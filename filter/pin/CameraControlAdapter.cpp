#include "CameraControlAdapter.h"

#include "ControlCalls.h"

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
}  // namespace

STDMETHODIMP CameraControlAdapter::GetRange(long property, long* min, long* max, long* step, long* byDefault,
                                            long* caps) {
    Control control{};
    const bool known = ControlOf(property, &control);
    return ControlRangeCall(m_controls, known, control, min, max, step, byDefault, caps);
}

STDMETHODIMP CameraControlAdapter::Set(long property, long value, long flags) {
    Control control{};
    const bool known = ControlOf(property, &control);
    return ControlSetCall(m_controls, known, control, value, flags);
}

STDMETHODIMP CameraControlAdapter::Get(long property, long* value, long* flags) {
    Control control{};
    const bool known = ControlOf(property, &control);
    return ControlGetCall(m_controls, known, control, value, flags);
}

}  // namespace vyx
