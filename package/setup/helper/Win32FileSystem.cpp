#include "Win32FileSystem.h"

#include "UniqueResource.h"

#include <aclapi.h>

namespace vyx::setup {

namespace {

struct FindTraits {
    static HANDLE Invalid() { return INVALID_HANDLE_VALUE; }
    static void Close(HANDLE h) { ::FindClose(h); }
};

struct LocalMemoryTraits {
    static PSECURITY_DESCRIPTOR Invalid() { return nullptr; }
    static void Close(PSECURITY_DESCRIPTOR p) { ::LocalFree(p); }
};

// The object itself, a folder or a reparse point included.
win::UniqueFile OpenItself(const std::wstring& path, DWORD access)
{
    return win::UniqueFile(::CreateFileW(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                         nullptr, OPEN_EXISTING,
                                         FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr));
}

}  // namespace

DWORD Win32FileSystem::Attributes(const std::wstring& path, DWORD& attributes)
{
    attributes = ::GetFileAttributesW(path.c_str());
    return attributes == INVALID_FILE_ATTRIBUTES ? ::GetLastError() : ERROR_SUCCESS;
}

DWORD Win32FileSystem::Security(const std::wstring& path, std::vector<BYTE>& descriptor)
{
    win::UniqueFile file = OpenItself(path, READ_CONTROL);
    if (!file) {
        return ::GetLastError();
    }
    win::UniqueResource<PSECURITY_DESCRIPTOR, LocalMemoryTraits> found;
    const DWORD error = ::GetSecurityInfo(file.Get(), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
                                          nullptr, nullptr, nullptr, nullptr, found.Put());
    if (error != ERROR_SUCCESS) {
        return error;
    }
    const BYTE* bytes = static_cast<const BYTE*>(found.Get());
    descriptor.assign(bytes, bytes + ::GetSecurityDescriptorLength(found.Get()));
    return ERROR_SUCCESS;
}

DWORD Win32FileSystem::List(const std::wstring& folder, std::vector<std::wstring>& names)
{
    names.clear();
    WIN32_FIND_DATAW data = {};
    win::UniqueResource<HANDLE, FindTraits> find(
        ::FindFirstFileExW((folder + L"\\*").c_str(), FindExInfoBasic, &data, FindExSearchNameMatch, nullptr, 0));
    if (!find) {
        return ::GetLastError();
    }
    do {
        const std::wstring name = data.cFileName;
        if (name != L"." && name != L"..") {
            names.push_back(name);
        }
    } while (::FindNextFileW(find.Get(), &data));
    const DWORD error = ::GetLastError();
    return error == ERROR_NO_MORE_FILES ? ERROR_SUCCESS : error;
}

UINT Win32FileSystem::DriveType(const std::wstring& path)
{
    // Only drive-letter paths come here; a volume mounted in a folder is a reparse point,
    // refused on its own.
    return ::GetDriveTypeW(path.substr(0, 3).c_str());
}

DWORD Win32FileSystem::CreateFolder(const std::wstring& path, PSECURITY_DESCRIPTOR descriptor)
{
    SECURITY_ATTRIBUTES attributes = {sizeof(attributes), descriptor, FALSE};
    return ::CreateDirectoryW(path.c_str(), &attributes) ? ERROR_SUCCESS : ::GetLastError();
}

DWORD Win32FileSystem::RemoveFolder(const std::wstring& path)
{
    return ::RemoveDirectoryW(path.c_str()) ? ERROR_SUCCESS : ::GetLastError();
}

DWORD Win32FileSystem::SetSecurity(const std::wstring& path, PSECURITY_DESCRIPTOR descriptor, SECURITY_INFORMATION what)
{
    PSID owner = nullptr;
    PACL dacl = nullptr;
    BOOL present = FALSE;
    BOOL defaulted = FALSE;
    if ((what & OWNER_SECURITY_INFORMATION) != 0 && !::GetSecurityDescriptorOwner(descriptor, &owner, &defaulted)) {
        return ::GetLastError();
    }
    if ((what & DACL_SECURITY_INFORMATION) != 0 &&
        !::GetSecurityDescriptorDacl(descriptor, &present, &dacl, &defaulted)) {
        return ::GetLastError();
    }
    DWORD access = READ_CONTROL;
    access |= (what & OWNER_SECURITY_INFORMATION) != 0 ? WRITE_OWNER : 0;
    access |= (what & DACL_SECURITY_INFORMATION) != 0 ? WRITE_DAC : 0;
    win::UniqueFile file = OpenItself(path, access);
    if (!file) {
        return ::GetLastError();
    }
    return ::SetSecurityInfo(file.Get(), SE_FILE_OBJECT, what, owner, nullptr, dacl, nullptr);
}

}  // namespace vyx::setup
