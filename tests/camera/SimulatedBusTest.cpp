// The simulated USB bus and the vyxsim tool: plugged cameras are present devices to
// SetupDi, unplugged ones are gone, bad requests get clear errors, and nothing the bus
// did not create is ever removed.
#include <windows.h>
#include <setupapi.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "CameraTestSupport.h"
#include "InstalledBuilds.h"
#include "Processes.h"

namespace {

constexpr DWORD kOk = ERROR_SUCCESS;

// Instance IDs and hardware IDs of the present devices, as an application sees them.
struct PresentDevice {
    std::wstring instanceId;
    std::wstring hardwareIds;  // REG_MULTI_SZ entries joined by '|'
};

std::vector<PresentDevice> PresentDevices() {
    std::vector<PresentDevice> devices;
    HDEVINFO set = SetupDiGetClassDevsW(nullptr, nullptr, nullptr, DIGCF_PRESENT | DIGCF_ALLCLASSES);
    if (set == INVALID_HANDLE_VALUE) return devices;
    SP_DEVINFO_DATA info{};
    info.cbSize = sizeof info;
    for (DWORD i = 0; SetupDiEnumDeviceInfo(set, i, &info); ++i) {
        wchar_t id[512];
        if (!SetupDiGetDeviceInstanceIdW(set, &info, id, 512, nullptr)) continue;
        PresentDevice device{id, L""};
        wchar_t ids[1024] = {};
        if (SetupDiGetDeviceRegistryPropertyW(set, &info, SPDRP_HARDWAREID, nullptr, reinterpret_cast<BYTE*>(ids),
                                              sizeof ids - 2 * sizeof(wchar_t), nullptr))
            for (const wchar_t* p = ids; *p; p += wcslen(p) + 1) device.hardwareIds += std::wstring(p) + L"|";
        devices.push_back(device);
    }
    SetupDiDestroyDeviceInfoList(set);
    return devices;
}

const PresentDevice* FindPresent(const std::vector<PresentDevice>& devices, const std::wstring& id) {
    for (const PresentDevice& d : devices)
        if (_wcsicmp(d.instanceId.c_str(), id.c_str()) == 0) return &d;
    return nullptr;
}

TEST(SimulatedBus, PluggedCamerasArePresentDevicesUntilUnplugged) {
    vyx::sim::test::CleanBus bus;
    ASSERT_EQ(vyx::sim::bus::Plug(L"Osprey 7C"), kOk);
    ASSERT_EQ(vyx::sim::bus::Plug(L"osprey 7c", L"SECOND-2"), kOk);  // names match without regard to case
    const std::wstring first = L"USB\\VID_2A5C&PID_1BF2\\SIM1BF20001";
    const std::wstring second = L"USB\\VID_2A5C&PID_1BF2\\SECOND-2";

    std::vector<PresentDevice> devices = PresentDevices();
    const PresentDevice* device = FindPresent(devices, first);
    ASSERT_NE(device, nullptr);
    EXPECT_NE(device->hardwareIds.find(L"USB\\VID_2A5C&PID_1BF2|"), std::wstring::npos) << device->hardwareIds;
    EXPECT_NE(FindPresent(devices, second), nullptr);

    const std::vector<vyx::sim::bus::PluggedDevice> plugged = vyx::sim::bus::ListPlugged();
    ASSERT_EQ(plugged.size(), 2u);
    for (const auto& p : plugged) EXPECT_EQ(p.model, L"Osprey 7C");

    ASSERT_EQ(vyx::sim::bus::Unplug(L"Osprey 7C", L"SIM1BF20001"), kOk);
    devices = PresentDevices();
    EXPECT_EQ(FindPresent(devices, first), nullptr);
    EXPECT_NE(FindPresent(devices, second), nullptr);
    ASSERT_EQ(vyx::sim::bus::Unplug(L"Osprey 7C"), kOk);  // every camera of the model
    EXPECT_EQ(FindPresent(PresentDevices(), second), nullptr);
    EXPECT_TRUE(vyx::sim::bus::ListPlugged().empty());
}

TEST(SimulatedBus, BadRequestsGetClearErrorsAndChangeNothing) {
    vyx::sim::test::CleanBus bus;
    EXPECT_EQ(vyx::sim::bus::Plug(L"Osprey 99X"), static_cast<DWORD>(ERROR_NOT_FOUND));
    EXPECT_EQ(vyx::sim::bus::Plug(L""), static_cast<DWORD>(ERROR_NOT_FOUND));
    for (const wchar_t* serial : {L"a\\b", L"with space", L"0123456789012345678901234567890123", L"x/y", L"\u00e9"})
        EXPECT_EQ(vyx::sim::bus::Plug(L"Kestrel 1C", serial), static_cast<DWORD>(ERROR_INVALID_PARAMETER)) << serial;
    ASSERT_EQ(vyx::sim::bus::Plug(L"Kestrel 1C", L"K1"), kOk);
    EXPECT_EQ(vyx::sim::bus::Plug(L"Kestrel 1C", L"K1"), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
    EXPECT_EQ(vyx::sim::bus::Unplug(L"Kestrel 1C", L"K2"), static_cast<DWORD>(ERROR_DEVICE_NOT_CONNECTED));
    EXPECT_EQ(vyx::sim::bus::Unplug(L"Kestrel 1M"), static_cast<DWORD>(ERROR_DEVICE_NOT_CONNECTED));
    EXPECT_EQ(vyx::sim::bus::Unplug(L"Nope"), static_cast<DWORD>(ERROR_NOT_FOUND));
    for (const wchar_t* id : {L"", L"USB", L"USB\\VID_2A5C&PID_159A", L"USB\\\\X", L"USB\\A\\B\\C", L"USB\\A\\B\\",
                              L"USB\\A B\\C"})
        EXPECT_EQ(vyx::sim::bus::PlugInstance(id), static_cast<DWORD>(ERROR_INVALID_PARAMETER)) << id;
    EXPECT_EQ(vyx::sim::bus::SetSwitch(L"USB\\VID_2A5C&PID_159A\\K2", vyx::sim::bus::kSwitchNoPacing, 1),
              static_cast<DWORD>(ERROR_DEVICE_NOT_CONNECTED));
    EXPECT_EQ(vyx::sim::bus::SetSwitch(L"USB\\VID_2A5C&PID_159A\\K1", nullptr, 1),
              static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    ASSERT_EQ(vyx::sim::bus::ListPlugged().size(), 1u);

    std::uint16_t pid = 0;
    std::wstring serial;
    EXPECT_TRUE(vyx::sim::bus::ParseCameraInstanceId(L"usb\\vid_2a5c&pid_1bf2\\Abc", &pid, &serial));
    EXPECT_EQ(pid, 0x1BF2);
    EXPECT_EQ(serial, L"Abc");
    for (const wchar_t* id : {L"USB\\VID_2A5C&PID_1BF2&MI_00\\X", L"USB\\VID_2A5D&PID_1BF2\\X",
                              L"USB\\VID_2A5C&PID_1BG2\\X", L"USB\\VID_2A5C&PID_1BF2\\", L"USB\\VID_2A5C&PID_1BF2"})
        EXPECT_FALSE(vyx::sim::bus::ParseCameraInstanceId(id, &pid, &serial)) << id;
}

TEST(SimulatedBus, UnplugAllLeavesDevicesItDidNotCreate) {
    vyx::sim::test::CleanBus bus;
    const wchar_t foreign[] = L"System\\CurrentControlSet\\Enum\\USB\\VID_2A5C&PID_7777\\NOTOURS";
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, foreign, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr), kOk);
    RegCloseKey(key);
    ASSERT_EQ(vyx::sim::bus::Plug(L"Heron 6C"), kOk);
    ASSERT_EQ(vyx::sim::bus::PlugInstance(L"HID\\VID_1111&PID_2222\\7"), kOk);
    ASSERT_EQ(vyx::sim::bus::UnplugAll(), kOk);
    EXPECT_EQ(FindPresent(PresentDevices(), L"HID\\VID_1111&PID_2222\\7"), nullptr);
    EXPECT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, foreign, 0, KEY_READ, &key), kOk);
    RegCloseKey(key);
    EXPECT_EQ(RegDeleteTreeW(HKEY_LOCAL_MACHINE, L"System\\CurrentControlSet\\Enum\\USB\\VID_2A5C&PID_7777"), kOk);
}

