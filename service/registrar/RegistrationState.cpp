#include "RegistrationState.h"

#include "PathText.h"
#include "UniqueResource.h"

#include <vector>

namespace vyx::service {

namespace {

constexpr wchar_t kClassesClsid[] = L"SOFTWARE\\Classes\\CLSID";

// A string value of `parent`'s subkey (or of `parent` itself for a null subkey).
bool ReadString(HKEY parent, const wchar_t* subkey, REGSAM view, const wchar_t* valueName, std::wstring& value)
{
    win::UniqueRegKey key;
    if (::RegOpenKeyExW(parent, subkey, 0, KEY_QUERY_VALUE | view, key.Put()) != ERROR_SUCCESS) {
        return false;
    }
    DWORD type = 0;
    DWORD size = 0;
    if (::RegQueryValueExW(key.Get(), valueName, nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ) || size == 0) {
        return false;
    }
    // One character more than the data, so a value stored without its NUL still ends.
    std::vector<wchar_t> buffer(size / 2 + 1, L'\0');
    if (::RegQueryValueExW(key.Get(), valueName, nullptr, &type, reinterpret_cast<BYTE*>(buffer.data()), &size) !=
            ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ)) {
        return false;
    }
    value.assign(buffer.data());
    return true;
}

// Deletes "SOFTWARE\\Classes\\" + subtree in the architecture's view. RegDeleteTreeW opens
// the named subtree without a view flag, which from this 32-bit process lands in the
// 32-bit view; so the subtree's own key is opened in the right view, emptied, then deleted.
DWORD DeleteTreeBelowClasses(const std::wstring& subtree, FilterArch arch)
{
    const std::wstring path = L"SOFTWARE\\Classes\\" + subtree;
    win::UniqueRegKey key;
    DWORD error = ::RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_WRITE | KEY_READ | DELETE | ArchViewFlag(arch),
                                  key.Put());
    if (error == ERROR_SUCCESS) {
        error = ::RegDeleteTreeW(key.Get(), nullptr);
    }
    if (error == ERROR_SUCCESS) {
        key.Reset();
        error = ::RegDeleteKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), ArchViewFlag(arch), 0);
    }
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) {
        return ERROR_SUCCESS;
    }
    return error;
}

}  // namespace

bool ReadRegistryString(const std::wstring& keyPath, FilterArch arch, const wchar_t* valueName, std::wstring& value)
{
    return ReadString(HKEY_LOCAL_MACHINE, keyPath.c_str(), ArchViewFlag(arch), valueName, value);
}

win::UniqueRegKey OpenClassesClsid(FilterArch arch)
{
    win::UniqueRegKey key;
    ::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kClassesClsid, 0, KEY_READ | ArchViewFlag(arch), key.Put());
    return key;
}

ArchRegistrationState QueryRegistrationState(HKEY classesClsid, const CameraModel& model,
                                             const std::wstring& expectedPath)
{
    // Relative to the view's own key, so no redirected path is walked again.
    const std::wstring instancePath = std::wstring(kVideoInputDeviceCategory) + L"\\Instance\\" + model.filterClsid;
    win::UniqueRegKey classKey;
    win::UniqueRegKey instanceKey;
    const bool classFound = classesClsid != nullptr &&
                            ::RegOpenKeyExW(classesClsid, model.filterClsid, 0, KEY_READ, classKey.Put()) == ERROR_SUCCESS;
    const bool instanceFound = classesClsid != nullptr && ::RegOpenKeyExW(classesClsid, instancePath.c_str(), 0, KEY_READ,
                                                                          instanceKey.Put()) == ERROR_SUCCESS;
    ArchRegistrationState state;
    state.present = classFound || instanceFound;
    if (!classFound || !instanceFound || expectedPath.empty()) {
        return state;
    }
    std::wstring serverPath;
    std::wstring instanceClsid;
    state.correct = ReadString(classKey.Get(), L"InprocServer32", 0, nullptr, serverPath) &&
                    ReadString(instanceKey.Get(), nullptr, 0, L"CLSID", instanceClsid) &&
                    SameText(serverPath, expectedPath) && SameText(instanceClsid, model.filterClsid);
    return state;
}

ArchRegistrationState QueryRegistrationState(const CameraModel& model, FilterArch arch,
                                             const std::wstring& expectedPath)
{
    return QueryRegistrationState(OpenClassesClsid(arch).Get(), model, expectedPath);
}

DWORD DeleteFilterRegistration(const CameraModel& model, FilterArch arch)
{
    const DWORD instanceResult = DeleteTreeBelowClasses(
        std::wstring(L"CLSID\\") + kVideoInputDeviceCategory + L"\\Instance\\" + model.filterClsid, arch);
    const DWORD classResult = DeleteTreeBelowClasses(std::wstring(L"CLSID\\") + model.filterClsid, arch);
    return instanceResult != ERROR_SUCCESS ? instanceResult : classResult;
}

}  // namespace vyx::service
