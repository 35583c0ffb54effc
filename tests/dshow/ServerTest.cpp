// The COM server support of a module built on the framework: class table lookup, the class
// factory, DllCanUnloadNow and AMovieDllRegisterServer2's registry layout. This program
// defines its own class table, as a filter DLL does.
#include <streams.h>
#include <wrl/client.h>

#include <gtest/gtest.h>

#include <string>

#include "ComTest.h"
#include "TestSource.h"

using Microsoft::WRL::ComPtr;
using namespace vyx::dshow::test;

namespace {

// {6A1D5E40-2C1B-4F7A-9C55-0D3E8B7F1A02}
constexpr CLSID CLSID_TestPage = {0x6a1d5e40, 0x2c1b, 0x4f7a, {0x9c, 0x55, 0x0d, 0x3e, 0x8b, 0x7f, 0x1a, 0x02}};
// {6A1D5E40-2C1B-4F7A-9C55-0D3E8B7F1A03}: in no table.
constexpr CLSID CLSID_Elsewhere = {0x6a1d5e40, 0x2c1b, 0x4f7a, {0x9c, 0x55, 0x0d, 0x3e, 0x8b, 0x7f, 0x1a, 0x03}};

HRESULT g_nextCreateResult = S_OK;
int g_initCalls = 0;

CUnknown* CALLBACK CreateTestSource(LPUNKNOWN outer, HRESULT* phr)
{
    StreamScript script;
    script.subtypes = {MEDIASUBTYPE_RGB24};
    auto* source = new TestSource(outer, phr, script);
    if (FAILED(g_nextCreateResult))
        *phr = g_nextCreateResult;
    return source;
}

CUnknown* CALLBACK CreateNothing(LPUNKNOWN, HRESULT* phr)
{
    *phr = E_ACCESSDENIED;
    return nullptr;
}

void CALLBACK CountInit(BOOL, const CLSID*)
{
    ++g_initCalls;
}

const REGPINTYPES kPinTypes = {&MEDIATYPE_Video, &MEDIASUBTYPE_NULL};
const AMOVIESETUP_PIN kPin = {const_cast<LPWSTR>(L"Capture"), FALSE, TRUE, FALSE, FALSE, &GUID_NULL, nullptr, 1,
                              &kPinTypes};
const AMOVIESETUP_FILTER kFilterSetup = {&CLSID_TestSource, L"Framework Test Source", MERIT_DO_NOT_USE, 1, &kPin};

}  // namespace

CFactoryTemplate g_Templates[] = {
    {L"Framework Test Source", &CLSID_TestSource, CreateTestSource, CountInit, &kFilterSetup},
    {L"Framework Test Page", &CLSID_TestPage, CreateNothing, nullptr, nullptr},
};
int g_cTemplates = sizeof(g_Templates) / sizeof(g_Templates[0]);

namespace {

class ServerTest : public ComTest {
protected:
    void TearDown() override
    {
        g_nextCreateResult = S_OK;
        EXPECT_EQ(TestSource::s_live, 0);
        ComTest::TearDown();
    }
};

std::wstring ClassKey(REFCLSID clsid)
{
    WCHAR text[40];
    StringFromGUID2(clsid, text, 40);
    return std::wstring(L"CLSID\\") + text;
}

// The text of a value under HKEY_CLASSES_ROOT, or "<missing>".
std::wstring ReadText(const std::wstring& key, LPCWSTR value)
{
    WCHAR buffer[1024];
    DWORD bytes = sizeof(buffer);
    if (RegGetValueW(HKEY_CLASSES_ROOT, key.c_str(), value, RRF_RT_REG_SZ, nullptr, buffer, &bytes) != ERROR_SUCCESS)
        return L"<missing>";
    return buffer;
}

bool KeyExists(const std::wstring& key)
{
    HKEY handle = nullptr;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS)
        return false;
    RegCloseKey(handle);
    return true;
}

// An aggregating object that counts the calls its inner object forwards to it.
class Outer : public IUnknown {
public:
    IUnknown* inner = nullptr;
    int queries = 0;
    LONG refs = 1;
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override
    {
        ++queries;
        if (IsEqualIID(riid, IID_IUnknown)) {
            *ppv = this;
            AddRef();
            return S_OK;
        }
        return inner->QueryInterface(riid, ppv);
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++refs; }
    STDMETHODIMP_(ULONG) Release() override { return --refs; }
};

