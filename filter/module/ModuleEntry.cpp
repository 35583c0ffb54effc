// Entry points and class-factory table of one filter build. Compiled once and linked into
// every build, which supplies its own g_ModelDescriptor.
#include <windows.h>

#include "AboutPage.h"
#include "AutoControlPage.h"
#include "CVCamera.h"
#include "CameraControlPage.h"
#include "ColorPage.h"
#include "ImageParaPage.h"
#include "OthersPage.h"
#include "PageList.h"
#include "ST4TestPage.h"
#include "TemperaturePage.h"
#include "streams.h"
#include "FilterRegistration.h"
#include "MediaSourceFactory.h"
#include "ModelDescriptor.h"

CFactoryTemplate g_Templates[] = {
    {vyx::g_ModelDescriptor.friendlyName, &vyx::g_ModelDescriptor.filterClsid, vyx::CVCamera::CreateInstance, nullptr,
     &vyx::g_FilterSetup},
    {L"Image Parameters", &vyx::g_ModelDescriptor.pageClsids[vyx::kPageImageParameters],
     vyx::ImageParaPage::CreateInstance, nullptr, nullptr},
    {L"Camera Control", &vyx::g_ModelDescriptor.pageClsids[vyx::kPageCameraControl],
     vyx::CameraControlPage::CreateInstance, nullptr, nullptr},
    {L"Auto Control", &vyx::g_ModelDescriptor.pageClsids[vyx::kPageAutoControl], vyx::AutoControlPage::CreateInstance,
     nullptr, nullptr},
    {L"Color", &vyx::g_ModelDescriptor.pageClsids[vyx::kPageColor], vyx::ColorPage::CreateInstance, nullptr, nullptr},
    {L"ST4 Test", &vyx::g_ModelDescriptor.pageClsids[vyx::kPageST4Test], vyx::ST4TestPage::CreateInstance, nullptr,
     nullptr},
    {L"Temperature", &vyx::g_ModelDescriptor.pageClsids[vyx::kPageTemperature], vyx::TemperaturePage::CreateInstance,
     nullptr, nullptr},
    {L"About", &vyx::g_ModelDescriptor.pageClsids[vyx::kPageAbout], vyx::AboutPage::CreateInstance, nullptr, nullptr},
    {L"Others Setting", &vyx::g_ModelDescriptor.pageClsids[vyx::kPageOthers], vyx::OthersPage::CreateInstance, nullptr,
     nullptr},
    // The Media Foundation media source beside the filter, under the same name; its class key
    // comes and goes with the filter's registration.
    {vyx::g_ModelDescriptor.friendlyName, &vyx::g_ModelDescriptor.mediaSourceClsid, vyx::mf::CreateCameraMediaSource,
     nullptr, nullptr},
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
