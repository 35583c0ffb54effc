#include "InstallFolder.h"

#include "SddlDescriptor.h"

#include <cwctype>

namespace vyx::setup {

namespace {

bool IsMissing(DWORD error) { return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND; }

bool IsDrivePath(const std::wstring& path)
{
    return path.size() >= 3 && std::iswalpha(path[0]) && path[1] == L':' && path[2] == L'\\';
}

// How to write a saved descriptor back: its DACL protected or inheriting, as it was.
SECURITY_INFORMATION RestoreInformation(PSECURITY_DESCRIPTOR descriptor)
{
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    ::GetSecurityDescriptorControl(descriptor, &control, &revision);
    return OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION |
           ((control & SE_DACL_PROTECTED) != 0 ? PROTECTED_DACL_SECURITY_INFORMATION
                                               : UNPROTECTED_DACL_SECURITY_INFORMATION);
}

}  // namespace

std::vector<std::wstring> FoldersAbove(const std::wstring& folder)
{
    std::vector<std::wstring> above;
    if (folder.size() <= 3) {
        return above;
    }
    above.push_back(folder.substr(0, 3));
    for (std::size_t i = folder.find(L'\\', 3); i != std::wstring::npos; i = folder.find(L'\\', i + 1)) {
        above.push_back(folder.substr(0, i));
    }
    return above;
}

FolderVerdict InstallFolder::Judge(const std::wstring& path, DWORD attributes, ACCESS_MASK changingRights)
{
    if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
        return {FolderProblem::ReparsePoint, path};
    }
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        return {FolderProblem::NotAFolder, path};
    }
    std::vector<BYTE> descriptor;
    const DWORD error = m_files.Security(path, descriptor);
    if (error != ERROR_SUCCESS) {
        return {FolderProblem::Unreadable, path, {}, error};
    }
    const service::TrustVerdict verdict = m_trust.Judge(descriptor.data(), changingRights);
    if (!verdict.trusted) {
        return {verdict.ownerRefused ? FolderProblem::UntrustedOwner : FolderProblem::WritableByOthers, path,
                verdict.principal};
    }
    return {};
}

FolderVerdict InstallFolder::CheckEmpty(const std::wstring& folder)
{
    std::vector<std::wstring> names;
    const DWORD error = m_files.List(folder, names);
    if (error != ERROR_SUCCESS) {
        return {FolderProblem::Unreadable, folder, {}, error};
    }
    return names.empty() ? FolderVerdict{} : FolderVerdict{FolderProblem::NotEmpty, folder};
}

FolderVerdict InstallFolder::Check(const std::wstring& folder, bool thisProductsInstall)
{
    if (!IsDrivePath(folder) || m_files.DriveType(folder) != DRIVE_FIXED) {
        return {FolderProblem::NotLocal, folder};
    }
    for (const std::wstring& above : FoldersAbove(folder)) {
        DWORD attributes = 0;
        const DWORD error = m_files.Attributes(above, attributes);
        if (IsMissing(error)) {
            return {};  // the rest is new
        }
        if (error != ERROR_SUCCESS) {
            return {FolderProblem::Unreadable, above, {}, error};
        }
        FolderVerdict verdict = Judge(above, attributes, kAboveChangingRights);
        if (!verdict.Accepted()) {
            return verdict;
        }
    }
    DWORD attributes = 0;
    const DWORD error = m_files.Attributes(folder, attributes);
    if (IsMissing(error)) {
        return {};
    }
    if (error != ERROR_SUCCESS) {
        return {FolderProblem::Unreadable, folder, {}, error};
    }
    if (thisProductsInstall) {
        return Judge(folder, attributes, service::kChangingRights);
    }
    if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
        return {FolderProblem::ReparsePoint, folder};
    }
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        return {FolderProblem::NotAFolder, folder};
    }
    return CheckEmpty(folder);
}

FolderVerdict InstallFolder::Prepare(const std::wstring& folder)
{
    FolderVerdict verdict = Check(folder, false);
    if (!verdict.Accepted()) {
        return verdict;
    }
    SddlDescriptor secured(kInstallFolderSddl);
    if (secured.Get() == nullptr) {
        return {FolderProblem::NotSecured, folder, {}, secured.Error()};
    }
    std::vector<std::wstring> path = FoldersAbove(folder);
    path.push_back(folder);
    std::vector<std::wstring> created;
    std::wstring resecured;
    std::vector<BYTE> previous;
    for (const std::wstring& step : path) {
        DWORD attributes = 0;
        DWORD error = m_files.Attributes(step, attributes);
        if (error == ERROR_SUCCESS && step == folder) {
            // An empty folder that was there: it gets the access list, and gets back its own
            // if anything below refuses.
            error = m_files.Security(folder, previous);
            if (error == ERROR_SUCCESS) {
                error = m_files.SetSecurity(folder, secured.Get(),
                                            OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION |
                                                PROTECTED_DACL_SECURITY_INFORMATION);
            }
            if (error != ERROR_SUCCESS) {
                Undo(created, L"", previous);
                return {FolderProblem::NotSecured, folder, {}, error};
            }
            resecured = folder;
            continue;
        }
        if (error == ERROR_SUCCESS) {
            continue;
        }
        error = m_files.CreateFolder(step, secured.Get());
        if (error == ERROR_SUCCESS) {
            created.push_back(step);
        } else if (error != ERROR_ALREADY_EXISTS) {
            Undo(created, resecured, previous);
            return {FolderProblem::NotSecured, step, {}, error};
        }
        // A folder someone else made meanwhile is not ours: the second look judges it.
    }
    verdict = Check(folder, true);
    if (verdict.Accepted()) {
        verdict = CheckEmpty(folder);
    }
    if (!verdict.Accepted()) {
        Undo(created, resecured, previous);
        return verdict;
    }
    verdict.createdTop = created.empty() ? L"" : created.front();
    return verdict;
}

FolderVerdict InstallFolder::Ensure(const std::wstring& folder)
{
    DWORD attributes = 0;
    return IsMissing(m_files.Attributes(folder, attributes)) ? Prepare(folder) : Check(folder, true);
}

void InstallFolder::Undo(const std::vector<std::wstring>& created, const std::wstring& resecured,
                         const std::vector<BYTE>& previous)
{
    for (auto it = created.rbegin(); it != created.rend(); ++it) {
        m_files.RemoveFolder(*it);
    }
    if (!resecured.empty()) {
        auto* descriptor = const_cast<BYTE*>(previous.data());
        m_files.SetSecurity(resecured, descriptor, RestoreInformation(descriptor));
    }
}

}  // namespace vyx::setup