// Runs the installed vyxsim of this architecture: its exit code, its output appended.
DWORD RunVyxsim(const std::wstring& arguments, std::string* out, std::string* err) {
    const vyx::test::ProcessResult run =
        vyx::test::RunProcess(L"\"" + vyx::test::ToolPath(L"vyxsim.exe") + L"\" " + arguments);
    out->append(run.out);
    err->append(run.err);
    return run.exitCode;
}

int Lines(const std::string& text) { return static_cast<int>(std::count(text.begin(), text.end(), '\n')); }

TEST(VyxsimTool, PlugsListsSwitchesAndUnplugsWithClearErrors) {
    vyx::sim::test::CleanBus bus;
    std::string out, err;
    ASSERT_EQ(RunVyxsim(L"plug \"Tern 4M\" T-1", &out, &err), 0u) << err;
    EXPECT_NE(FindPresent(PresentDevices(), L"USB\\VID_2A5C&PID_1CC3\\T-1"), nullptr);

    out.clear();
    ASSERT_EQ(RunVyxsim(L"list", &out, &err), 0u);
    EXPECT_EQ(out, "USB\\VID_2A5C&PID_1CC3\\T-1\tTern 4M\tT-1\r\n");

    out.clear();
    err.clear();
    EXPECT_EQ(RunVyxsim(L"plug \"Tern 4M\" T-1", &out, &err), 1u);
    EXPECT_EQ(Lines(err), 1);
    EXPECT_NE(err.find("already plugged"), std::string::npos) << err;

    ASSERT_EQ(RunVyxsim(L"set \"Tern 4M\" NoPacing 1", &out, &err), 0u) << err;
    ASSERT_EQ(RunVyxsim(L"set USB\\VID_2A5C&PID_1CC3\\T-1 SimFailReads 3", &out, &err), 0u) << err;
    DWORD value = 0, size = sizeof value;
    ASSERT_EQ(RegGetValueW(HKEY_LOCAL_MACHINE, L"System\\CurrentControlSet\\Enum\\USB\\VID_2A5C&PID_1CC3\\T-1",
                           vyx::sim::bus::kSwitchNoPacing, RRF_RT_REG_DWORD, nullptr, &value, &size),
              kOk);
    EXPECT_EQ(value, 1u);
    ASSERT_EQ(RegGetValueW(HKEY_LOCAL_MACHINE, L"System\\CurrentControlSet\\Enum\\USB\\VID_2A5C&PID_1CC3\\T-1",
                           vyx::sim::bus::kSwitchFailReads, RRF_RT_REG_DWORD, nullptr, &value, &size),
              kOk);
    EXPECT_EQ(value, 3u);

    for (const wchar_t* bad : {L"set \"Tern 4M\" Bogus 1", L"set \"Tern 4M\" NoPacing -1",
                               L"set \"Tern 4M\" NoPacing 99999999999", L"set \"Tern 16M\" NoPacing 1",
                               L"plug Nope", L"unplug \"Tern 4M\" T-2", L"snapshot Nope x.png"}) {
        err.clear();
        EXPECT_EQ(RunVyxsim(bad, &out, &err), 1u) << bad;
        EXPECT_EQ(Lines(err), 1) << bad << ": " << err;
    }
    for (const wchar_t* usage : {L"", L"plug", L"frobnicate", L"unplug a b c"}) {
        err.clear();
        EXPECT_EQ(RunVyxsim(usage, &out, &err), 2u) << usage;
        EXPECT_NE(err.find("usage"), std::string::npos);
    }

    out.clear();
    ASSERT_EQ(RunVyxsim(L"models", &out, &err), 0u);
    EXPECT_EQ(Lines(out), static_cast<int>(vyx::catalogue::kModelCount));
    EXPECT_EQ(out.rfind("Kestrel 1C\r\n", 0), 0u);

    ASSERT_EQ(RunVyxsim(L"unplug --all", &out, &err), 0u) << err;
    EXPECT_EQ(FindPresent(PresentDevices(), L"USB\\VID_2A5C&PID_1CC3\\T-1"), nullptr);
}

}  // namespace
