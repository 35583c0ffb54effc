#pragma once
// The video input devices that DirectShow lists, and finding one by name or number.
#include <windows.h>
#include <dshow.h>
#include <wrl/client.h>

#include <string>
#include <vector>

namespace vyx::vyxcap {

struct VideoDevice {
    std::wstring friendlyName;
    Microsoft::WRL::ComPtr<IMoniker> moniker;
};

// In the system device enumerator's order; empty when the category has no devices.
std::vector<VideoDevice> EnumerateVideoDevices();

// `spec` is a friendly name (first match, any case) or, when no name matches, the
// position in the list. Throws ToolError "no such device" otherwise.
VideoDevice FindVideoDevice(const std::wstring& spec);

// Creates the device's filter through its moniker.
Microsoft::WRL::ComPtr<IBaseFilter> CreateDeviceFilter(const VideoDevice& device);

}  // namespace vyx::vyxcap
