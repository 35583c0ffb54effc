#include "CameraRig.h"

#include <shlobj.h>

#include <gtest/gtest.h>

#include <set>

#include "DeviceList.h"
#include "InstalledBuilds.h"
#include "SimulatedBus.h"

using Microsoft::WRL::ComPtr;

namespace vyx::vyxcap::test {
namespace {

// The builds this program registered; each is unregistered once all its tests have run.
class Registrations : public ::testing::Environment {
public:
    static Registrations& Instance() {
        // Owned by GoogleTest once added.
        static Registrations* instance =
            static_cast<Registrations*>(::testing::AddGlobalTestEnvironment(new Registrations));
        return *instance;
    }

    bool Register(const std::wstring& dllPath) {
        if (m_registered.count(dllPath)) return true;
        const DWORD exitCode = vyx::test::Regsvr32(L"/s \"" + dllPath + L"\"");
        if (exitCode != 0) {
            ADD_FAILURE() << "regsvr32 of the model's build failed with " << exitCode;
            return false;
        }
        m_registered.insert(dllPath);
        return true;
    }

    void TearDown() override {
        for (const std::wstring& dllPath : m_registered)
            EXPECT_EQ(vyx::test::Regsvr32(L"/s /u \"" + dllPath + L"\""), 0u);
        m_registered.clear();
    }

private:
    std::set<std::wstring> m_registered;
};

}  // namespace

std::wstring SettingsFilePath() {
    wchar_t folder[MAX_PATH] = {};
    SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, folder);
    return std::wstring(folder) + L"\\VYXDShowDriver\\CamSettings.ini";
}

CameraRig::CameraRig(const wchar_t* model) {
    for (const auto& row : vyx::catalogue::kModels)
        if (std::wstring(row.displayNameW) == model) m_model = &row;
    if (!m_model) {
        ADD_FAILURE() << "no catalogue model of that name";
        return;
    }
    DeleteFileW(SettingsFilePath().c_str());
    vyx::sim::bus::UnplugAll();
    if (vyx::sim::bus::Plug(model) != ERROR_SUCCESS) {
        ADD_FAILURE() << "plugging the simulated camera failed";
        return;
    }
    m_plugged = true;
    for (const auto& device : vyx::sim::bus::ListPlugged())
        if (device.model == model) m_instanceId = device.instanceId;
    m_ready = Registrations::Instance().Register(vyx::test::FilterBuildPath(m_model->dllFileNameW));
}

CameraRig::~CameraRig() {
    if (m_plugged) vyx::sim::bus::UnplugAll();
}

ComPtr<IBaseFilter> CameraRig::CreateFilter() const {
    return vyx::vyxcap::CreateDeviceFilter(vyx::vyxcap::FindVideoDevice(FriendlyName()));
}

void CameraRig::SetSwitch(const wchar_t* name, DWORD value) const {
    EXPECT_EQ(vyx::sim::bus::SetSwitch(m_instanceId, name, value), static_cast<DWORD>(ERROR_SUCCESS));
}

}  // namespace vyx::vyxcap::test
