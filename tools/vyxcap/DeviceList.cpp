#include "DeviceList.h"

#include <cwctype>

#include "Text.h"
#include "ToolError.h"

using Microsoft::WRL::ComPtr;

namespace vyx::vyxcap {
namespace {

std::wstring FriendlyName(IMoniker* moniker) {
    ComPtr<IPropertyBag> bag;
    if (FAILED(moniker->BindToStorage(nullptr, nullptr, IID_PPV_ARGS(&bag)))) return {};
    VARIANT value;
    VariantInit(&value);
    std::wstring name;
    if (SUCCEEDED(bag->Read(L"FriendlyName", &value, nullptr)) && value.vt == VT_BSTR && value.bstrVal)
        name = value.bstrVal;
    VariantClear(&value);
    return name;
}

bool IsIndex(const std::wstring& spec) {
    for (const wchar_t c : spec)
        if (!std::iswdigit(c)) return false;
    return !spec.empty() && spec.size() < 6;
}

}  // namespace

std::vector<VideoDevice> EnumerateVideoDevices() {
    ComPtr<ICreateDevEnum> devices;
    ThrowIfFailed(CoCreateInstance(CLSID_SystemDeviceEnum, nullptr, CLSCTX_INPROC_SERVER,
                                   IID_PPV_ARGS(&devices)),
                  "creating the system device enumerator");
    ComPtr<IEnumMoniker> monikers;
    const HRESULT hr = devices->CreateClassEnumerator(CLSID_VideoInputDeviceCategory, &monikers, 0);
    ThrowIfFailed(hr, "listing video input devices");
    std::vector<VideoDevice> list;
    if (hr != S_OK || !monikers) return list;  // S_FALSE: the category is empty
    ComPtr<IMoniker> moniker;
    while (monikers->Next(1, moniker.ReleaseAndGetAddressOf(), nullptr) == S_OK)
        list.push_back({FriendlyName(moniker.Get()), moniker});
    return list;
}

VideoDevice FindVideoDevice(const std::wstring& spec) {
    std::vector<VideoDevice> list = EnumerateVideoDevices();
    for (VideoDevice& device : list)
        if (EqualsIgnoreCase(device.friendlyName, spec)) return device;
    if (IsIndex(spec)) {
        const size_t index = std::stoul(spec);
        if (index < list.size()) return list[index];
    }
    throw ToolError("no such device: \"" + Narrow(spec) + "\" (vyxcap list shows " +
                    std::to_string(list.size()) + (list.size() == 1 ? " device)" : " devices)"));
}

ComPtr<IBaseFilter> CreateDeviceFilter(const VideoDevice& device) {
    ComPtr<IBaseFilter> filter;
    ThrowIfFailed(device.moniker->BindToObject(nullptr, nullptr, IID_PPV_ARGS(&filter)),
                  "opening \"" + Narrow(device.friendlyName) + "\"");
    return filter;
}

}  // namespace vyx::vyxcap