TEST_F(ServerTest, ClassObjectsComeOnlyFromTheTableAndCreateThroughTheFactory)
{
    ComPtr<IClassFactory> factory;
    EXPECT_EQ(DllGetClassObject(CLSID_TestSource, IID_IBaseFilter, reinterpret_cast<void**>(factory.GetAddressOf())),
              E_NOINTERFACE);
    EXPECT_EQ(DllGetClassObject(CLSID_Elsewhere, IID_IClassFactory, reinterpret_cast<void**>(factory.GetAddressOf())),
              CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_EQ(factory, nullptr);
    EXPECT_EQ(DllGetClassObject(CLSID_TestSource, IID_IClassFactory, nullptr), E_POINTER);
    EXPECT_EQ(DllCanUnloadNow(), S_OK);

    ASSERT_EQ(DllGetClassObject(CLSID_TestSource, IID_IClassFactory, reinterpret_cast<void**>(factory.GetAddressOf())),
              S_OK);
    EXPECT_EQ(DllCanUnloadNow(), S_FALSE) << "a class factory is alive";
    ComPtr<IUnknown> unknown;
    EXPECT_EQ(factory.As(&unknown), S_OK);
    unknown.Reset();

    ComPtr<IBaseFilter> filter;
    EXPECT_EQ(factory->CreateInstance(nullptr, IID_IBaseFilter, nullptr), E_POINTER);
    ASSERT_EQ(factory->CreateInstance(nullptr, IID_IBaseFilter, reinterpret_cast<void**>(filter.GetAddressOf())), S_OK);
    EXPECT_EQ(TestSource::s_live, 1);
    EXPECT_EQ(filter->AddRef(), 2u) << "the factory's temporary reference is gone";
    filter->Release();

    ComPtr<IPin> notAFilterInterface;
    EXPECT_EQ(factory->CreateInstance(nullptr, IID_IPin, reinterpret_cast<void**>(notAFilterInterface.GetAddressOf())),
              E_NOINTERFACE);
    EXPECT_EQ(TestSource::s_live, 1) << "the object nobody could take was deleted";

    g_nextCreateResult = E_HANDLE;
    ComPtr<IBaseFilter> failed;
    EXPECT_EQ(factory->CreateInstance(nullptr, IID_IBaseFilter, reinterpret_cast<void**>(failed.GetAddressOf())),
              E_HANDLE);
    EXPECT_EQ(failed, nullptr);
    EXPECT_EQ(TestSource::s_live, 1) << "a creation that reported failure is deleted";
    g_nextCreateResult = S_OK;

    Outer outer;
    ComPtr<IBaseFilter> refused;
    EXPECT_EQ(factory->CreateInstance(&outer, IID_IBaseFilter, reinterpret_cast<void**>(refused.GetAddressOf())),
              E_NOINTERFACE)
        << "an aggregating caller must ask for IUnknown";
    EXPECT_EQ(TestSource::s_live, 1);

    factory.Reset();
    EXPECT_EQ(DllCanUnloadNow(), S_FALSE) << "the filter is alive";
    filter.Reset();
    EXPECT_EQ(DllCanUnloadNow(), S_OK);

    ComPtr<IClassFactory> pageFactory;
    ASSERT_EQ(DllGetClassObject(CLSID_TestPage, IID_IUnknown, reinterpret_cast<void**>(pageFactory.GetAddressOf())),
              S_OK);
    ComPtr<IUnknown> page;
    EXPECT_EQ(pageFactory->CreateInstance(nullptr, IID_IUnknown, reinterpret_cast<void**>(page.GetAddressOf())),
              E_ACCESSDENIED)
        << "a creation function's own failure is passed on";
    EXPECT_EQ(pageFactory->LockServer(TRUE), S_OK);
    pageFactory.Reset();
    EXPECT_EQ(DllCanUnloadNow(), S_FALSE) << "the server is locked";
    ASSERT_EQ(DllGetClassObject(CLSID_TestPage, IID_IClassFactory, reinterpret_cast<void**>(pageFactory.GetAddressOf())),
              S_OK);
    EXPECT_EQ(pageFactory->LockServer(FALSE), S_OK);
    pageFactory.Reset();
    EXPECT_EQ(DllCanUnloadNow(), S_OK);
}

TEST_F(ServerTest, AggregatedFilterDelegatesToItsOuterObject)
{
    ComPtr<IClassFactory> factory;
    ASSERT_EQ(DllGetClassObject(CLSID_TestSource, IID_IClassFactory, reinterpret_cast<void**>(factory.GetAddressOf())),
              S_OK);
    Outer outer;
    IUnknown* inner = nullptr;
    ASSERT_EQ(factory->CreateInstance(&outer, IID_IUnknown, reinterpret_cast<void**>(&inner)), S_OK);
    outer.inner = inner;
    EXPECT_EQ(outer.refs, 1) << "the inner object takes no reference on its outer";

    IBaseFilter* filter = nullptr;
    ASSERT_EQ(inner->QueryInterface(IID_IBaseFilter, reinterpret_cast<void**>(&filter)), S_OK);
    EXPECT_EQ(outer.refs, 2) << "interfaces of the inner object count on the outer";
    IUnknown* identity = nullptr;
    ASSERT_EQ(filter->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&identity)), S_OK);
    EXPECT_EQ(identity, static_cast<IUnknown*>(&outer));
    EXPECT_EQ(outer.queries, 1);
    identity->Release();
    filter->Release();
    EXPECT_EQ(outer.refs, 1);
    EXPECT_EQ(inner->Release(), 0u);
    EXPECT_EQ(TestSource::s_live, 0);
}

