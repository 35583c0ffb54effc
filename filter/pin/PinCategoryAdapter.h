#pragma once
// IKsPropertySet of the pin: the pin category, so that applications and the capture graph
// builder recognise it as a capture pin. Nothing else is answered or set.
#include <windows.h>
#include <strmif.h>

#include "InterfaceAdapter.h"

namespace vyx {

class PinCategoryAdapter : public InterfaceAdapter<IKsPropertySet> {
public:
    using InterfaceAdapter::InterfaceAdapter;

    STDMETHODIMP Set(REFGUID propSet, DWORD id, LPVOID instanceData, DWORD instanceLength, LPVOID propData,
                     DWORD dataLength) override;
    STDMETHODIMP Get(REFGUID propSet, DWORD id, LPVOID instanceData, DWORD instanceLength, LPVOID propData,
                     DWORD dataLength, DWORD* returned) override;
    STDMETHODIMP QuerySupported(REFGUID propSet, DWORD id, DWORD* support) override;
};

}  // namespace vyx
