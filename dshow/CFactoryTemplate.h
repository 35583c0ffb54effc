#pragma once
// One entry of a module's class table: what DllGetClassObject can create and what
// AMovieDllRegisterServer2 registers. Each DLL defines g_Templates and g_cTemplates.
#include <windows.h>

#include "SetupTypes.h"

class CUnknown;

typedef CUnknown*(CALLBACK* LPFNNewCOMObject)(LPUNKNOWN pUnkOuter, HRESULT* phr);
// Called with TRUE on process attach and FALSE on detach.
typedef void(CALLBACK* LPFNInitRoutine)(BOOL bLoading, const CLSID* rclsid);

class CFactoryTemplate {
public:
    const WCHAR* m_Name;
    const CLSID* m_ClsID;
    LPFNNewCOMObject m_lpfnNew;
    LPFNInitRoutine m_lpfnInit;
    const AMOVIESETUP_FILTER* m_pAMovieSetup_Filter;

    BOOL IsClassID(REFCLSID rclsid) const { return IsEqualCLSID(*m_ClsID, rclsid); }
    CUnknown* CreateInstance(LPUNKNOWN pUnk, HRESULT* phr) const { return m_lpfnNew(pUnk, phr); }
};

extern CFactoryTemplate g_Templates[];
extern int g_cTemplates;
