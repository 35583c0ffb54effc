#include "FakeFileSystem.h"

#include "SddlDescriptor.h"

#include <sddl.h>

namespace vyx::setup {

namespace {

std::wstring ToSddl(PSECURITY_DESCRIPTOR descriptor, SECURITY_INFORMATION part)
{
    wchar_t* text = nullptr;
    if (!::ConvertSecurityDescriptorToStringSecurityDescriptorW(descriptor, SDDL_REVISION_1, part, &text, nullptr)) {
        return L"";
    }
    std::wstring result(text);
    ::LocalFree(text);
    return result;
}

std::wstring Parent(const std::wstring& path)
{
    const std::size_t slash = path.find_last_of(L'\\');
    return slash == std::wstring::npos ? L"" : path.substr(0, slash == 2 ? 3 : slash);
}

}  // namespace

void FakeFileSystem::Add(const std::wstring& path, DWORD attributes, const std::wstring& sddl)
{
    const std::size_t dacl = sddl.find(L"D:");
    m_objects[path] = {attributes, sddl.substr(2, dacl - 2), sddl.substr(dacl)};
}

void FakeFileSystem::AddFolder(const std::wstring& path, const std::wstring& sddl)
{
    Add(path, FILE_ATTRIBUTE_DIRECTORY, sddl);
}

void FakeFileSystem::AddFile(const std::wstring& path, const std::wstring& sddl)
{
    Add(path, FILE_ATTRIBUTE_ARCHIVE, sddl);
}

void FakeFileSystem::AddJunction(const std::wstring& path)
{
    Add(path, FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT, L"O:BAD:(A;;FA;;;BA)");
}

const FakeFileSystem::Object* FakeFileSystem::Find(const std::wstring& path) const
{
    const auto found = m_objects.find(path);
    return found == m_objects.end() ? nullptr : &found->second;
}

std::wstring FakeFileSystem::Sddl(const std::wstring& path) const
{
    const Object* object = Find(path);
    return object == nullptr ? L"" : L"O:" + object->owner + object->dacl;
}

DWORD FakeFileSystem::Attributes(const std::wstring& path, DWORD& attributes)
{
    const Object* object = Find(path);
    if (object == nullptr) {
        return Find(Parent(path)) != nullptr ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND;
    }
    attributes = object->attributes;
    return ERROR_SUCCESS;
}

DWORD FakeFileSystem::Security(const std::wstring& path, std::vector<BYTE>& descriptor)
{
    if (Find(path) == nullptr) {
        return ERROR_FILE_NOT_FOUND;
    }
    SddlDescriptor parsed(Sddl(path));
    if (parsed.Get() == nullptr) {
        return parsed.Error();
    }
    const BYTE* bytes = static_cast<const BYTE*>(parsed.Get());
    descriptor.assign(bytes, bytes + ::GetSecurityDescriptorLength(parsed.Get()));
    return ERROR_SUCCESS;
}

DWORD FakeFileSystem::List(const std::wstring& folder, std::vector<std::wstring>& names)
{
    names.clear();
    for (const auto& [path, object] : m_objects) {
        if (Parent(path) == folder && path != folder) {
            names.push_back(path.substr(path.find_last_of(L'\\') + 1));
        }
    }
    return ERROR_SUCCESS;
}

DWORD FakeFileSystem::CreateFolder(const std::wstring& path, PSECURITY_DESCRIPTOR descriptor)
{
    const auto appearing = m_appearing.find(path);
    if (appearing != m_appearing.end()) {
        AddFolder(path, appearing->second);
        m_appearing.erase(appearing);
    }
    if (Find(path) != nullptr) {
        return ERROR_ALREADY_EXISTS;
    }
    if (Find(Parent(path)) == nullptr) {
        return ERROR_PATH_NOT_FOUND;
    }
    Add(path, FILE_ATTRIBUTE_DIRECTORY, ToSddl(descriptor, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION));
    created.push_back(path);
    return ERROR_SUCCESS;
}

DWORD FakeFileSystem::RemoveFolder(const std::wstring& path)
{
    std::vector<std::wstring> names;
    List(path, names);
    if (!names.empty()) {
        return ERROR_DIR_NOT_EMPTY;
    }
    return m_objects.erase(path) == 1 ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND;
}

DWORD FakeFileSystem::SetSecurity(const std::wstring& path, PSECURITY_DESCRIPTOR descriptor, SECURITY_INFORMATION what)
{
    const auto failure = m_setFailures.find(path);
    if (failure != m_setFailures.end()) {
        return failure->second;
    }
    const auto found = m_objects.find(path);
    if (found == m_objects.end()) {
        return ERROR_FILE_NOT_FOUND;
    }
    if ((what & OWNER_SECURITY_INFORMATION) != 0) {
        found->second.owner = ToSddl(descriptor, OWNER_SECURITY_INFORMATION).substr(2);
    }
    if ((what & DACL_SECURITY_INFORMATION) != 0) {
        found->second.dacl = ToSddl(descriptor, DACL_SECURITY_INFORMATION);
    }
    changed.push_back(path);
    return ERROR_SUCCESS;
}

}  // namespace vyx::setup
