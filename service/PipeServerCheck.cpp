#include "PipeServerCheck.h"

#include "UniqueResource.h"

#include <vector>

namespace vyx::service {

namespace {

bool IsWellKnown(PSID sid, WELL_KNOWN_SID_TYPE type)
{
    BYTE known[SECURITY_MAX_SID_SIZE] = {};
    DWORD size = sizeof(known);
    return sid != nullptr && ::IsValidSid(sid) && ::CreateWellKnownSid(type, nullptr, known, &size) &&
           ::EqualSid(sid, known);
}

std::vector<BYTE> TokenInformation(HANDLE token, TOKEN_INFORMATION_CLASS kind)
{
    DWORD size = 0;
    ::GetTokenInformation(token, kind, nullptr, 0, &size);
    if (size == 0) {
        return {};
    }
    std::vector<BYTE> buffer(size);
    if (!::GetTokenInformation(token, kind, buffer.data(), size, &size)) {
        return {};
    }
    return buffer;
}

}  // namespace

bool IsAdministrativeIdentity(PSID user, const TOKEN_GROUPS* groups)
{
    if (IsWellKnown(user, WinLocalSystemSid)) {
        return true;
    }
    if (groups == nullptr) {
        return false;
    }
    for (DWORD i = 0; i < groups->GroupCount; ++i) {
        const SID_AND_ATTRIBUTES& group = groups->Groups[i];
        const bool enabled =
            (group.Attributes & SE_GROUP_ENABLED) != 0 && (group.Attributes & SE_GROUP_USE_FOR_DENY_ONLY) == 0;
        if (enabled && IsWellKnown(group.Sid, WinBuiltinAdministratorsSid)) {
            return true;
        }
    }
    return false;
}

bool IsPipeServerAdministrative(HANDLE pipe)
{
    ULONG serverProcessId = 0;
    if (!::GetNamedPipeServerProcessId(pipe, &serverProcessId) || serverProcessId == 0) {
        return false;
    }
    win::UniqueHandle process(::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, serverProcessId));
    if (!process) {
        return false;
    }
    win::UniqueHandle token;
    if (!::OpenProcessToken(process.Get(), TOKEN_QUERY, token.Put())) {
        return false;
    }
    const std::vector<BYTE> user = TokenInformation(token.Get(), TokenUser);
    const std::vector<BYTE> groups = TokenInformation(token.Get(), TokenGroups);
    if (user.empty()) {
        return false;
    }
    return IsAdministrativeIdentity(reinterpret_cast<const TOKEN_USER*>(user.data())->User.Sid,
                                    groups.empty() ? nullptr : reinterpret_cast<const TOKEN_GROUPS*>(groups.data()));
}

}  // namespace vyx::service
