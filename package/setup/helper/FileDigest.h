#pragma once
// The SHA-256 of a file's contents, as 64 lower-case hexadecimal digits: how the setup
// knows a camera library it installed from one an administrator put in its place. Any thread.

#include <windows.h>

#include <string>

namespace vyx::setup {

// 0 and the digest, or the error of reading the file or of the hash provider.
DWORD Sha256OfFile(const std::wstring& path, std::wstring& digest);

}  // namespace vyx::setup
