#include "RegistrationState.h"

#include "FilterDllPath.h"
#include "PathText.h"
#include "UniqueResource.h"

#include <vector>

namespace vyx::service {

namespace {

const std::wstring kClassesClsid = L"SOFTWARE\\Classes\\CLSID\\";

bool KeyOpens(const std::wstring& keyPath, FilterArch arch)
{
    win::UniqueRegKey key;
    return ::RegOpenKeyExW(HKEY_LOCAL_MACHINE, keyPath.c_str(), 0, KEY_READ | ArchViewFlag(arch), key.Put()) ==
           ERROR_SUCCESS;
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
    win::UniqueRegKey key;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, keyPath.c_str(), 0, KEY_QUERY_VALUE | ArchViewFlag(arch), key.Put()) !=
        ERROR_SUCCESS) {
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

ArchRegistrationState QueryRegistrationState(const CameraModel& model, FilterArch arch,
                                             const std::wstring& expectedPath)
{
    const std::wstring classKey = kClassesClsid + model.filterClsid;
    const std::wstring instanceKey =
        kClassesClsid + kVideoInputDeviceCategory + L"\\Instance\\" + model.filterClsid;

    const bool classFound = KeyOpens(classKey, arch);
    const bool instanceFound = KeyOpens(instanceKey, arch);
    std::wstring serverPath;
    std::wstring instanceClsid;
    const bool serverRead = ReadRegistryString(classKey + L"\\InprocServer32", arch, nullptr, serverPath);
    const bool clsidRead = ReadRegistryString(instanceKey, arch, L"CLSID", instanceClsid);

    ArchRegistrationState state;
    state.present = classFound || instanceFound;
    state.correct = classFound && instanceFound && serverRead && clsidRead && !expectedPath.empty() &&
                    SameText(serverPath, expectedPath) && SameText(instanceClsid, model.filterClsid);
    return state;
}

ModelRegistrationState QueryModelState(const CameraModel& model, bool native64BitWindows)
{
    ModelRegistrationState state;
    std::wstring path;
    if (!BuildDllPath(model, FilterArch::X86, path)) {
        path.clear();
    }
    state.x86 = QueryRegistrationState(model, FilterArch::X86, path);
    if (native64BitWindows) {
        path.clear();
        if (!BuildDllPath(model, FilterArch::X64, path)) {
            path.clear();
        }
        state.x64 = QueryRegistrationState(model, FilterArch::X64, path);
    }
    return state;
}

DWORD DeleteFilterRegistration(const CameraModel& model, FilterArch arch)
{
    const DWORD instanceResult = DeleteTreeBelowClasses(
        std::wstring(L"CLSID\\") + kVideoInputDeviceCategory + L"\\Instance\\" + model.filterClsid, arch);
    const DWORD classResult = DeleteTreeBelowClasses(std::wstring(L"CLSID\\") + model.filterClsid, arch);
    return instanceResult != ERROR_SUCCESS ? instanceResult : classResult;
}

}  // namespace vyx::service
