#pragma once
// The files and folders the service is about to run code from, each opened, judged on the
// security descriptor of that very handle (FileTrust), and kept open without write or
// delete sharing until this object goes: between the check and regsvr32's end nobody can
// rewrite, replace, rename or delete them. A reparse point (junction, symbolic link) is
// opened as itself and refused. One thread uses an object.

#include "FileTrust.h"
#include "UniqueResource.h"

#include <windows.h>

#include <string>
#include <vector>

namespace vyx::service {

enum class FileKind { File, Folder };

class TrustedFiles {
public:
    explicit TrustedFiles(const FileTrust& trust) : m_trust(trust) {}
    TrustedFiles(const TrustedFiles&) = delete;
    TrustedFiles& operator=(const TrustedFiles&) = delete;

    // 0 when the object is trusted; it is then held. ERROR_ACCESS_DENIED (5) when it is
    // not trusted, with Reason() saying why; ERROR_BAD_PATHNAME (161) for a folder and
    // ERROR_FILE_INVALID (1006) for a file that is a reparse point or of the other kind;
    // else the error of opening or reading it (ERROR_FILE_NOT_FOUND, ...).
    DWORD Hold(const std::wstring& path, FileKind kind);
    // Non-empty exactly when the last Hold refused an object others may change; an object
    // that could not be opened or read (even with ERROR_ACCESS_DENIED) has none.
    const std::wstring& Reason() const { return m_reason; }
    bool OwnerRefused() const { return m_ownerRefused; }
    // The handle of a held file or folder, opened for reading; null when `path` is not held.
    HANDLE Held(const std::wstring& path) const;

private:
    const FileTrust& m_trust;
    std::vector<std::pair<std::wstring, win::UniqueFile>> m_held;
    std::wstring m_reason;
    bool m_ownerRefused = false;
};

// What an opened object's attributes say when it should be of `kind`: 0; or, for a
// reparse point (junction, symbolic link) or an object of the other kind,
// ERROR_BAD_PATHNAME (161) where a folder belongs and ERROR_FILE_INVALID (1006) where a
// file belongs. Apart from Hold, so the rule is tested where no junction can be made.
DWORD JudgeFileKind(DWORD attributes, FileKind kind);

inline constexpr wchar_t kCameraLibraryFileName[] = L"VyxonCamera.dll";

// Before a filter library is registered: the service's folder, the library's folder, the
// library and the camera library beside it, in that order. 0 when all are held; else the
// first refusal's error (Hold), with its path in `refusedPath`.
DWORD HoldFilterLayout(TrustedFiles& held, const std::wstring& libraryPath, std::wstring& refusedPath);

// Before the virtual-camera helper runs: the service's folder, the helper's folder and the
// helper, in that order; as HoldFilterLayout.
DWORD HoldHelperLayout(TrustedFiles& held, const std::wstring& helperPath, std::wstring& refusedPath);

// Before the service is installed: the executable's folder, the executable, and the
// folders DX_x86 and DX_x64 beside it where they exist.
DWORD HoldServiceLayout(TrustedFiles& held, const std::wstring& executablePath, std::wstring& refusedPath);

// The trust the service judges its files by: SYSTEM, Administrators, TrustedInstaller and
// the system folder's owner (SystemFolderOwner). Made once per process; any thread.
const FileTrust& ServiceFileTrust();

// The owner of the system folder. Whoever it is can already replace the system's regsvr32
// that the service runs, so trusting it adds nothing; under Wine it is the one user that
// owns every file and that the service runs as. Empty when it cannot be read.
std::vector<BYTE> SystemFolderOwner();

}  // namespace vyx::service
