// The installed builds as the platform uses them: regsvr32 and the registry layout, the
// system device enumerator and moniker binding, two builds side by side, the class
// factory, and many creations in one process.
#include <gtest/gtest.h>

#include <windows.h>
#include <dshow.h>
#include <mferror.h>
#include <mfidl.h>
#include <psapi.h>
#include <wrl/client.h>

#include <string>
#include <vector>

#include "ComApartment.h"
#include "InstalledBuilds.h"
#include "SimulatedBus.h"
#include "UniqueResource.h"
#include "vyx_catalogue.h"

using Microsoft::WRL::ComPtr;

namespace {
const wchar_t kVideoInputCategory[] = L"{860BB310-5D01-11D0-BD3B-00A0C911CE86}";
const wchar_t kLegacyCategory[] = L"{083863F1-70DE-11D0-BD40-00A0C911CE86}";

using vyx::win::ComApartment;

const vyx::catalogue::ModelRow& Row(const wchar_t* name) {
    return *vyx::sim::bus::FindModel(name);
}

using vyx::test::DllPath;
using vyx::test::Register;
using vyx::test::Unregister;

// A value under HKLM\Software\Classes; `exists` tells a missing key from an empty value.
std::wstring ClassesValue(const std::wstring& key, const wchar_t* name, bool* exists) {
    vyx::win::UniqueRegKey handle;
    *exists = RegOpenKeyExW(HKEY_LOCAL_MACHINE, (L"Software\\Classes\\" + key).c_str(), 0, KEY_READ, handle.Put()) ==
              ERROR_SUCCESS;
    if (!*exists) return L"";
    wchar_t value[1024] = {};
    DWORD size = sizeof value - sizeof(wchar_t);
    DWORD type = 0;
    const LONG result = RegQueryValueExW(handle.Get(), name, nullptr, &type, reinterpret_cast<BYTE*>(value), &size);
    return result == ERROR_SUCCESS && type == REG_SZ ? value : L"<missing>";
}

bool KeyExists(const std::wstring& key) {
    bool exists = false;
    ClassesValue(key, nullptr, &exists);
    return exists;
}

// Everything the layout fixes for one build, as one comparable text.
std::wstring Layout(const vyx::catalogue::ModelRow& row) {
    const std::wstring clsid = row.filterClsidText;
    bool exists = false;
    std::wstring text = ClassesValue(L"CLSID\\" + clsid, nullptr, &exists) + L"|";
    text += ClassesValue(L"CLSID\\" + clsid + L"\\InprocServer32", nullptr, &exists) + L"|";
    text += ClassesValue(L"CLSID\\" + clsid + L"\\InprocServer32", L"ThreadingModel", &exists) + L"|";
    const std::wstring instance = std::wstring(L"CLSID\\") + kVideoInputCategory + L"\\Instance\\" + clsid;
    text += ClassesValue(instance, L"CLSID", &exists) + L"|";
    text += ClassesValue(instance, L"FriendlyName", &exists) + L"|";
    text += KeyExists(std::wstring(L"CLSID\\") + kLegacyCategory + L"\\Instance\\" + clsid) ? L"legacy" : L"-";
    return text;
}

std::vector<std::wstring> VideoInputDevices() {
    std::vector<std::wstring> names;
    ComPtr<ICreateDevEnum> devices;
    if (FAILED(CoCreateInstance(CLSID_SystemDeviceEnum, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&devices))))
        return names;
    ComPtr<IEnumMoniker> monikers;
    if (devices->CreateClassEnumerator(CLSID_VideoInputDeviceCategory, &monikers, 0) != S_OK) return names;
    for (ComPtr<IMoniker> moniker; monikers->Next(1, moniker.ReleaseAndGetAddressOf(), nullptr) == S_OK;) {
        ComPtr<IPropertyBag> bag;
        if (FAILED(moniker->BindToStorage(nullptr, nullptr, IID_PPV_ARGS(&bag)))) continue;
        VARIANT name;
        VariantInit(&name);
        if (SUCCEEDED(bag->Read(L"FriendlyName", &name, nullptr))) names.emplace_back(name.bstrVal);
        VariantClear(&name);
    }
    return names;
}

