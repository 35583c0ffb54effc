#include "RegistryFixture.h"

#include "CameraModelTable.h"
#include "Registrar.h"
#include "UniqueResource.h"

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
    UniqueRegKey key;
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
    UniqueRegKey key;
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

bool KeyExists(const std::wstring& path, FilterArch arch)
{
    UniqueRegKey key;
    return ::RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ | ArchViewFlag(arch), key.Put()) ==
           ERROR_SUCCESS;
}

}  // namespace vyx::service::test
