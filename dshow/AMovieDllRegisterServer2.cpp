#include <objbase.h>
#include <uuids.h>
#include <wrl/client.h>

#include <string>

#include "CFactoryTemplate.h"
#include "ComApartment.h"
#include "DllEntry.h"

using Microsoft::WRL::ComPtr;

namespace {

// The full path this module was loaded from, however long.
HRESULT ModulePath(std::wstring& path)
{
    path.resize(MAX_PATH);
    for (;;) {
        DWORD length = GetModuleFileNameW(g_hInst, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0)
            return HRESULT_FROM_WIN32(GetLastError());
        if (length < path.size()) {
            path.resize(length);
            return S_OK;
        }
        path.resize(path.size() * 2);
    }
}

HRESULT RegisterFilters(BOOL bRegister)
{
    bool any = false;
    for (int i = 0; i < g_cTemplates; ++i)
        any = any || g_Templates[i].m_pAMovieSetup_Filter != nullptr;
    if (!any)
        return S_OK;

    // COM for the mapper; released with the scope when this call initialised it.
    const vyx::win::ComApartment com(COINIT_APARTMENTTHREADED);
    ComPtr<IFilterMapper2> mapper;
    HRESULT hr = CoCreateInstance(CLSID_FilterMapper2, nullptr, CLSCTX_INPROC_SERVER, IID_IFilterMapper2,
                                  reinterpret_cast<void**>(mapper.GetAddressOf()));
    if (FAILED(hr))
        return hr;
    for (int i = 0; i < g_cTemplates; ++i) {
        const AMOVIESETUP_FILTER* setup = g_Templates[i].m_pAMovieSetup_Filter;
        if (setup == nullptr)
            continue;
        hr = AMovieSetupRegisterFilter2(setup, mapper.Get(), bRegister);
        if (FAILED(hr))
            return hr;
    }
    return S_OK;
}

}  // namespace

STDAPI AMovieDllRegisterServer2(BOOL bRegister)
{
    if (bRegister) {
        std::wstring path;
        HRESULT hr = ModulePath(path);
        if (FAILED(hr))
            return hr;
        for (int i = 0; i < g_cTemplates; ++i) {
            const CFactoryTemplate& entry = g_Templates[i];
            hr = AMovieSetupRegisterServer(*entry.m_ClsID, entry.m_Name, path.c_str());
            if (FAILED(hr))
                return hr;
        }
        return RegisterFilters(TRUE);
    }

    HRESULT hr = RegisterFilters(FALSE);
    if (FAILED(hr))
        return hr;
    for (int i = 0; i < g_cTemplates; ++i) {
        hr = AMovieSetupUnregisterServer(*g_Templates[i].m_ClsID);
        if (FAILED(hr))
            return hr;
    }
    return S_OK;
}
