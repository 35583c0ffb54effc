#include "CapturePin.h"

#include <uuids.h>

#include "ToolError.h"

using Microsoft::WRL::ComPtr;

namespace vyx::vyxcap {

GUID PinCategory(IPin* pin) {
    ComPtr<IKsPropertySet> properties;
    if (FAILED(pin->QueryInterface(IID_PPV_ARGS(&properties)))) return GUID_NULL;
    GUID category = GUID_NULL;
    DWORD returned = 0;
    if (FAILED(properties->Get(AMPROPSETID_Pin, AMPROPERTY_PIN_CATEGORY, nullptr, 0, &category,
                               sizeof category, &returned)) ||
        returned != sizeof category)
        return GUID_NULL;
    return category;
}

ComPtr<IPin> FindCapturePin(IBaseFilter* filter) {
    ComPtr<IEnumPins> pins;
    ThrowIfFailed(filter->EnumPins(&pins), "listing the device's pins");
    ComPtr<IPin> pin;
    ComPtr<IPin> firstOutput;
    while (pins->Next(1, pin.ReleaseAndGetAddressOf(), nullptr) == S_OK) {
        PIN_DIRECTION direction;
        if (FAILED(pin->QueryDirection(&direction)) || direction != PINDIR_OUTPUT) continue;
        if (PinCategory(pin.Get()) == PIN_CATEGORY_CAPTURE) return pin;
        if (!firstOutput) firstOutput = pin;
    }
    if (!firstOutput) throw ToolError("the device has no output pin");
    return firstOutput;
}

ComPtr<IAMStreamConfig> StreamConfigOf(IPin* pin) {
    ComPtr<IAMStreamConfig> config;
    ThrowIfFailed(pin->QueryInterface(IID_PPV_ARGS(&config)),
                  "asking the capture pin for IAMStreamConfig");
    return config;
}

}  // namespace vyx::vyxcap
