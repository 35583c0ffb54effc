// The module's COM server entry points over g_Templates. Kept apart from the rest of the
// framework so programs without a class table link without them.
#include <new>

#include "CBaseObject.h"
#include "CClassFactory.h"
#include "CFactoryTemplate.h"
#include "DllEntry.h"

STDAPI DllGetClassObject(REFCLSID rClsID, REFIID riid, void** pv)
{
    if (pv == nullptr)
        return E_POINTER;
    *pv = nullptr;
    if (!IsEqualIID(riid, IID_IUnknown) && !IsEqualIID(riid, IID_IClassFactory))
        return E_NOINTERFACE;
    for (int i = 0; i < g_cTemplates; ++i) {
        const CFactoryTemplate* entry = &g_Templates[i];
        if (!entry->IsClassID(rClsID))
            continue;
        auto* factory = new (std::nothrow) CClassFactory(entry);
        if (factory == nullptr)
            return E_OUTOFMEMORY;
        factory->AddRef();
        *pv = static_cast<IClassFactory*>(factory);
        return S_OK;
    }
    return CLASS_E_CLASSNOTAVAILABLE;
}

STDAPI DllCanUnloadNow()
{
    return CClassFactory::IsLocked() || CBaseObject::ObjectsActive() != 0 ? S_FALSE : S_OK;
}
