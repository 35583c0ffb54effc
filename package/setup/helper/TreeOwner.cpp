#include "TreeOwner.h"

#include "SddlDescriptor.h"

#include <vector>

namespace vyx::setup {

namespace {

void Walk(FileSystem& files, PSECURITY_DESCRIPTOR owner, const std::wstring& path, DWORD attributes,
          TreeOwnerResult& result)
{
    DWORD error = files.SetSecurity(path, owner, OWNER_SECURITY_INFORMATION);
    if (error != ERROR_SUCCESS) {
        result = {error, path, result.count};
        return;
    }
    ++result.count;
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0 || (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
        return;
    }
    std::vector<std::wstring> names;
    error = files.List(path, names);
    if (error != ERROR_SUCCESS) {
        result = {error, path, result.count};
        return;
    }
    for (const std::wstring& name : names) {
        const std::wstring child = path + L"\\" + name;
        DWORD childAttributes = 0;
        error = files.Attributes(child, childAttributes);
        if (error != ERROR_SUCCESS) {
            result = {error, child, result.count};
            return;
        }
        Walk(files, owner, child, childAttributes, result);
        if (result.error != ERROR_SUCCESS) {
            return;
        }
    }
}

}  // namespace

TreeOwnerResult GiveTreeToAdministrators(FileSystem& files, const std::wstring& root)
{
    TreeOwnerResult result;
    SddlDescriptor owner(L"O:BA");
    if (owner.Get() == nullptr) {
        return {owner.Error(), root, 0};
    }
    DWORD attributes = 0;
    const DWORD error = files.Attributes(root, attributes);
    if (error != ERROR_SUCCESS) {
        return {error, root, 0};
    }
    Walk(files, owner.Get(), root, attributes, result);
    return result;
}

}  // namespace vyx::setup
