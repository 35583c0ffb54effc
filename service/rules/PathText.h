#pragma once
// Text rules for Windows paths that the service's parts share. Pure: any thread.

#include <string>

namespace vyx::service {

// The parent directory: everything before the last "\" or "/", empty when there is none.
std::wstring ParentDirectory(const std::wstring& path);

// Equal ignoring case, as the file system and the registry compare names.
bool SameText(const std::wstring& a, const std::wstring& b);

}  // namespace vyx::service
