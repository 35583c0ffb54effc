#pragma once
// The framework's module entry and COM server support. A DLL built on the framework defines
// g_Templates and g_cTemplates, calls DllEntryPoint from its DllMain and exports
// DllGetClassObject and DllCanUnloadNow (defined here) through its module definition file.
#include <windows.h>
#include <strmif.h>

#include "SetupTypes.h"

// The module's instance handle, set by DllEntryPoint on process attach.
extern HINSTANCE g_hInst;

// Process attach: records the module handle, turns off thread notifications and calls each
// template's initialisation routine with TRUE; process detach calls them with FALSE.
BOOL WINAPI DllEntryPoint(HINSTANCE hInstance, ULONG ulReason, LPVOID pv);

// Registers (bRegister) or unregisters every entry of g_Templates: on registration the class
// key "CLSID\{clsid}" named by the entry, its "InprocServer32" key with this module's path
// and ThreadingModel "Both", then, for entries with setup data, the filter in the legacy
// DirectShow filter category (removed and re-added). Unregistration removes the category
// entries, then the class keys with everything below them; keys already gone are no error.
STDAPI AMovieDllRegisterServer2(BOOL bRegister);

// One class key: "CLSID\{clsServer}" = szDescription, "<szServerType>" = szFileName with
// "ThreadingModel" = szThreadingModel.
STDAPI AMovieSetupRegisterServer(CLSID clsServer, LPCWSTR szDescription, LPCWSTR szFileName,
                                 LPCWSTR szThreadingModel = L"Both",
                                 LPCWSTR szServerType = L"InprocServer32");
// Deletes "CLSID\{clsServer}" and everything below it; S_OK when it does not exist.
STDAPI AMovieSetupUnregisterServer(CLSID clsServer);
// Removes the filter from the legacy filter category, then (bRegister) adds it again with
// its setup data. A filter that was not registered is no error.
STDAPI AMovieSetupRegisterFilter2(const AMOVIESETUP_FILTER* psetupdata, IFilterMapper2* pIFM2,
                                  BOOL bRegister);