// Binds the moniker with this friendly name, as capture applications create a device.
HRESULT BindDevice(const std::wstring& friendly, ComPtr<IBaseFilter>* filter) {
    ComPtr<ICreateDevEnum> devices;
    HRESULT hr = CoCreateInstance(CLSID_SystemDeviceEnum, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&devices));
    if (FAILED(hr)) return hr;
    ComPtr<IEnumMoniker> monikers;
    if (devices->CreateClassEnumerator(CLSID_VideoInputDeviceCategory, &monikers, 0) != S_OK) return E_FAIL;
    for (ComPtr<IMoniker> moniker; monikers->Next(1, moniker.ReleaseAndGetAddressOf(), nullptr) == S_OK;) {
        ComPtr<IPropertyBag> bag;
        if (FAILED(moniker->BindToStorage(nullptr, nullptr, IID_PPV_ARGS(&bag)))) continue;
        VARIANT name;
        VariantInit(&name);
        const bool match = SUCCEEDED(bag->Read(L"FriendlyName", &name, nullptr)) && friendly == name.bstrVal;
        VariantClear(&name);
        if (match) return moniker->BindToObject(nullptr, nullptr, IID_PPV_ARGS(filter->ReleaseAndGetAddressOf()));
    }
    return E_FAIL;
}

std::vector<std::wstring> PinNames(IBaseFilter* filter) {
    std::vector<std::wstring> names;
    ComPtr<IEnumPins> pins;
    filter->EnumPins(&pins);
    for (ComPtr<IPin> pin; pins->Next(1, pin.ReleaseAndGetAddressOf(), nullptr) == S_OK;) {
        PIN_INFO info{};
        pin->QueryPinInfo(&info);
        if (info.pFilter) info.pFilter->Release();
        names.emplace_back(info.achName);
    }
    return names;
}

bool Contains(const std::vector<std::wstring>& names, const std::wstring& name) {
    for (const std::wstring& n : names)
        if (n == name) return true;
    return false;
}

const vyx::catalogue::ModelRow& kColor = Row(L"Kestrel 1C");
const vyx::catalogue::ModelRow& kMono = Row(L"Osprey 7M");
}  // namespace

TEST(Registration, Regsvr32WritesAndRemovesTheRegistryLayout) {
    Unregister(kColor);
    ASSERT_EQ(Register(kColor), 0u);
    const std::wstring clsid = kColor.filterClsidText;
    const std::wstring expected = std::wstring(kColor.friendlyName) + L"|" + DllPath(kColor) + L"|Both|" + clsid +
                                  L"|" + kColor.friendlyName + L"|legacy";
    const std::wstring layout = Layout(kColor);
    EXPECT_EQ(CompareStringOrdinal(layout.c_str(), -1, expected.c_str(), -1, TRUE), CSTR_EQUAL)
        << std::string(layout.begin(), layout.end());

    ASSERT_EQ(Register(kColor), 0u);
    EXPECT_EQ(Layout(kColor), layout);

    ASSERT_EQ(Unregister(kColor), 0u);
    EXPECT_FALSE(KeyExists(L"CLSID\\" + clsid));
    EXPECT_FALSE(KeyExists(std::wstring(L"CLSID\\") + kVideoInputCategory + L"\\Instance\\" + clsid));
    EXPECT_FALSE(KeyExists(std::wstring(L"CLSID\\") + kLegacyCategory + L"\\Instance\\" + clsid));
    // The category entry is gone: unregistering again reports the mapper's failure.
    EXPECT_NE(Unregister(kColor), 0u);
    EXPECT_FALSE(KeyExists(L"CLSID\\" + clsid));
}

