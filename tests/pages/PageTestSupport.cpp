#include "PageTestSupport.h"

#include <gtest/gtest.h>
#include <shlobj.h>

#include <set>

#include "PageResources.h"
#include "SimulatedBus.h"

namespace vyx::pages::test {

const int kHarmlessClicks[8] = {IDC_IP_RAW8,  IDC_CC_DEFAULT,   IDC_AC_DEFAULT, IDC_CO_DEFAULT,
                                IDC_ST_NORTH, IDC_TE_COOLER_ON, 0,              IDC_OT_FLIP_HORIZONTAL};

const vyx::catalogue::ModelRow& Model(const wchar_t* name) {
    return *vyx::sim::bus::FindModel(name);
}

const vyx::catalogue::ModelRow& ColorModel() {
    return Model(L"Heron 9C");
}

const vyx::catalogue::ModelRow& MonoModel() {
    return Model(L"Kestrel 1M");
}

std::wstring ClassesValue(const std::wstring& key, const wchar_t* name) {
    HKEY handle = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, (L"Software\\Classes\\" + key).c_str(), 0, KEY_READ, &handle) !=
        ERROR_SUCCESS)
        return L"<none>";
    wchar_t value[1024] = {};
    DWORD size = sizeof value - sizeof(wchar_t);
    const LONG result = RegQueryValueExW(handle, name, nullptr, nullptr, reinterpret_cast<BYTE*>(value), &size);
    RegCloseKey(handle);
    return result == ERROR_SUCCESS ? value : L"<none>";
}

std::wstring GuidText(const GUID& guid) {
    wchar_t text[40] = {};
    StringFromGUID2(guid, text, 40);
    return text;
}

namespace {

// The builds the fixtures registered, unregistered once every test of the program has run,
// so the prefix the tools share lists no camera the tests left behind.
class FixtureRegistrations : public ::testing::Environment {
public:
    static FixtureRegistrations& Instance() {
        // Owned by GoogleTest once added.
        static auto* instance =
            static_cast<FixtureRegistrations*>(::testing::AddGlobalTestEnvironment(new FixtureRegistrations));
        return *instance;
    }
    void Add(const vyx::catalogue::ModelRow& row) { m_rows.insert(&row); }
    void TearDown() override {
        for (const vyx::catalogue::ModelRow* row : m_rows) EXPECT_EQ(Unregister(*row), 0u);
        m_rows.clear();
    }

private:
    std::set<const vyx::catalogue::ModelRow*> m_rows;
};

}  // namespace

CameraFixture::CameraFixture(const vyx::catalogue::ModelRow& row, const wchar_t* simSwitch) : m_row(row) {
    RemoveSettingsFile();
    vyx::sim::bus::UnplugAll();
    EXPECT_EQ(vyx::sim::bus::Plug(row.displayNameW), static_cast<DWORD>(ERROR_SUCCESS));
    for (const vyx::sim::bus::PluggedDevice& device : vyx::sim::bus::ListPlugged())
        if (device.model == row.displayNameW) m_instanceId = device.instanceId;
    if (simSwitch) {
        EXPECT_EQ(vyx::sim::bus::SetSwitch(m_instanceId, simSwitch, 1), static_cast<DWORD>(ERROR_SUCCESS));
    }
    // regsvr32 takes a second or two: only when the build is not registered already.
    if (ClassesValue(L"CLSID\\" + GuidText(row.filterClsid) + L"\\InprocServer32", nullptr) != DllPath(row)) {
        EXPECT_EQ(Register(row), 0u);
        FixtureRegistrations::Instance().Add(row);
    }
    HRESULT hr = CoCreateInstance(row.filterClsid, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&m_filter));
    EXPECT_EQ(hr, S_OK);
    if (FAILED(hr)) return;
    ComPtr<IEnumPins> pins;
    m_filter->EnumPins(&pins);
    pins->Next(1, &m_pin, nullptr);
    m_pin.CopyTo(row.cameraInstanceIid, reinterpret_cast<void**>(m_instance.GetAddressOf()));
    if (m_instance) m_instance->GetCamera(&m_camera);
    EXPECT_NE(m_camera, nullptr);
}

CameraFixture::~CameraFixture() {
    m_instance.Reset();
    m_pin.Reset();
    // The next test must get a new filter with a freshly opened camera.
    if (m_filter) {
        EXPECT_EQ(m_filter.Detach()->Release(), 0u) << "filter still referenced";
    }
    vyx::sim::bus::UnplugAll();
}

std::unique_ptr<PageHost> CameraFixture::OpenPage(Slot slot, bool activate) const {
    std::unique_ptr<PageHost> host;
    IUnknown* object = slot == kImageParameters ? static_cast<IUnknown*>(m_pin.Get()) : m_filter.Get();
    const HRESULT hr = PageHost::Create(m_row.pageClsids[slot], object, &host);
    EXPECT_EQ(hr, S_OK) << "page " << slot;
    if (host && activate) {
        EXPECT_EQ(host->Activate(), S_OK);
    }
    return host;
}

int SizeIndex(const PageHost& page, int comboId, const std::wstring& text) {
    for (int i = 0; i < page.ItemCount(comboId); ++i)
        if (page.ItemText(comboId, i) == text) return i;
    return -1;
}

DWORD GdiObjectCount() {
    const DWORD reported = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
    if (reported) return reported;
    DWORD count = 0;
    for (UINT_PTR slot = 1; slot < 0x10000; ++slot) count += GetObjectType(reinterpret_cast<HGDIOBJ>(slot)) != 0;
    return count;
}

namespace {
BOOL CALLBACK CountWindow(HWND, LPARAM count) {
    ++*reinterpret_cast<DWORD*>(count);
    return TRUE;
}

// A top-level window and all its descendants.
BOOL CALLBACK CountWindowTree(HWND window, LPARAM count) {
    ++*reinterpret_cast<DWORD*>(count);
    EnumChildWindows(window, CountWindow, count);
    return TRUE;
}
}  // namespace

DWORD ThreadWindowCount() {
    DWORD count = 0;
    EnumThreadWindows(GetCurrentThreadId(), CountWindowTree, reinterpret_cast<LPARAM>(&count));
    return count;
}

namespace {
std::string SettingsPath() {
    char folder[MAX_PATH] = {};
    SHGetFolderPathA(nullptr, CSIDL_LOCAL_APPDATA, nullptr, 0, folder);
    return std::string(folder) + "\\VYXDShowDriver\\CamSettings.ini";
}
}  // namespace

void RemoveSettingsFile() {
    DeleteFileA(SettingsPath().c_str());
}

}  // namespace vyx::pages::test
