#pragma once
// Makes Administrators the owner of a folder and of everything below it. Files that an
// administrator copies with UAC off, or as the built-in Administrator, are owned by that
// user, and the service refuses to run code from files a user owns. Reparse points get the
// owner themselves and are never followed. One thread.

#include "FileSystem.h"

#include <string>

namespace vyx::setup {

struct TreeOwnerResult {
    DWORD error = ERROR_SUCCESS;  // the first failure; the walk stops there
    std::wstring failedPath{};    // where it failed
    unsigned count = 0;           // files and folders given the owner
};

TreeOwnerResult GiveTreeToAdministrators(FileSystem& files, const std::wstring& root);

}  // namespace vyx::setup