// The media source's class key comes and goes with the filter's, and COM creates the source
// from the registered build only while its camera is plugged in.
TEST(Registration, MediaSourceIsRegisteredAndCreatedWithTheFilter) {
    ComApartment com;
    vyx::sim::bus::UnplugAll();
    ASSERT_EQ(Register(kColor), 0u);
    const std::wstring key = std::wstring(L"CLSID\\") + kColor.mediaSourceClsidText;
    bool exists = false;
    EXPECT_EQ(ClassesValue(key, nullptr, &exists), kColor.friendlyName);
    EXPECT_EQ(CompareStringOrdinal(ClassesValue(key + L"\\InprocServer32", nullptr, &exists).c_str(), -1,
                                   DllPath(kColor).c_str(), -1, TRUE),
              CSTR_EQUAL);
    EXPECT_EQ(ClassesValue(key + L"\\InprocServer32", L"ThreadingModel", &exists), L"Both");

    ComPtr<IMFMediaSource> source;
    EXPECT_EQ(CoCreateInstance(kColor.mediaSourceClsid, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&source)),
              MF_E_NO_CAPTURE_DEVICES_AVAILABLE);
    ASSERT_EQ(vyx::sim::bus::Plug(kColor.displayNameW), 0u);
    ASSERT_EQ(CoCreateInstance(kColor.mediaSourceClsid, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&source)), S_OK);
    EXPECT_EQ(source->Shutdown(), S_OK);
    source.Reset();
    vyx::sim::bus::UnplugAll();

    ASSERT_EQ(Unregister(kColor), 0u);
    EXPECT_FALSE(KeyExists(key));
    EXPECT_EQ(CoCreateInstance(kColor.mediaSourceClsid, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&source)),
              REGDB_E_CLASSNOTREG);
}

TEST(Registration, DevicesListAndBindOnlyWithTheirCamera) {
    ComApartment com;
    vyx::sim::bus::UnplugAll();
    ASSERT_EQ(Register(kColor), 0u);
    ASSERT_EQ(Register(kMono), 0u);
    const std::vector<std::wstring> names = VideoInputDevices();
    EXPECT_TRUE(Contains(names, kColor.friendlyName));
    EXPECT_TRUE(Contains(names, kMono.friendlyName));

    ComPtr<IBaseFilter> color, mono;
    EXPECT_EQ(BindDevice(kColor.friendlyName, &color), E_HANDLE);
    ASSERT_EQ(vyx::sim::bus::Plug(kMono.displayNameW), ERROR_SUCCESS);
    EXPECT_EQ(BindDevice(kColor.friendlyName, &color), E_HANDLE);  // only another model
    ASSERT_EQ(BindDevice(kMono.friendlyName, &mono), S_OK);
    ASSERT_EQ(vyx::sim::bus::Plug(kColor.displayNameW), ERROR_SUCCESS);
    ASSERT_EQ(BindDevice(kColor.friendlyName, &color), S_OK);
    EXPECT_NE(static_cast<IUnknown*>(color.Get()), static_cast<IUnknown*>(mono.Get()));
    EXPECT_EQ(PinNames(color.Get()), std::vector<std::wstring>{L"Video"});
    EXPECT_EQ(PinNames(mono.Get()), std::vector<std::wstring>{L"Video"});
    CLSID clsid{};
    color->GetClassID(&clsid);
    EXPECT_TRUE(IsEqualCLSID(clsid, kColor.filterClsid));
    mono->GetClassID(&clsid);
    EXPECT_TRUE(IsEqualCLSID(clsid, kMono.filterClsid));

    // Each build answers only its own ICameraInstance.
    ComPtr<IUnknown> instance;
    EXPECT_EQ(color->QueryInterface(kColor.cameraInstanceIid, &instance), S_OK);
    EXPECT_EQ(color->QueryInterface(kMono.cameraInstanceIid, &instance), E_NOINTERFACE);

    // A second creation in the process returns the same filter.
    ComPtr<IBaseFilter> again;
    ASSERT_EQ(CoCreateInstance(kColor.filterClsid, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&again)), S_OK);
    EXPECT_EQ(again.Get(), color.Get());
    color.Reset();
    again.Reset();
    mono.Reset();

    // A camera that refuses to open fails the creation with E_FAIL.
    for (const vyx::sim::bus::PluggedDevice& device : vyx::sim::bus::ListPlugged())
        if (device.model == kColor.displayNameW) vyx::sim::bus::SetSwitch(device.instanceId, vyx::sim::bus::kSwitchRefuseOpen, 1);
    EXPECT_EQ(BindDevice(kColor.friendlyName, &color), E_FAIL);
    vyx::sim::bus::UnplugAll();
    EXPECT_EQ(Unregister(kColor), 0u);
    EXPECT_EQ(Unregister(kMono), 0u);
}

