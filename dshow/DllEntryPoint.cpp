#include "CFactoryTemplate.h"
#include "DllEntry.h"

namespace {

void InitClasses(BOOL loading)
{
    for (int i = 0; i < g_cTemplates; ++i) {
        const CFactoryTemplate& entry = g_Templates[i];
        if (entry.m_lpfnInit != nullptr)
            entry.m_lpfnInit(loading, entry.m_ClsID);
    }
}

}  // namespace

BOOL WINAPI DllEntryPoint(HINSTANCE hInstance, ULONG ulReason, LPVOID)
{
    switch (ulReason) {
    case DLL_PROCESS_ATTACH:
        DisableThreadLibraryCalls(hInstance);
        g_hInst = hInstance;
        InitClasses(TRUE);
        break;
    case DLL_PROCESS_DETACH:
        InitClasses(FALSE);
        break;
    default:
        break;
    }
    return TRUE;
}
