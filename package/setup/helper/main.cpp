// vyxsetup.exe: what the setup program and its uninstaller cannot do well in their own
// script, one command per run, started elevated from the setup's temporary folder:
//   check-folder [--installed] FOLDER RESULT   may FOLDER become the install folder?
//   prepare-folder FOLDER RESULT               check it, create it secured, check again
//   ensure-folder FOLDER RESULT                the product's own folder (the log's)
//   own-tree FOLDER RESULT                     Administrators own FOLDER and all below
//   stop-service RESULT                        stop the service and wait for its process
//   digest FILE RESULT                         the SHA-256 of FILE
// Exit code 0 when done or accepted, 1 when refused or failed (RESULT says why), 2 for a
// command line it does not know. RESULT: see ResultFile.h.
#include "FileDigest.h"
#include "InstallFolder.h"
#include "ResultFile.h"
#include "ScmServiceControl.h"
#include "ServiceStop.h"
#include "TreeOwner.h"
#include "TrustedFiles.h"
#include "Win32FileSystem.h"

#include <sddl.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

using namespace vyx::setup;

constexpr wchar_t kServiceName[] = L"VYXDshowService";

std::wstring ErrorText(DWORD error) { return L"error " + std::to_wstring(error); }

// "DOMAIN\name" where the machine knows the account, else its SID.
std::wstring AccountName(const std::vector<BYTE>& sid)
{
    if (sid.empty()) {
        return L"Everyone";
    }
    auto* pointer = const_cast<BYTE*>(sid.data());
    wchar_t name[256] = {};
    wchar_t domain[256] = {};
    DWORD nameLength = 256;
    DWORD domainLength = 256;
    SID_NAME_USE use;
    if (::LookupAccountSidW(nullptr, pointer, name, &nameLength, domain, &domainLength, &use)) {
        return domain[0] != L'\0' ? std::wstring(domain) + L"\\" + name : std::wstring(name);
    }
    return vyx::service::SidText(pointer);
}

const wchar_t* ProblemWord(FolderProblem problem)
{
    switch (problem) {
    case FolderProblem::None: return L"ok";
    case FolderProblem::NotLocal: return L"not-local";
    case FolderProblem::NotAFolder: return L"not-a-folder";
    case FolderProblem::NotEmpty: return L"not-empty";
    case FolderProblem::ReparsePoint: return L"reparse-point";
    case FolderProblem::UntrustedOwner: return L"untrusted-owner";
    case FolderProblem::WritableByOthers: return L"writable-by-others";
    case FolderProblem::Unreadable: return L"unreadable";
    case FolderProblem::NotSecured: return L"not-secured";
    }
    return L"unknown";
}

Result FolderResult(const FolderVerdict& verdict)
{
    std::wstring detail;
    if (verdict.problem == FolderProblem::UntrustedOwner || verdict.problem == FolderProblem::WritableByOthers) {
        detail = AccountName(verdict.principal);
    } else if (verdict.error != ERROR_SUCCESS) {
        detail = ErrorText(verdict.error);
    }
    return {ProblemWord(verdict.problem), verdict.path, detail, verdict.createdTop};
}

// The full path without a trailing backslash (but "C:\" stays), as the folder rules take it.
std::wstring FullPath(const std::wstring& path)
{
    std::vector<wchar_t> buffer(::GetFullPathNameW(path.c_str(), 0, nullptr, nullptr) + 1);
    const DWORD length = ::GetFullPathNameW(path.c_str(), static_cast<DWORD>(buffer.size()), buffer.data(), nullptr);
    std::wstring full = length == 0 || length >= buffer.size() ? path : std::wstring(buffer.data(), length);
    while (full.size() > 3 && full.back() == L'\\') {
        full.pop_back();
    }
    return full;
}

Result StopService()
{
    ScmServiceControl service;
    DWORD error = service.Open(kServiceName);
    if (error == ERROR_SERVICE_DOES_NOT_EXIST) {
        return {L"absent"};
    }
    if (error != ERROR_SUCCESS) {
        return {L"failed", L"", ErrorText(error)};
    }
    const StopResult stopped = StopServiceAndProcess(service);
    if (stopped.error == ERROR_SERVICE_MARKED_FOR_DELETE) {
        return {L"marked-for-deletion", L"", ErrorText(stopped.error)};
    }
    if (stopped.error != ERROR_SUCCESS) {
        return {L"failed", L"", ErrorText(stopped.error)};
    }
    return {stopped.wasRunning ? L"stopped" : L"was-stopped"};
}

// `args`: the command and its arguments, the result file taken off; `installed`: --installed was given.
Result Run(const std::vector<std::wstring>& args, bool installed, bool& usage)
{
    Win32FileSystem files;
    const std::wstring& command = args[0];
    if ((command == L"check-folder" || (!installed && (command == L"prepare-folder" || command == L"ensure-folder"))) &&
        args.size() == 2) {
        InstallFolder folder(files, vyx::service::ServiceFileTrust());
        const std::wstring path = FullPath(args[1]);
        if (command == L"check-folder") {
            return FolderResult(folder.Check(path, installed));
        }
        return FolderResult(command == L"prepare-folder" ? folder.Prepare(path) : folder.Ensure(path));
    }
    if (installed) {
        usage = true;
        return {};
    }
    if (command == L"own-tree" && args.size() == 2) {
        const TreeOwnerResult owned = GiveTreeToAdministrators(files, FullPath(args[1]));
        return {owned.error == ERROR_SUCCESS ? L"ok" : L"failed", owned.failedPath,
                owned.error == ERROR_SUCCESS ? L"" : ErrorText(owned.error), std::to_wstring(owned.count)};
    }
    if (command == L"stop-service" && args.size() == 1) {
        return StopService();
    }
    if (command == L"digest" && args.size() == 2) {
        std::wstring digest;
        const DWORD error = Sha256OfFile(args[1], digest);
        return {error == ERROR_SUCCESS ? L"ok" : L"failed", args[1], error == ERROR_SUCCESS ? L"" : ErrorText(error),
                digest};
    }
    usage = true;
    return {};
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    std::vector<std::wstring> args(argv + 1, argv + argc);
    const auto flag = std::find(args.begin(), args.end(), L"--installed");
    const bool installed = flag != args.end();
    if (installed) {
        args.erase(flag);
    }
    if (args.size() < 2) {
        return 2;
    }
    const std::wstring resultFile = args.back();
    args.pop_back();
    bool usage = false;
    const Result result = Run(args, installed, usage);
    if (usage) {
        return 2;
    }
    if (WriteResultFile(resultFile, result) != ERROR_SUCCESS) {
        return 1;
    }
    return result.word == L"ok" || result.word == L"absent" || result.word == L"stopped" ||
                   result.word == L"was-stopped"
               ? 0
               : 1;
}
