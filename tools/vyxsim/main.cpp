// vyxsim: plugs, unplugs and lists simulated cameras on the simulated USB bus, sets their
// fault switches, and writes one frame of a plugged camera as a PNG.
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

#include "SimulatedBus.h"
#include "Snapshot.h"
#include "ToolText.h"

namespace {

using vyx::tools::Narrow;
using vyx::tools::Win32ErrorText;

constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

int Usage() {
    std::fputs(
        "usage: vyxsim plug MODEL [SERIAL]\n"
        "       vyxsim unplug MODEL [SERIAL] | vyxsim unplug --all\n"
        "       vyxsim plug-instance ID | vyxsim unplug-instance ID\n"
        "       vyxsim list | vyxsim models\n"
        "       vyxsim set INSTANCE|MODEL SWITCH VALUE\n"
        "       vyxsim snapshot MODEL FILE.png [EXPOSURE_MS]\n",
        stderr);
    return kExitUsage;
}

int Fail(const std::string& message) {
    std::fprintf(stderr, "vyxsim: %s\n", message.c_str());
    return kExitFailure;
}

int Report(DWORD error, const std::string& what) {
    if (error == ERROR_SUCCESS) return 0;
    switch (error) {
    case ERROR_NOT_FOUND:
        return Fail("no model named \"" + what + "\" (vyxsim models lists them)");
    case ERROR_ALREADY_EXISTS:
        return Fail(what + " is already plugged");
    case ERROR_DEVICE_NOT_CONNECTED:
        return Fail(what + " is not plugged");
    case ERROR_INVALID_PARAMETER:
        return Fail("invalid serial or instance ID in \"" + what + "\"");
    default:
        return Fail(what + ": " + Win32ErrorText(error));
    }
}

int ListPlugged() {
    for (const auto& device : vyx::sim::bus::ListPlugged())
        std::printf("%s\t%s\t%s\n", Narrow(device.instanceId).c_str(),
                    device.model.empty() ? "(unknown)" : Narrow(device.model).c_str(), Narrow(device.serial).c_str());
    return 0;
}

int ListModels() {
    for (const auto& row : vyx::catalogue::kModels) std::printf("%s\n", row.displayName);
    return 0;
}

const wchar_t* FindSwitch(const std::wstring& name) {
    for (const wchar_t* known : vyx::sim::bus::kSwitchNames) {
        // The "Sim" prefix may be left out.
        if (_wcsicmp(name.c_str(), known) == 0 || _wcsicmp(name.c_str(), known + 3) == 0) return known;
    }
    return nullptr;
}

bool ParseDword(const std::wstring& text, DWORD* value) {
    if (text.empty() || text.size() > 10) return false;
    unsigned long long parsed = 0;
    for (wchar_t c : text) {
        if (c < L'0' || c > L'9') return false;
        parsed = parsed * 10 + static_cast<unsigned>(c - L'0');
    }
    if (parsed > 0xFFFFFFFFull) return false;
    *value = static_cast<DWORD>(parsed);
    return true;
}

int SetSwitch(const std::wstring& target, const std::wstring& switchName, const std::wstring& valueText) {
    const wchar_t* name = FindSwitch(switchName);
    if (!name) return Fail("unknown switch \"" + Narrow(switchName) + "\"");
    DWORD value = 0;
    if (!ParseDword(valueText, &value)) return Fail("value \"" + Narrow(valueText) + "\" is not a number 0 to 4294967295");

    std::vector<std::wstring> instances;
    if (target.find(L'\\') != std::wstring::npos) {
        instances.push_back(target);
    } else {
        const auto* row = vyx::sim::bus::FindModel(target);
        if (!row) return Report(ERROR_NOT_FOUND, Narrow(target));
        for (const auto& device : vyx::sim::bus::ListPlugged())
            if (device.model == row->displayNameW) instances.push_back(device.instanceId);
        if (instances.empty()) return Report(ERROR_DEVICE_NOT_CONNECTED, row->displayName);
    }
    for (const auto& instance : instances) {
        const DWORD error = vyx::sim::bus::SetSwitch(instance, name, value);
        if (error != ERROR_SUCCESS) return Report(error, Narrow(instance));
    }
    return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const std::vector<std::wstring> args(argv + 1, argv + argc);
    if (args.empty()) return Usage();
    const std::wstring& command = args[0];
    const size_t n = args.size();

    if (command == L"plug" && (n == 2 || n == 3)) {
        const std::wstring serial = n == 3 ? args[2] : L"";
        const auto* row = vyx::sim::bus::FindModel(args[1]);
        const std::string what = row ? Narrow(std::wstring(row->displayNameW) + L" " +
                                              (serial.empty() ? vyx::sim::bus::DefaultSerial(*row) : serial))
                                     : Narrow(args[1]);
        return Report(vyx::sim::bus::Plug(args[1], serial), what);
    }
    if (command == L"unplug" && n == 2 && args[1] == L"--all") return Report(vyx::sim::bus::UnplugAll(), "unplug --all");
    if (command == L"unplug" && (n == 2 || n == 3)) {
        const std::wstring serial = n == 3 ? args[2] : L"";
        const DWORD error = vyx::sim::bus::Unplug(args[1], serial);
        const std::string what = error == ERROR_NOT_FOUND ? Narrow(args[1]) : Narrow(args[1] + L" " + serial);
        return Report(error, what);
    }
    if (command == L"plug-instance" && n == 2) return Report(vyx::sim::bus::PlugInstance(args[1]), Narrow(args[1]));
    if (command == L"unplug-instance" && n == 2) return Report(vyx::sim::bus::UnplugInstance(args[1]), Narrow(args[1]));
    if (command == L"list" && n == 1) return ListPlugged();
    if (command == L"models" && n == 1) return ListModels();
    if (command == L"set" && n == 4) return SetSwitch(args[1], args[2], args[3]);
    if (command == L"snapshot" && (n == 3 || n == 4)) {
        DWORD exposureMs = 2000;
        if (n == 4 && (!ParseDword(args[3], &exposureMs) || exposureMs < 1 || exposureMs > 60000))
            return Fail("exposure \"" + Narrow(args[3]) + "\" is not 1 to 60000 milliseconds");
        std::string error;
        if (!vyx::tools::WriteSnapshot(args[1], args[2], static_cast<int>(exposureMs), &error)) return Fail(error);
        return 0;
    }
    return Usage();
}
