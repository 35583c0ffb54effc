#pragma once
// Whether a folder may become the install folder, and making it one. The service runs code
// from that folder as LocalSystem, so nobody but SYSTEM, Administrators and TrustedInstaller
// (the trust the service itself judges by, ServiceFileTrust) may be able to change it or put
// another folder in its place: no folder above it may be a reparse point (a junction can be
// re-pointed), be owned by anyone else, or let anyone else rename it or what it holds. The
// folder itself must be new or empty, so that nobody's files get the product's access list,
// unless it holds this product's earlier install. One thread uses an object.

#include "FileSystem.h"
#include "FileTrust.h"

#include <string>
#include <vector>

namespace vyx::setup {

enum class FolderProblem {
    None,
    NotLocal,          // not on a fixed local drive (a network share, a removable drive)
    NotAFolder,        // a file where a folder belongs
    NotEmpty,          // holds files of its own
    ReparsePoint,      // a junction or symbolic link
    UntrustedOwner,    // owned by someone else
    WritableByOthers,  // someone else may rename, delete below or take over
    Unreadable,        // its attributes, contents or access list could not be read
    NotSecured,        // creating it or setting its access list failed
};

struct FolderVerdict {
    FolderProblem problem = FolderProblem::None;
    std::wstring path{};            // the folder the problem is about
    std::vector<BYTE> principal{};  // the owner or writer refused, when one is named
    DWORD error = ERROR_SUCCESS;    // Unreadable, NotSecured: the call's error
    std::wstring createdTop{};      // Prepare: the highest folder it created, empty when none
    bool Accepted() const { return problem == FolderProblem::None; }
};

// Owner Administrators; SYSTEM and Administrators full control; Users and ALL APPLICATION
// PACKAGES read and run, as under Program Files, and LOCAL SERVICE by name, the account
// Windows' camera frame server loads the media sources as. Protected: nothing inherited
// from above stays. install.cmd grants the same.
inline constexpr wchar_t kInstallFolderSddl[] =
    L"O:BAD:PAI(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;BU)(A;OICI;0x1200a9;;;S-1-15-2-1)"
    L"(A;OICI;0x1200a9;;;LS)";

// What counts on a folder above: renaming or deleting it, deleting or renaming what it
// holds, taking it over. Adding a file or folder to it (as Authenticated Users may under a
// drive's root) replaces nothing that is there.
inline constexpr ACCESS_MASK kAboveChangingRights = DELETE | FILE_DELETE_CHILD | WRITE_DAC | WRITE_OWNER | GENERIC_ALL;

class InstallFolder {
public:
    // `folder` arguments are full drive-letter paths without a trailing backslash.
    InstallFolder(FileSystem& files, const service::FileTrust& trust) : m_files(files), m_trust(trust) {}

    // Changes nothing. `thisProductsInstall`: the folder holds this product's earlier
    // install, so it may hold files, and must already be one only trusted principals change.
    FolderVerdict Check(const std::wstring& folder, bool thisProductsInstall);
    // Checks, creates what is missing with the install folder's access list (or gives an
    // empty folder that list), then checks the whole path again, so that a folder slipped
    // in meanwhile is seen. A refusal undoes what it made and changed.
    FolderVerdict Prepare(const std::wstring& folder);
    // A folder the product keeps for itself (its log): one that exists is only checked;
    // one that does not is made as Prepare does.
    FolderVerdict Ensure(const std::wstring& folder);

private:
    FolderVerdict Judge(const std::wstring& path, DWORD attributes, ACCESS_MASK changingRights);
    FolderVerdict CheckEmpty(const std::wstring& folder);
    void Undo(const std::vector<std::wstring>& created, const std::wstring& resecured,
              const std::vector<BYTE>& previous);

    FileSystem& m_files;
    const service::FileTrust& m_trust;
};

// "C:\" and "C:\A" for "C:\A\B": every folder above, from the drive's root down.
std::vector<std::wstring> FoldersAbove(const std::wstring& folder);

}  // namespace vyx::setup
