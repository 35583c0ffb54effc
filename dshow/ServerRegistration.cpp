// Class keys and legacy filter-category entries, the pieces of a module's registration.
#include <objbase.h>
#include <uuids.h>

#include <string>

#include "DllEntry.h"
#include "UniqueResource.h"

namespace {

std::wstring ClassKeyPath(REFCLSID clsid)
{
    WCHAR text[40] = {};
    StringFromGUID2(clsid, text, 40);
    return std::wstring(L"CLSID\\") + text;
}

HRESULT CreateKey(HKEY parent, const std::wstring& path, vyx::win::UniqueRegKey& key)
{
    HKEY raw = nullptr;
    LONG error = RegCreateKeyExW(parent, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE, nullptr,
                                 &raw, nullptr);
    if (error != ERROR_SUCCESS)
        return HRESULT_FROM_WIN32(error);
    key.Reset(raw);
    return S_OK;
}

HRESULT SetText(HKEY key, LPCWSTR name, LPCWSTR value)
{
    const DWORD bytes = static_cast<DWORD>((wcslen(value) + 1) * sizeof(WCHAR));
    LONG error = RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value), bytes);
    return error == ERROR_SUCCESS ? S_OK : HRESULT_FROM_WIN32(error);
}

}  // namespace

STDAPI AMovieSetupRegisterServer(CLSID clsServer, LPCWSTR szDescription, LPCWSTR szFileName,
                                 LPCWSTR szThreadingModel, LPCWSTR szServerType)
{
    if (szDescription == nullptr || szFileName == nullptr || szThreadingModel == nullptr || szServerType == nullptr)
        return E_POINTER;
    const std::wstring classPath = ClassKeyPath(clsServer);
    vyx::win::UniqueRegKey classKey;
    HRESULT hr = CreateKey(HKEY_CLASSES_ROOT, classPath, classKey);
    if (FAILED(hr))
        return hr;
    hr = SetText(classKey.Get(), nullptr, szDescription);
    if (FAILED(hr))
        return hr;
    vyx::win::UniqueRegKey serverKey;
    hr = CreateKey(classKey.Get(), szServerType, serverKey);
    if (FAILED(hr))
        return hr;
    hr = SetText(serverKey.Get(), nullptr, szFileName);
    if (FAILED(hr))
        return hr;
    return SetText(serverKey.Get(), L"ThreadingModel", szThreadingModel);
}

STDAPI AMovieSetupUnregisterServer(CLSID clsServer)
{
    LONG error = RegDeleteTreeW(HKEY_CLASSES_ROOT, ClassKeyPath(clsServer).c_str());
    if (error == ERROR_SUCCESS || error == ERROR_FILE_NOT_FOUND)
        return S_OK;
    return HRESULT_FROM_WIN32(error);
}

STDAPI AMovieSetupRegisterFilter2(const AMOVIESETUP_FILTER* psetupdata, IFilterMapper2* pIFM2, BOOL bRegister)
{
    if (psetupdata == nullptr || pIFM2 == nullptr)
        return E_POINTER;
    HRESULT hr = pIFM2->UnregisterFilter(&CLSID_LegacyAmFilterCategory, nullptr, *psetupdata->clsID);
    if (bRegister) {
        REGFILTER2 filter = {};
        filter.dwVersion = 1;
        filter.dwMerit = psetupdata->dwMerit;
        filter.cPins = psetupdata->nPins;
        filter.rgPins = psetupdata->lpPin;
        hr = pIFM2->RegisterFilter(*psetupdata->clsID, psetupdata->strName, nullptr, &CLSID_LegacyAmFilterCategory,
                                   nullptr, &filter);
    }
    // Removing a filter that was never registered is no error.
    if (hr == HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND))
        return S_OK;
    return hr;
}
