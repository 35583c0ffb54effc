// Entry points and class-factory table of one filter build. Compiled once and linked into
// every build, which supplies its own g_ModelDescriptor.
#include <windows.h>

#include "CVCamera.h"
#include "streams.h"
#include "FilterRegistration.h"
#include "ModelDescriptor.h"

CFactoryTemplate g_Templates[] = {
    {vyx::g_ModelDescriptor.friendlyName, &vyx::g_ModelDescriptor.filterClsid, vyx::CVCamera::CreateInstance, nullptr,
     &vyx::g_FilterSetup},
};
int g_cTemplates = sizeof(g_Templates) / sizeof(g_Templates[0]);

extern "C" BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID reserved) {
    return DllEntryPoint(module, reason, reserved);
}

STDAPI DllRegisterServer() {
    return vyx::RegisterFilterBuild();
}

STDAPI DllUnregisterServer() {
    return vyx::UnregisterFilterBuild();
}
