#include "TrustedFiles.h"

#include "PathText.h"
#include "System.h"

#include <aclapi.h>

namespace vyx::service {

namespace {

struct LocalMemoryTraits {
    static PSECURITY_DESCRIPTOR Invalid() { return nullptr; }
    static void Close(PSECURITY_DESCRIPTOR p) { ::LocalFree(p); }
};
using UniqueDescriptor = win::UniqueResource<PSECURITY_DESCRIPTOR, LocalMemoryTraits>;

struct LayoutItem {
    std::wstring path;
    FileKind kind;
    bool optional;
};

DWORD HoldAll(TrustedFiles& held, const std::vector<LayoutItem>& items, std::wstring& refusedPath)
{
    for (const LayoutItem& item : items) {
        const DWORD error = held.Hold(item.path, item.kind);
        if (error == ERROR_SUCCESS ||
            (item.optional && (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND))) {
            continue;
        }
        refusedPath = item.path;
        return error;
    }
    return ERROR_SUCCESS;
}

}  // namespace

DWORD HoldFilterLayout(TrustedFiles& held, const std::wstring& libraryPath, std::wstring& refusedPath)
{
    const std::wstring folder = ParentDirectory(libraryPath);
    return HoldAll(held,
                   {{ParentDirectory(folder), FileKind::Folder, false},
                    {folder, FileKind::Folder, false},
                    {libraryPath, FileKind::File, false},
                    {folder + L"\\" + kCameraLibraryFileName, FileKind::File, false}},
                   refusedPath);
}

DWORD HoldHelperLayout(TrustedFiles& held, const std::wstring& helperPath, std::wstring& refusedPath)
{
    const std::wstring folder = ParentDirectory(helperPath);
    return HoldAll(held,
                   {{ParentDirectory(folder), FileKind::Folder, false},
                    {folder, FileKind::Folder, false},
                    {helperPath, FileKind::File, false}},
                   refusedPath);
}

DWORD HoldServiceLayout(TrustedFiles& held, const std::wstring& executablePath, std::wstring& refusedPath)
{
    const std::wstring folder = ParentDirectory(executablePath);
    return HoldAll(held,
                   {{folder, FileKind::Folder, false},
                    {executablePath, FileKind::File, false},
                    {folder + L"\\DX_x86", FileKind::Folder, true},
                    {folder + L"\\DX_x64", FileKind::Folder, true}},
                   refusedPath);
}

const FileTrust& ServiceFileTrust()
{
    static const FileTrust trust = [] {
        std::vector<BYTE> owner = SystemFolderOwner();
        return owner.empty() ? FileTrust() : FileTrust({owner.data()});
    }();
    return trust;
}

DWORD JudgeFileKind(DWORD attributes, FileKind kind)
{
    const bool folder = kind == FileKind::Folder;
    const bool isFolder = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 || isFolder != folder) {
        return folder ? ERROR_BAD_PATHNAME : ERROR_FILE_INVALID;
    }
    return ERROR_SUCCESS;
}

DWORD TrustedFiles::Hold(const std::wstring& path, FileKind kind)
{
    m_reason.clear();
    m_ownerRefused = false;
    const bool folder = kind == FileKind::Folder;
    // Others may still read; a folder's files may still be opened for writing (each file
    // is judged on its own), but the folder itself cannot be renamed or deleted.
    const DWORD sharing = folder ? FILE_SHARE_READ | FILE_SHARE_WRITE : FILE_SHARE_READ;
    // Opened as whatever it is, so a folder where a file belongs is told apart from a file
    // that cannot be opened.
    const DWORD flags = FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS;
    win::UniqueFile file(sys::OpenExisting(path.c_str(), GENERIC_READ | READ_CONTROL, sharing, flags));
    if (!file) {
        return ::GetLastError();
    }
    BY_HANDLE_FILE_INFORMATION information = {};
    if (!::GetFileInformationByHandle(file.Get(), &information)) {
        return ::GetLastError();
    }
    const DWORD kindError = JudgeFileKind(information.dwFileAttributes, kind);
    if (kindError != ERROR_SUCCESS) {
        return kindError;
    }
    UniqueDescriptor descriptor;
    const DWORD error =
        ::GetSecurityInfo(file.Get(), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, nullptr,
                          nullptr, nullptr, nullptr, descriptor.Put());
    if (error != ERROR_SUCCESS) {
        return error;
    }
    const TrustVerdict verdict = m_trust.Judge(descriptor.Get());
    if (!verdict.trusted) {
        m_reason = verdict.reason;
        m_ownerRefused = verdict.ownerRefused;
        return ERROR_ACCESS_DENIED;
    }
    m_held.emplace_back(path, std::move(file));
    return ERROR_SUCCESS;
}

HANDLE TrustedFiles::Held(const std::wstring& path) const
{
    for (const auto& [heldPath, file] : m_held) {
        if (heldPath == path) {
            return file.Get();
        }
    }
    return nullptr;
}

std::vector<BYTE> SystemFolderOwner()
{
    wchar_t system[MAX_PATH] = {};
    const UINT length = ::GetSystemDirectoryW(system, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) {
        return {};
    }
    PSID owner = nullptr;
    UniqueDescriptor descriptor;
    if (::GetNamedSecurityInfoW(system, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr, nullptr, nullptr,
                                descriptor.Put()) != ERROR_SUCCESS ||
        owner == nullptr || !::IsValidSid(owner)) {
        return {};
    }
    const BYTE* bytes = static_cast<const BYTE*>(owner);
    return std::vector<BYTE>(bytes, bytes + ::GetLengthSid(owner));
}

}  // namespace vyx::service
