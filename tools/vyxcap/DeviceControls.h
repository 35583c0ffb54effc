#pragma once
// The device's IAMVideoProcAmp and IAMCameraControl under one set of property names, as
// `vyxcap controls` lists them and `vyxcap set` changes them.
#include <windows.h>
#include <dshow.h>
#include <wrl/client.h>

#include <span>
#include <string>

namespace vyx::vyxcap {

enum class ControlFamily { VideoProcAmp, CameraControl };

struct ControlProperty {
    const wchar_t* name;
    ControlFamily family;
    long id;  // VideoProcAmpProperty or CameraControlProperty
};

std::span<const ControlProperty> ControlProperties();
// Case-insensitive; null for an unknown name.
const ControlProperty* FindControlProperty(const std::wstring& name);

struct ControlRange {
    long min = 0, max = 0, step = 0, def = 0, caps = 0;
};

class DeviceControls {
public:
    // Looks for the interfaces on the filter, then on its capture pin.
    explicit DeviceControls(IBaseFilter* filter);

    bool HasAny() const { return m_procAmp || m_cameraControl; }
    // E_PROP_ID_UNSUPPORTED when the device lacks the property's interface.
    HRESULT GetRange(const ControlProperty& property, ControlRange* range) const;
    HRESULT Get(const ControlProperty& property, long* value, long* flags) const;
    HRESULT Set(const ControlProperty& property, long value, long flags) const;

private:
    Microsoft::WRL::ComPtr<IAMVideoProcAmp> m_procAmp;
    Microsoft::WRL::ComPtr<IAMCameraControl> m_cameraControl;
};

// Flag words as the interfaces define them: 1 auto, 2 manual.
std::string FlagsText(long flags);

}  // namespace vyx::vyxcap