TEST_F(ServerTest, EntryPointRecordsTheModuleAndInitialisesTheClasses)
{
    const HINSTANCE self = GetModuleHandleW(nullptr);
    g_initCalls = 0;
    EXPECT_TRUE(DllEntryPoint(self, DLL_PROCESS_ATTACH, nullptr));
    EXPECT_EQ(g_hInst, self);
    EXPECT_EQ(g_initCalls, 1) << "only the entry with an initialisation routine";
    EXPECT_TRUE(DllEntryPoint(self, DLL_PROCESS_DETACH, nullptr));
    EXPECT_EQ(g_initCalls, 2);
}

TEST_F(ServerTest, RegistersClassKeysAndLegacyCategoryAndRemovesThemAgain)
{
    g_hInst = GetModuleHandleW(nullptr);
    WCHAR path[MAX_PATH];
    GetModuleFileNameW(g_hInst, path, MAX_PATH);
    const std::wstring filterKey = ClassKey(CLSID_TestSource);
    const std::wstring pageKey = ClassKey(CLSID_TestPage);
    WCHAR clsidText[40];
    StringFromGUID2(CLSID_TestSource, clsidText, 40);
    const std::wstring legacyKey = ClassKey(CLSID_LegacyAmFilterCategory) + L"\\Instance\\" + clsidText;

    for (int round = 0; round < 2; ++round) {
        ASSERT_EQ(AMovieDllRegisterServer2(TRUE), S_OK) << "round " << round;
        EXPECT_EQ(ReadText(filterKey, nullptr), L"Framework Test Source");
        EXPECT_EQ(ReadText(filterKey + L"\\InprocServer32", nullptr), path);
        EXPECT_EQ(ReadText(filterKey + L"\\InprocServer32", L"ThreadingModel"), L"Both");
        EXPECT_EQ(ReadText(pageKey, nullptr), L"Framework Test Page");
        EXPECT_EQ(ReadText(pageKey + L"\\InprocServer32", nullptr), path);
        EXPECT_EQ(ReadText(pageKey + L"\\InprocServer32", L"ThreadingModel"), L"Both");
        EXPECT_EQ(ReadText(legacyKey, L"FriendlyName"), L"Framework Test Source");
        EXPECT_EQ(ReadText(legacyKey, L"CLSID"), clsidText);
    }

    ASSERT_EQ(AMovieDllRegisterServer2(FALSE), S_OK);
    EXPECT_FALSE(KeyExists(filterKey));
    EXPECT_FALSE(KeyExists(pageKey));
    EXPECT_FALSE(KeyExists(legacyKey));
    EXPECT_EQ(AMovieDllRegisterServer2(FALSE), S_OK) << "what is already gone is no error";
}

}  // namespace
