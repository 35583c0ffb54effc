#include "PropertyFrame.h"

#include <windows.h>
#include <dshow.h>
#include <olectl.h>
#include <wrl/client.h>

#include "DeviceList.h"
#include "Text.h"
#include "ToolError.h"

namespace vyx::vyxcap {
namespace {
using Microsoft::WRL::ComPtr;

class SingleThreadedApartment {
public:
    SingleThreadedApartment() { ThrowIfFailed(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), "CoInitializeEx"); }
    ~SingleThreadedApartment() { CoUninitialize(); }
    SingleThreadedApartment(const SingleThreadedApartment&) = delete;
    SingleThreadedApartment& operator=(const SingleThreadedApartment&) = delete;
};

struct PageList {
    CAUUID pages{};
    ~PageList() { CoTaskMemFree(pages.pElems); }
};

ComPtr<IUnknown> CapturePin(IBaseFilter* filter) {
    ComPtr<IEnumPins> pins;
    ThrowIfFailed(filter->EnumPins(&pins), "EnumPins");
    for (ComPtr<IPin> pin; pins->Next(1, pin.ReleaseAndGetAddressOf(), nullptr) == S_OK;) {
        PIN_DIRECTION direction = PINDIR_INPUT;
        if (SUCCEEDED(pin->QueryDirection(&direction)) && direction == PINDIR_OUTPUT) return pin;
    }
    throw ToolError("the device has no output pin");
}
}  // namespace

void RunProps(const std::wstring& spec, bool pin) {
    const SingleThreadedApartment apartment;
    const VideoDevice device = FindVideoDevice(spec);
    const ComPtr<IBaseFilter> filter = CreateDeviceFilter(device);
    ComPtr<IUnknown> object = pin ? CapturePin(filter.Get()) : ComPtr<IUnknown>(filter);
    ComPtr<ISpecifyPropertyPages> specify;
    if (FAILED(object.As(&specify)))
        throw ToolError("\"" + Narrow(device.friendlyName) + "\"" + (pin ? "'s pin" : "") + " has no property pages");
    PageList list;
    ThrowIfFailed(specify->GetPages(&list.pages), "GetPages");
    if (list.pages.cElems == 0) throw ToolError("\"" + Narrow(device.friendlyName) + "\" lists no property pages");
    IUnknown* objects[] = {object.Get()};
    ThrowIfFailed(OleCreatePropertyFrame(nullptr, 40, 40, device.friendlyName.c_str(), 1, objects, list.pages.cElems,
                                         list.pages.pElems, GetUserDefaultLCID(), 0, nullptr),
                  "OleCreatePropertyFrame");
}

}  // namespace vyx::vyxcap
