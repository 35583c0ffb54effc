#include "FilterRegistration.h"

#include <strmif.h>
#include <dshow.h>
#include <wrl/client.h>

#include "streams.h"
#include "ModelDescriptor.h"

namespace vyx {
namespace {
using Microsoft::WRL::ComPtr;

wchar_t kPinName[] = L"Capture";  // registration data only: the pin object is "Video"
const REGPINTYPES kPinTypes = {&MEDIATYPE_Video, &MEDIASUBTYPE_NULL};
const REGFILTERPINS kPin = {kPinName, FALSE, TRUE, FALSE, FALSE, &GUID_NULL, nullptr, 1, &kPinTypes};

REGFILTER2 CategoryRegistration() {
    REGFILTER2 data{};
    data.dwVersion = 1;
    data.dwMerit = MERIT_NORMAL;
    data.cPins = 1;
    data.rgPins = &kPin;
    return data;
}

HRESULT CreateMapper(ComPtr<IFilterMapper2>& mapper) {
    return CoCreateInstance(CLSID_FilterMapper2, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&mapper));
}
}  // namespace

const AMOVIESETUP_FILTER g_FilterSetup = {&g_ModelDescriptor.filterClsid, g_ModelDescriptor.friendlyName,
                                          MERIT_DO_NOT_USE, 1, &kPin};

HRESULT RegisterFilterBuild() {
    HRESULT hr = AMovieDllRegisterServer2(TRUE);
    if (FAILED(hr)) return hr;
    ComPtr<IFilterMapper2> mapper;
    hr = CreateMapper(mapper);
    if (FAILED(hr)) return hr;
    const REGFILTER2 data = CategoryRegistration();
    const HRESULT registered = mapper->RegisterFilter(g_ModelDescriptor.filterClsid, g_ModelDescriptor.friendlyName,
                                                      nullptr, &CLSID_VideoInputDeviceCategory, nullptr, &data);
    AMovieDllRegisterServer2(TRUE);
    return registered;
}

HRESULT UnregisterFilterBuild() {
    HRESULT hr = AMovieDllRegisterServer2(FALSE);
    if (FAILED(hr)) return hr;
    ComPtr<IFilterMapper2> mapper;
    hr = CreateMapper(mapper);
    if (FAILED(hr)) return hr;
    mapper->UnregisterFilter(&CLSID_VideoInputDeviceCategory, g_ModelDescriptor.friendlyName,
                             g_ModelDescriptor.filterClsid);
    const HRESULT unregistered =
        mapper->UnregisterFilter(&CLSID_VideoInputDeviceCategory, nullptr, g_ModelDescriptor.filterClsid);
    AMovieDllRegisterServer2(FALSE);
    return unregistered;
}

}  // namespace vyx
