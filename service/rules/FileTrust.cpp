#include "FileTrust.h"

#include <sddl.h>

namespace vyx::service {

namespace {

std::vector<BYTE> CopySid(PSID sid)
{
    const DWORD length = ::GetLengthSid(sid);
    std::vector<BYTE> copy(length);
    ::CopySid(length, copy.data(), sid);
    return copy;
}

std::vector<BYTE> WellKnownSid(WELL_KNOWN_SID_TYPE type)
{
    std::vector<BYTE> sid(SECURITY_MAX_SID_SIZE);
    DWORD size = static_cast<DWORD>(sid.size());
    if (!::CreateWellKnownSid(type, nullptr, sid.data(), &size)) {
        return {};
    }
    sid.resize(size);
    return sid;
}

// NT SERVICE\TrustedInstaller, the owner of the system's own files.
std::vector<BYTE> TrustedInstallerSid()
{
    PSID sid = nullptr;
    if (!::ConvertStringSidToSidW(L"S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464", &sid)) {
        return {};
    }
    std::vector<BYTE> copy = CopySid(sid);
    ::LocalFree(sid);
    return copy;
}

std::wstring AccessText(PSID sid, ACCESS_MASK mask)
{
    wchar_t hex[16] = {};
    _snwprintf(hex, 15, L"%08lX", static_cast<unsigned long>(mask));
    return L"writer=" + SidText(sid) + L" access=0x" + hex;
}

// The SID of an allowing entry whose layout is ACE_HEADER, mask, SID; null when the entry
// is too short to hold a valid one.
PSID SidOfSimpleEntry(const ACE_HEADER* header)
{
    const DWORD sidOffset = FIELD_OFFSET(ACCESS_ALLOWED_ACE, SidStart);
    if (header->AceSize < sidOffset + ::GetSidLengthRequired(0)) {
        return nullptr;
    }
    auto* sid = reinterpret_cast<PSID>(const_cast<BYTE*>(reinterpret_cast<const BYTE*>(header) + sidOffset));
    if (!::IsValidSid(sid) || sidOffset + ::GetLengthSid(sid) > header->AceSize) {
        return nullptr;
    }
    return sid;
}

}  // namespace

std::wstring SidText(PSID sid)
{
    if (sid == nullptr || !::IsValidSid(sid)) {
        return L"invalid SID";
    }
    wchar_t* text = nullptr;
    if (!::ConvertSidToStringSidW(sid, &text)) {
        return L"invalid SID";
    }
    std::wstring result(text);
    ::LocalFree(text);
    return result;
}

FileTrust::FileTrust(const std::vector<PSID>& extraAccounts)
{
    m_trusted.push_back(WellKnownSid(WinLocalSystemSid));
    m_trusted.push_back(WellKnownSid(WinBuiltinAdministratorsSid));
    m_trusted.push_back(TrustedInstallerSid());
    for (PSID account : extraAccounts) {
        if (account != nullptr && ::IsValidSid(account)) {
            m_trusted.push_back(CopySid(account));
        }
    }
}

bool FileTrust::IsTrustedPrincipal(PSID sid) const
{
    if (sid == nullptr || !::IsValidSid(sid)) {
        return false;
    }
    for (const std::vector<BYTE>& trusted : m_trusted) {
        if (!trusted.empty() && ::EqualSid(sid, const_cast<BYTE*>(trusted.data()))) {
            return true;
        }
    }
    return false;
}

std::wstring OwnerMend(const std::wstring& path)
{
    return L"set the owner to Administrators: icacls \"" + path + L"\" /setowner *S-1-5-32-544";
}

TrustVerdict FileTrust::Judge(PSECURITY_DESCRIPTOR descriptor, ACCESS_MASK changingRights) const
{
    if (descriptor == nullptr || !::IsValidSecurityDescriptor(descriptor)) {
        return {false, L"no valid security descriptor"};
    }
    PSID owner = nullptr;
    BOOL ownerDefaulted = FALSE;
    if (!::GetSecurityDescriptorOwner(descriptor, &owner, &ownerDefaulted) || owner == nullptr) {
        return {false, L"no owner"};
    }
    if (!IsTrustedPrincipal(owner)) {
        return {false, L"owner=" + SidText(owner), true, CopySid(owner)};
    }
    BOOL present = FALSE;
    PACL dacl = nullptr;
    BOOL daclDefaulted = FALSE;
    if (!::GetSecurityDescriptorDacl(descriptor, &present, &dacl, &daclDefaulted) || !present || dacl == nullptr) {
        return {false, L"no DACL: everyone may change it"};
    }
    for (DWORD i = 0; i < dacl->AceCount; ++i) {
        void* entry = nullptr;
        if (!::GetAce(dacl, i, &entry)) {
            return {false, L"unreadable DACL entry"};
        }
        const auto* header = static_cast<const ACE_HEADER*>(entry);
        if (header->AceSize < sizeof(ACE_HEADER) + sizeof(ACCESS_MASK)) {
            return {false, L"malformed DACL entry"};
        }
        // An entry only for what is created inside grants nothing on the object itself.
        if ((header->AceFlags & INHERIT_ONLY_ACE) != 0) {
            continue;
        }
        switch (header->AceType) {
        case ACCESS_ALLOWED_ACE_TYPE:
        case ACCESS_ALLOWED_CALLBACK_ACE_TYPE: {
            const ACCESS_MASK mask = reinterpret_cast<const ACCESS_ALLOWED_ACE*>(header)->Mask;
            if ((mask & changingRights) == 0) {
                continue;
            }
            PSID sid = SidOfSimpleEntry(header);
            if (sid == nullptr) {
                return {false, L"malformed DACL entry"};
            }
            if (!IsTrustedPrincipal(sid)) {
                return {false, AccessText(sid, mask), false, CopySid(sid)};
            }
            continue;
        }
        case ACCESS_ALLOWED_COMPOUND_ACE_TYPE:
        case ACCESS_ALLOWED_OBJECT_ACE_TYPE:
        case ACCESS_ALLOWED_CALLBACK_OBJECT_ACE_TYPE: {
            // Never written for files: refused when they grant a changing right at all.
            const ACCESS_MASK mask = reinterpret_cast<const ACCESS_ALLOWED_ACE*>(header)->Mask;
            if ((mask & changingRights) != 0) {
                return {false, L"unexpected DACL entry type " + std::to_wstring(header->AceType)};
            }
            continue;
        }
        default:
            continue;  // deny, audit and label entries grant nothing
        }
    }
    return {true, L""};
}

}  // namespace vyx::service
