#include "DeviceControls.h"

#include "CapturePin.h"
#include "Text.h"

using Microsoft::WRL::ComPtr;

namespace vyx::vyxcap {

std::span<const ControlProperty> ControlProperties() {
    static constexpr ControlProperty kProperties[] = {
        {L"Brightness", ControlFamily::VideoProcAmp, VideoProcAmp_Brightness},
        {L"Contrast", ControlFamily::VideoProcAmp, VideoProcAmp_Contrast},
        {L"Hue", ControlFamily::VideoProcAmp, VideoProcAmp_Hue},
        {L"Saturation", ControlFamily::VideoProcAmp, VideoProcAmp_Saturation},
        {L"Sharpness", ControlFamily::VideoProcAmp, VideoProcAmp_Sharpness},
        {L"Gamma", ControlFamily::VideoProcAmp, VideoProcAmp_Gamma},
        {L"ColorEnable", ControlFamily::VideoProcAmp, VideoProcAmp_ColorEnable},
        {L"WhiteBalance", ControlFamily::VideoProcAmp, VideoProcAmp_WhiteBalance},
        {L"BacklightCompensation", ControlFamily::VideoProcAmp, VideoProcAmp_BacklightCompensation},
        {L"Gain", ControlFamily::VideoProcAmp, VideoProcAmp_Gain},
        {L"Pan", ControlFamily::CameraControl, CameraControl_Pan},
        {L"Tilt", ControlFamily::CameraControl, CameraControl_Tilt},
        {L"Roll", ControlFamily::CameraControl, CameraControl_Roll},
        {L"Zoom", ControlFamily::CameraControl, CameraControl_Zoom},
        {L"Exposure", ControlFamily::CameraControl, CameraControl_Exposure},
        {L"Iris", ControlFamily::CameraControl, CameraControl_Iris},
        {L"Focus", ControlFamily::CameraControl, CameraControl_Focus},
    };
    return kProperties;
}

const ControlProperty* FindControlProperty(const std::wstring& name) {
    for (const ControlProperty& property : ControlProperties())
        if (EqualsIgnoreCase(property.name, name)) return &property;
    return nullptr;
}

DeviceControls::DeviceControls(IBaseFilter* filter) {
    filter->QueryInterface(IID_PPV_ARGS(&m_procAmp));
    filter->QueryInterface(IID_PPV_ARGS(&m_cameraControl));
    if (m_procAmp && m_cameraControl) return;
    ComPtr<IPin> pin = FindCapturePin(filter);
    if (!m_procAmp) pin->QueryInterface(IID_PPV_ARGS(&m_procAmp));
    if (!m_cameraControl) pin->QueryInterface(IID_PPV_ARGS(&m_cameraControl));
}

HRESULT DeviceControls::GetRange(const ControlProperty& property, ControlRange* range) const {
    if (property.family == ControlFamily::VideoProcAmp)
        return m_procAmp ? m_procAmp->GetRange(property.id, &range->min, &range->max, &range->step,
                                               &range->def, &range->caps)
                         : E_PROP_ID_UNSUPPORTED;
    return m_cameraControl ? m_cameraControl->GetRange(property.id, &range->min, &range->max,
                                                       &range->step, &range->def, &range->caps)
                           : E_PROP_ID_UNSUPPORTED;
}

HRESULT DeviceControls::Get(const ControlProperty& property, long* value, long* flags) const {
    if (property.family == ControlFamily::VideoProcAmp)
        return m_procAmp ? m_procAmp->Get(property.id, value, flags) : E_PROP_ID_UNSUPPORTED;
    return m_cameraControl ? m_cameraControl->Get(property.id, value, flags) : E_PROP_ID_UNSUPPORTED;
}

HRESULT DeviceControls::Set(const ControlProperty& property, long value, long flags) const {
    if (property.family == ControlFamily::VideoProcAmp)
        return m_procAmp ? m_procAmp->Set(property.id, value, flags) : E_PROP_ID_UNSUPPORTED;
    return m_cameraControl ? m_cameraControl->Set(property.id, value, flags) : E_PROP_ID_UNSUPPORTED;
}

std::string FlagsText(long flags) {
    const bool autoFlag = flags & 1;
    const bool manualFlag = flags & 2;
    if (autoFlag && manualFlag) return "auto|manual";
    if (autoFlag) return "auto";
    if (manualFlag) return "manual";
    return std::to_string(flags);
}

}  // namespace vyx::vyxcap
