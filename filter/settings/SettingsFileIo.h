#pragma once
// Whole-file reads and atomic replacement of the settings file. Callers hold
// SettingsFileLock around a read and the replacement that follows it.
#include <windows.h>

#include <cstddef>
#include <string>

namespace vyx {

enum class FileRead {
    Ok,
    Missing,  // no file (or folder) of that name: a first run
    Failed,   // exists but cannot be read whole: a directory, no access, too large
};

// A settings file is a few hundred bytes; anything beyond this is not ours to rewrite.
inline constexpr std::size_t kMaxSettingsFileBytes = 16 * 1024 * 1024;

FileRead ReadSettingsFile(const std::wstring& path, std::string& contents);

// Writes `contents` to a temporary file beside `path`, then renames it over `path`, so
// the file holds either the old or the new text, never a part. A read-only file is left
// alone. Returns the Win32 error code, ERROR_SUCCESS when the file was replaced.
DWORD ReplaceSettingsFile(const std::wstring& path, const std::string& contents);

}  // namespace vyx
