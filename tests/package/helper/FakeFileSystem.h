#pragma once
// A file system that answers as Windows does where Wine cannot: each object carries the
// owner and DACL that Windows would report (SDDL), junctions are reparse points, and the
// drive may be a network or removable one. It records what the rules change.

#include "FileSystem.h"

#include <map>
#include <string>
#include <vector>

namespace vyx::setup {

class FakeFileSystem : public FileSystem {
public:
    struct Object {
        DWORD attributes = FILE_ATTRIBUTE_DIRECTORY;
        std::wstring owner;  // "BA", "S-1-5-21-...": SDDL's owner part
        std::wstring dacl;   // "D:PAI(...)": SDDL's DACL part
    };

    // `sddl` as "O:<owner>D:<dacl>".
    void AddFolder(const std::wstring& path, const std::wstring& sddl);
    void AddFile(const std::wstring& path, const std::wstring& sddl);
    void AddJunction(const std::wstring& path);
    // Someone else makes this folder just before the rules would.
    void AppearsOnCreate(const std::wstring& path, const std::wstring& sddl) { m_appearing[path] = sddl; }
    void FailSetSecurity(const std::wstring& path, DWORD error) { m_setFailures[path] = error; }

    const Object* Find(const std::wstring& path) const;
    std::wstring Sddl(const std::wstring& path) const;

    UINT driveType = DRIVE_FIXED;
    std::vector<std::wstring> created;
    std::vector<std::wstring> changed;  // SetSecurity, in order

    DWORD Attributes(const std::wstring& path, DWORD& attributes) override;
    DWORD Security(const std::wstring& path, std::vector<BYTE>& descriptor) override;
    DWORD List(const std::wstring& folder, std::vector<std::wstring>& names) override;
    UINT DriveType(const std::wstring&) override { return driveType; }
    DWORD CreateFolder(const std::wstring& path, PSECURITY_DESCRIPTOR descriptor) override;
    DWORD RemoveFolder(const std::wstring& path) override;
    DWORD SetSecurity(const std::wstring& path, PSECURITY_DESCRIPTOR descriptor, SECURITY_INFORMATION what) override;

private:
    void Add(const std::wstring& path, DWORD attributes, const std::wstring& sddl);

    std::map<std::wstring, Object> m_objects;
    std::map<std::wstring, std::wstring> m_appearing;
    std::map<std::wstring, DWORD> m_setFailures;
};

}  // namespace vyx::setup
