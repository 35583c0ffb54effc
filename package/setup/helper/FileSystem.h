#pragma once
// What the setup's folder rules read and change on disk. The setup's helper passes the
// real one (Win32FileSystem); tests pass one that answers as Windows does where Wine
// cannot (Wine stores no access lists and makes no junctions). Every call acts on the
// object itself: a reparse point is never followed.

#include <windows.h>

#include <string>
#include <vector>

namespace vyx::setup {

class FileSystem {
public:
    virtual ~FileSystem() = default;

    // The object's attributes: 0, or the error (ERROR_FILE_NOT_FOUND, ERROR_PATH_NOT_FOUND, ...).
    virtual DWORD Attributes(const std::wstring& path, DWORD& attributes) = 0;
    // The object's owner and DACL as a self-relative security descriptor.
    virtual DWORD Security(const std::wstring& path, std::vector<BYTE>& descriptor) = 0;
    // The names in a folder, without "." and "..".
    virtual DWORD List(const std::wstring& folder, std::vector<std::wstring>& names) = 0;
    // GetDriveTypeW of the volume that holds the path.
    virtual UINT DriveType(const std::wstring& path) = 0;
    // A new folder with this owner and DACL: 0, ERROR_ALREADY_EXISTS, or the error.
    virtual DWORD CreateFolder(const std::wstring& path, PSECURITY_DESCRIPTOR descriptor) = 0;
    virtual DWORD RemoveFolder(const std::wstring& path) = 0;
    // Writes the parts of the descriptor that `what` names (OWNER_SECURITY_INFORMATION,
    // DACL_SECURITY_INFORMATION, PROTECTED_DACL_SECURITY_INFORMATION, ...).
    virtual DWORD SetSecurity(const std::wstring& path, PSECURITY_DESCRIPTOR descriptor, SECURITY_INFORMATION what) = 0;
};

}  // namespace vyx::setup
