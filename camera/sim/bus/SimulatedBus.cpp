#include "SimulatedBus.h"

#include <setupapi.h>

#include <cwctype>
#include <iterator>

#include "BusChanges.h"
#include "UniqueResource.h"

namespace vyx::sim::bus {
namespace {

using vyx::catalogue::kModels;
using vyx::catalogue::ModelRow;

constexpr wchar_t kEnumRoot[] = L"System\\CurrentControlSet\\Enum";
// The USB device setup class; SetupDi reports a device only when its key names a class.
constexpr wchar_t kUsbClassGuid[] = L"{36FC9E60-C465-11CF-8056-444553540000}";
// Marks the instances this bus created, so UnplugAll never touches anything else.
constexpr wchar_t kMarkerValue[] = L"SimDevice";
constexpr size_t kMaxSerialLength = 32;
constexpr size_t kMaxInstanceIdLength = 200;

bool EqualNoCase(const std::wstring& a, const std::wstring& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::towupper(a[i]) != std::towupper(b[i])) return false;
    return true;
}

bool StartsWithNoCase(const std::wstring& text, const wchar_t* prefix) {
    const std::wstring p(prefix);
    return text.size() >= p.size() && EqualNoCase(text.substr(0, p.size()), p);
}

bool ValidSerial(const std::wstring& serial) {
    if (serial.empty() || serial.size() > kMaxSerialLength) return false;
    for (wchar_t c : serial)
        if (!((c >= L'0' && c <= L'9') || (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z') || c == L'-' ||
              c == L'_'))
            return false;
    return true;
}

// "ENUMERATOR\DEVICE\INSTANCE": three non-empty printable parts.
bool ValidInstanceId(const std::wstring& id) {
    if (id.empty() || id.size() > kMaxInstanceIdLength) return false;
    int separators = 0;
    wchar_t previous = L'\\';
    for (wchar_t c : id) {
        if (c < 0x21 || c == L'/' || c == 0x7F) return false;
        if (c == L'\\') {
            if (previous == L'\\') return false;
            ++separators;
        }
        previous = c;
    }
    return separators == 2 && previous != L'\\';
}

std::wstring EnumPath(const std::wstring& instanceId) { return std::wstring(kEnumRoot) + L"\\" + instanceId; }

std::wstring CameraDeviceId(const ModelRow& row) { return std::wstring(L"USB\\") + row.hardwareId; }

DWORD SetString(HKEY key, const wchar_t* name, const std::wstring& value, DWORD type = REG_SZ) {
    return RegSetValueExW(key, name, 0, type, reinterpret_cast<const BYTE*>(value.c_str()),
                          static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
}

DWORD SetDword(HKEY key, const wchar_t* name, DWORD value) {
    return RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
}

bool InstanceExists(const std::wstring& instanceId) {
    vyx::win::UniqueRegKey key;
    return RegOpenKeyExW(HKEY_LOCAL_MACHINE, EnumPath(instanceId).c_str(), 0, KEY_READ, key.Put()) ==
           ERROR_SUCCESS;
}

// hardwareIds: REG_MULTI_SZ entries, most specific first.
DWORD CreateInstance(const std::wstring& instanceId, const std::wstring& description,
                     const std::wstring& hardwareIds) {
    if (InstanceExists(instanceId)) return ERROR_ALREADY_EXISTS;
    vyx::win::UniqueRegKey key;
    DWORD disposition = 0;
    DWORD error = RegCreateKeyExW(HKEY_LOCAL_MACHINE, EnumPath(instanceId).c_str(), 0, nullptr, 0,
                                  KEY_READ | KEY_WRITE, nullptr, key.Put(), &disposition);
    if (error != ERROR_SUCCESS) return error;
    std::wstring multi = hardwareIds;
    multi.push_back(L'\0');  // SetString adds the final terminator
    if ((error = SetString(key.Get(), L"ClassGUID", kUsbClassGuid)) != ERROR_SUCCESS ||
        (error = SetString(key.Get(), L"HardwareID", multi, REG_MULTI_SZ)) != ERROR_SUCCESS ||
        (error = SetString(key.Get(), L"DeviceDesc", description)) != ERROR_SUCCESS ||
        (error = SetString(key.Get(), L"Mfg", L"Vyxon")) != ERROR_SUCCESS ||
        (error = SetDword(key.Get(), kMarkerValue, 1)) != ERROR_SUCCESS) {
        key.Reset();
        RegDeleteTreeW(HKEY_LOCAL_MACHINE, EnumPath(instanceId).c_str());
        return error;
    }
    CountChange();
    return ERROR_SUCCESS;
}

// Deletes the device key once its last instance is gone, as Windows does.
void DeleteDeviceKeyIfEmpty(const std::wstring& devicePath) {
    vyx::win::UniqueRegKey key;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, devicePath.c_str(), 0, KEY_READ, key.Put()) != ERROR_SUCCESS) return;
    DWORD subkeys = 0;
    if (RegQueryInfoKeyW(key.Get(), nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, nullptr, nullptr,
                         nullptr, nullptr, nullptr) != ERROR_SUCCESS || subkeys != 0)
        return;
    key.Reset();
    RegDeleteKeyW(HKEY_LOCAL_MACHINE, devicePath.c_str());
}

DWORD RemoveInstance(const std::wstring& instanceId) {
    if (!InstanceExists(instanceId)) return ERROR_DEVICE_NOT_CONNECTED;
    const std::wstring path = EnumPath(instanceId);
    const DWORD error = RegDeleteTreeW(HKEY_LOCAL_MACHINE, path.c_str());
    if (error != ERROR_SUCCESS) return error;
    CountChange();
    DeleteDeviceKeyIfEmpty(path.substr(0, path.rfind(L'\\')));
    return ERROR_SUCCESS;
}

std::vector<std::wstring> SubkeyNames(HKEY parent) {
    std::vector<std::wstring> names;
    wchar_t name[256];
    for (DWORD index = 0;; ++index) {
        DWORD length = static_cast<DWORD>(std::size(name));
        if (RegEnumKeyExW(parent, index, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        names.emplace_back(name, length);
    }
    return names;
}

bool IsSimulated(const std::wstring& instanceId) {
    DWORD value = 0;
    DWORD size = sizeof value;
    return RegGetValueW(HKEY_LOCAL_MACHINE, EnumPath(instanceId).c_str(), kMarkerValue, RRF_RT_REG_DWORD, nullptr,
                        &value, &size) == ERROR_SUCCESS &&
           value != 0;
}

}  // namespace

const ModelRow* FindModel(const std::wstring& name) {
    for (const ModelRow& row : kModels)
        if (EqualNoCase(name, row.displayNameW)) return &row;
    return nullptr;
}

std::wstring DefaultSerial(const ModelRow& row) {
    wchar_t serial[16];
    swprintf(serial, std::size(serial), L"SIM%04X0001", row.productId);
    return serial;
}

bool ParseCameraInstanceId(const std::wstring& instanceId, std::uint16_t* productId, std::wstring* serial) {
    const size_t prefixLength = std::wstring(vyx::catalogue::kVendorPrefix).size();
    if (!StartsWithNoCase(instanceId, vyx::catalogue::kVendorPrefix)) return false;
    // Four hex digits, then the serial; "&MI_00" and the like mark interfaces, not cameras.
    if (instanceId.size() < prefixLength + 6 || instanceId[prefixLength + 4] != L'\\') return false;
    unsigned value = 0;
    for (size_t i = prefixLength; i < prefixLength + 4; ++i) {
        const wchar_t c = static_cast<wchar_t>(std::towupper(instanceId[i]));
        if (c >= L'0' && c <= L'9')
            value = value * 16 + (c - L'0');
        else if (c >= L'A' && c <= L'F')
            value = value * 16 + (c - L'A' + 10);
        else
            return false;
    }
    const std::wstring rest = instanceId.substr(prefixLength + 5);
    if (rest.empty() || rest.find(L'\\') != std::wstring::npos) return false;
    if (productId) *productId = static_cast<std::uint16_t>(value);
    if (serial) *serial = rest;
    return true;
}

DWORD Plug(const std::wstring& model, const std::wstring& serial) {
    const ModelRow* row = FindModel(model);
    if (!row) return ERROR_NOT_FOUND;
    const std::wstring chosen = serial.empty() ? DefaultSerial(*row) : serial;
    if (!ValidSerial(chosen)) return ERROR_INVALID_PARAMETER;
    const std::wstring deviceId = CameraDeviceId(*row);
    const std::wstring hardwareIds = deviceId + L"&REV_0100" + L'\0' + deviceId;
    return CreateInstance(deviceId + L"\\" + chosen, row->friendlyName, hardwareIds);
}

DWORD Unplug(const std::wstring& model, const std::wstring& serial) {
    const ModelRow* row = FindModel(model);
    if (!row) return ERROR_NOT_FOUND;
    if (!serial.empty()) {
        if (!ValidSerial(serial)) return ERROR_INVALID_PARAMETER;
        return RemoveInstance(CameraDeviceId(*row) + L"\\" + serial);
    }
    // Without a serial every camera of the model goes.
    bool removed = false;
    for (const PluggedDevice& device : ListPlugged()) {
        if (device.model != row->displayNameW) continue;
        const DWORD error = RemoveInstance(device.instanceId);
        if (error != ERROR_SUCCESS) return error;
        removed = true;
    }
    return removed ? ERROR_SUCCESS : ERROR_DEVICE_NOT_CONNECTED;
}

DWORD UnplugAll() {
    vyx::win::UniqueRegKey root;
    DWORD error = RegOpenKeyExW(HKEY_LOCAL_MACHINE, kEnumRoot, 0, KEY_READ, root.Put());
    if (error != ERROR_SUCCESS) return error;
    for (const std::wstring& enumerator : SubkeyNames(root.Get())) {
        vyx::win::UniqueRegKey enumeratorKey;
        if (RegOpenKeyExW(root.Get(), enumerator.c_str(), 0, KEY_READ, enumeratorKey.Put()) != ERROR_SUCCESS)
            continue;
        for (const std::wstring& device : SubkeyNames(enumeratorKey.Get())) {
            vyx::win::UniqueRegKey deviceKey;
            if (RegOpenKeyExW(enumeratorKey.Get(), device.c_str(), 0, KEY_READ, deviceKey.Put()) != ERROR_SUCCESS)
                continue;
            for (const std::wstring& instance : SubkeyNames(deviceKey.Get())) {
                const std::wstring id = enumerator + L"\\" + device + L"\\" + instance;
                if (IsSimulated(id) && (error = RemoveInstance(id)) != ERROR_SUCCESS) return error;
            }
        }
    }
    return ERROR_SUCCESS;
}

DWORD PlugInstance(const std::wstring& instanceId) {
    if (!ValidInstanceId(instanceId)) return ERROR_INVALID_PARAMETER;
    return CreateInstance(instanceId, L"Simulated USB device", instanceId.substr(0, instanceId.rfind(L'\\')));
}

DWORD UnplugInstance(const std::wstring& instanceId) {
    if (!ValidInstanceId(instanceId)) return ERROR_INVALID_PARAMETER;
    return RemoveInstance(instanceId);
}

std::vector<PluggedDevice> ListPlugged() {
    std::vector<PluggedDevice> devices;
    vyx::win::UniqueDevInfo set(SetupDiGetClassDevsW(nullptr, nullptr, nullptr, DIGCF_PRESENT | DIGCF_ALLCLASSES));
    if (!set) return devices;
    SP_DEVINFO_DATA info{};
    info.cbSize = sizeof info;
    wchar_t id[512];
    for (DWORD index = 0; SetupDiEnumDeviceInfo(set.Get(), index, &info); ++index) {
        if (!SetupDiGetDeviceInstanceIdW(set.Get(), &info, id, static_cast<DWORD>(std::size(id)), nullptr))
            continue;
        PluggedDevice device;
        device.instanceId = id;
        if (!StartsWithNoCase(device.instanceId, vyx::catalogue::kVendorPrefix)) continue;
        std::uint16_t productId = 0;
        if (ParseCameraInstanceId(device.instanceId, &productId, &device.serial)) {
            for (const ModelRow& row : kModels)
                if (row.productId == productId) device.model = row.displayNameW;
        } else {
            device.serial = device.instanceId.substr(device.instanceId.rfind(L'\\') + 1);
        }
        devices.push_back(std::move(device));
    }
    return devices;
}

DWORD SetSwitch(const std::wstring& instanceId, const wchar_t* name, DWORD value) {
    if (!name || !*name || !ValidInstanceId(instanceId)) return ERROR_INVALID_PARAMETER;
    vyx::win::UniqueRegKey key;
    const DWORD error = RegOpenKeyExW(HKEY_LOCAL_MACHINE, EnumPath(instanceId).c_str(), 0, KEY_WRITE, key.Put());
    if (error == ERROR_FILE_NOT_FOUND) return ERROR_DEVICE_NOT_CONNECTED;
    if (error != ERROR_SUCCESS) return error;
    const DWORD result = SetDword(key.Get(), name, value);
    if (result == ERROR_SUCCESS) CountChange();
    return result;
}

DWORD OpenInstanceKey(const std::wstring& instanceId, REGSAM access, HKEY* key) {
    if (!key || !ValidInstanceId(instanceId)) return ERROR_INVALID_PARAMETER;
    const DWORD error = RegOpenKeyExW(HKEY_LOCAL_MACHINE, EnumPath(instanceId).c_str(), 0, access, key);
    return error == ERROR_FILE_NOT_FOUND ? ERROR_DEVICE_NOT_CONNECTED : error;
}

}  // namespace vyx::sim::bus
