#pragma once
// The file system as the setup's helper meets it on the machine. One thread.

#include "FileSystem.h"

namespace vyx::setup {

class Win32FileSystem : public FileSystem {
public:
    DWORD Attributes(const std::wstring& path, DWORD& attributes) override;
    DWORD Security(const std::wstring& path, std::vector<BYTE>& descriptor) override;
    DWORD List(const std::wstring& folder, std::vector<std::wstring>& names) override;
    UINT DriveType(const std::wstring& path) override;
    DWORD CreateFolder(const std::wstring& path, PSECURITY_DESCRIPTOR descriptor) override;
    DWORD RemoveFolder(const std::wstring& path) override;
    DWORD SetSecurity(const std::wstring& path, PSECURITY_DESCRIPTOR descriptor, SECURITY_INFORMATION what) override;
};

}  // namespace vyx::setup
