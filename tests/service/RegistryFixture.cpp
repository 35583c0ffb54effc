#include "RegistryFixture.h"

#include "CameraModelTable.h"
#include "RegistrationState.h"
#include "TestLayout.h"
#include "UniqueResource.h"

#include <SimulatedBus.h>

#include <sddl.h>

namespace vyx::service::test {

std::wstring ClassKeyPath(const CameraModel& model)
{
    return std::wstring(L"SOFTWARE\\Classes\\CLSID\\") + model.filterClsid;
}

std::wstring InstanceKeyPath(const CameraModel& model)
{
    return std::wstring(L"SOFTWARE\\Classes\\CLSID\\") + kVideoInputDeviceCategory + L"\\Instance\\" +
           model.filterClsid;
}

void SetString(const std::wstring& keyPath, FilterArch arch, const wchar_t* name, const std::wstring& value, DWORD type)
{
    win::UniqueRegKey key;
    if (::RegCreateKeyExW(HKEY_LOCAL_MACHINE, keyPath.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | ArchViewFlag(arch),
                          nullptr, key.Put(), nullptr) != ERROR_SUCCESS) {
        return;
    }
    ::RegSetValueExW(key.Get(), name, 0, type, reinterpret_cast<const BYTE*>(value.c_str()),
                     static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
}

void WriteRegistration(const CameraModel& model, FilterArch arch, const HandRegistration& registration)
{
    if (registration.classKey) {
        SetString(ClassKeyPath(model), arch, nullptr, model.displayName);
        SetString(ClassKeyPath(model) + L"\\InprocServer32", arch, nullptr, registration.serverPath,
                  registration.serverType);
        SetString(ClassKeyPath(model) + L"\\InprocServer32", arch, L"ThreadingModel", L"Both");
    }
    if (registration.instanceKey) {
        SetString(InstanceKeyPath(model), arch, L"CLSID",
                  registration.instanceClsid.empty() ? model.filterClsid : registration.instanceClsid);
        SetString(InstanceKeyPath(model), arch, L"FriendlyName", model.displayName);
    }
}

void DeleteKeyTree(const std::wstring& path, FilterArch arch)
{
    // Opened in the view itself: a relative RegDeleteTreeW path would be redirected.
    win::UniqueRegKey key;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_ALL_ACCESS | ArchViewFlag(arch), key.Put()) !=
        ERROR_SUCCESS) {
        return;
    }
    ::RegDeleteTreeW(key.Get(), nullptr);
    key.Reset();
    ::RegDeleteKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), ArchViewFlag(arch), 0);
}

void RemoveRegistration(const CameraModel& model, FilterArch arch)
{
    DeleteKeyTree(InstanceKeyPath(model), arch);
    DeleteKeyTree(ClassKeyPath(model), arch);
}

void RemoveAllRegistrations()
{
    for (std::size_t i = 0; i < CameraModelTable::Count(); ++i) {
        RemoveRegistration(CameraModelTable::Row(i), FilterArch::X86);
        RemoveRegistration(CameraModelTable::Row(i), FilterArch::X64);
    }
}

namespace {

bool ReadValue(const std::wstring& path, FilterArch arch, const wchar_t* name, std::wstring& value)
{
    win::UniqueRegKey key;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_QUERY_VALUE | ArchViewFlag(arch), key.Put()) !=
        ERROR_SUCCESS) {
        return false;
    }
    wchar_t buffer[1024] = {};
    DWORD size = sizeof(buffer) - sizeof(wchar_t);
    DWORD type = 0;
    if (::RegQueryValueExW(key.Get(), name, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size) != ERROR_SUCCESS ||
        type != REG_SZ) {
        return false;
    }
    value = buffer;
    return true;
}

}  // namespace

::testing::AssertionResult HasFilterLayout(std::size_t index, FilterArch arch, const std::wstring& path)
{
    const CameraModel& model = CameraModelTable::Row(index);
    const std::wstring classKey = ClassKeyPath(model);
    std::wstring value;
    if (!ReadValue(classKey, arch, nullptr, value) || value != catalogue::kModels[index].friendlyName) {
        return ::testing::AssertionFailure() << "class key name";
    }
    if (!ReadValue(classKey + L"\\InprocServer32", arch, nullptr, value) ||
        ::CompareStringOrdinal(value.c_str(), -1, path.c_str(), -1, TRUE) != CSTR_EQUAL) {
        return ::testing::AssertionFailure() << "server path";
    }
    if (!ReadValue(classKey + L"\\InprocServer32", arch, L"ThreadingModel", value) || value != L"Both") {
        return ::testing::AssertionFailure() << "threading model";
    }
    if (!ReadValue(InstanceKeyPath(model), arch, L"CLSID", value) ||
        ::CompareStringOrdinal(value.c_str(), -1, model.filterClsid, -1, TRUE) != CSTR_EQUAL) {
        return ::testing::AssertionFailure() << "category entry";
    }
    if (!ReadValue(InstanceKeyPath(model), arch, L"FriendlyName", value) ||
        value != catalogue::kModels[index].friendlyName) {
        return ::testing::AssertionFailure() << "category friendly name";
    }
    return ::testing::AssertionSuccess();
}

bool HasNoFilterKeys(std::size_t index, FilterArch arch)
{
    const CameraModel& model = CameraModelTable::Row(index);
    return !KeyExists(ClassKeyPath(model), arch) && !KeyExists(InstanceKeyPath(model), arch);
}

bool ProtectKey(const std::wstring& path, FilterArch arch, bool locked)
{
    win::UniqueRegKey key;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, WRITE_DAC | ArchViewFlag(arch), key.Put()) !=
        ERROR_SUCCESS) {
        return false;
    }
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!::ConvertStringSecurityDescriptorToSecurityDescriptorW(locked ? L"D:P(A;;0x40000;;;WD)" : L"D:P(A;;KA;;;WD)",
                                                                SDDL_REVISION_1, &descriptor, nullptr)) {
        return false;
    }
    const LONG result = ::RegSetKeySecurity(key.Get(), DACL_SECURITY_INFORMATION, descriptor);
    ::LocalFree(descriptor);
    return result == ERROR_SUCCESS;
}

bool KeyExists(const std::wstring& path, FilterArch arch)
{
    win::UniqueRegKey key;
    return ::RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ | ArchViewFlag(arch), key.Put()) ==
           ERROR_SUCCESS;
}

void CleanSlateTest::SetUp()
{
    ASSERT_EQ(vyx::sim::bus::UnplugAll(), ERROR_SUCCESS);
    ResetLayout();
    RemoveAllRegistrations();
}

void CleanSlateTest::TearDown()
{
    vyx::sim::bus::UnplugAll();
    RemoveAllRegistrations();
}

}  // namespace vyx::service::test