TEST(Registration, ClassFactoryServesOnlyItsOwnBuild) {
    ComApartment com;
    HMODULE module = LoadLibraryW(DllPath(kColor).c_str());
    ASSERT_NE(module, nullptr);
    using GetClassObject = HRESULT(WINAPI*)(REFCLSID, REFIID, void**);
    using CanUnloadNow = HRESULT(WINAPI*)();
    auto getClassObject = reinterpret_cast<GetClassObject>(reinterpret_cast<void (*)()>(GetProcAddress(module, "DllGetClassObject")));
    auto canUnloadNow = reinterpret_cast<CanUnloadNow>(reinterpret_cast<void (*)()>(GetProcAddress(module, "DllCanUnloadNow")));
    ASSERT_NE(getClassObject, nullptr);
    ASSERT_NE(canUnloadNow, nullptr);
    for (const char* name : {"DllMain", "DllRegisterServer", "DllUnregisterServer"})
        EXPECT_NE(GetProcAddress(module, name), nullptr) << name;

    void* object = nullptr;
    EXPECT_EQ(getClassObject(kMono.filterClsid, IID_IClassFactory, &object), CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_EQ(object, nullptr);
    ComPtr<IClassFactory> factory;
    ASSERT_EQ(getClassObject(kColor.filterClsid, IID_IClassFactory,
                             reinterpret_cast<void**>(factory.GetAddressOf())), S_OK);
    EXPECT_EQ(canUnloadNow(), S_FALSE);
    factory.Reset();
    EXPECT_EQ(canUnloadNow(), S_OK);

    // Version resource 1.13.2.0.
    const std::wstring path = DllPath(kColor);
    DWORD ignored = 0;
    std::vector<BYTE> version(GetFileVersionInfoSizeW(path.c_str(), &ignored));
    ASSERT_FALSE(version.empty());
    ASSERT_TRUE(GetFileVersionInfoW(path.c_str(), 0, static_cast<DWORD>(version.size()), version.data()));
    VS_FIXEDFILEINFO* info = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(version.data(), L"\\", reinterpret_cast<void**>(&info), &length));
    EXPECT_EQ(info->dwFileVersionMS, 0x0001000Du);
    EXPECT_EQ(info->dwFileVersionLS, 0x00020000u);
    EXPECT_EQ(info->dwProductVersionMS, 0x0001000Du);
    FreeLibrary(module);
}

TEST(Registration, RepeatedCreationsLeaveHandlesAndMemoryFlat) {
    ComApartment com;
    vyx::sim::bus::UnplugAll();
    ASSERT_EQ(Register(kColor), 0u);
    ASSERT_EQ(vyx::sim::bus::Plug(kColor.displayNameW), ERROR_SUCCESS);
    auto cycle = [] {
        ComPtr<IBaseFilter> filter;
        return CoCreateInstance(kColor.filterClsid, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&filter));
    };
    // Warm-up: the first creations load libraries and fill caches for good.
    for (int i = 0; i < 20; ++i) ASSERT_EQ(cycle(), S_OK);
    DWORD handlesBefore = 0;
    GetProcessHandleCount(GetCurrentProcess(), &handlesBefore);
    PROCESS_MEMORY_COUNTERS_EX before{};
    GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&before), sizeof before);

    // Each creation opens the camera (about 0.15 s under Wine): 100 keep the test short
    // and still show a leak of one handle or one kilobyte per creation.
    constexpr int kCycles = 100;
    for (int i = 0; i < kCycles; ++i) ASSERT_EQ(cycle(), S_OK) << i;

    DWORD handlesAfter = 0;
    GetProcessHandleCount(GetCurrentProcess(), &handlesAfter);
    PROCESS_MEMORY_COUNTERS_EX after{};
    GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&after), sizeof after);
    EXPECT_LE(handlesAfter, handlesBefore + 2);
    EXPECT_LT(after.PrivateUsage, before.PrivateUsage + kCycles * 1024);
    vyx::sim::bus::UnplugAll();
    EXPECT_EQ(Unregister(kColor), 0u);
}
