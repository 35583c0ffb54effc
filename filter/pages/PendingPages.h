#pragma once
// Creation functions of the pages that so far only connect to the camera and show their
// dialog: Color, ST4 Test, Temperature, About and Others.
#include <windows.h>

#include "CUnknown.h"

namespace vyx {

CUnknown* WINAPI CreateColorPage(LPUNKNOWN outer, HRESULT* result);
CUnknown* WINAPI CreateST4TestPage(LPUNKNOWN outer, HRESULT* result);
CUnknown* WINAPI CreateTemperaturePage(LPUNKNOWN outer, HRESULT* result);
CUnknown* WINAPI CreateAboutPage(LPUNKNOWN outer, HRESULT* result);
CUnknown* WINAPI CreateOthersPage(LPUNKNOWN outer, HRESULT* result);

}  // namespace vyx
