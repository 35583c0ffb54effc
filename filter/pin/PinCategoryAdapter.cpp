#include "PinCategoryAdapter.h"

#include <dshow.h>

namespace vyx {
namespace {
constexpr DWORD kCategorySize = sizeof(GUID);
}  // namespace

STDMETHODIMP PinCategoryAdapter::Set(REFGUID, DWORD, LPVOID, DWORD, LPVOID, DWORD) {
    return E_NOTIMPL;
}

STDMETHODIMP PinCategoryAdapter::Get(REFGUID propSet, DWORD id, LPVOID, DWORD, LPVOID propData, DWORD dataLength,
                                     DWORD* returned) {
    if (propSet != AMPROPSETID_Pin) return E_PROP_SET_UNSUPPORTED;
    if (id != AMPROPERTY_PIN_CATEGORY) return E_PROP_ID_UNSUPPORTED;
    if (!propData && !returned) return E_POINTER;
    if (returned) *returned = kCategorySize;
    if (!propData) return S_OK;  // a size query
    if (dataLength < kCategorySize) return E_UNEXPECTED;
    *static_cast<GUID*>(propData) = PIN_CATEGORY_CAPTURE;
    return S_OK;
}

STDMETHODIMP PinCategoryAdapter::QuerySupported(REFGUID propSet, DWORD id, DWORD* support) {
    if (propSet != AMPROPSETID_Pin) return E_PROP_SET_UNSUPPORTED;
    if (id != AMPROPERTY_PIN_CATEGORY) return E_PROP_ID_UNSUPPORTED;
    if (support) *support = KSPROPERTY_SUPPORT_GET;
    return S_OK;
}

}  // namespace vyx
