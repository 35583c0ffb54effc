#pragma once
// Finding a capture device's video output pin as applications do: the output pin whose
// category (IKsPropertySet) is PIN_CATEGORY_CAPTURE, else the first output pin.
#include <windows.h>
#include <dshow.h>
#include <wrl/client.h>

namespace vyx::vyxcap {

// Throws ToolError when the filter has no output pin.
Microsoft::WRL::ComPtr<IPin> FindCapturePin(IBaseFilter* filter);

// The pin's category through IKsPropertySet, GUID_NULL when the pin does not tell.
GUID PinCategory(IPin* pin);

// IAMStreamConfig of the capture pin; throws ToolError when the pin has none.
Microsoft::WRL::ComPtr<IAMStreamConfig> StreamConfigOf(IPin* pin);

}  // namespace vyx::vyxcap
