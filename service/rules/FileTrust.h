#pragma once
// Whether a file or folder the service runs code from can be changed only by principals
// that could run code as the service anyway: SYSTEM, Administrators, TrustedInstaller and
// the accounts the caller adds (the account the service runs as). Anyone else who owns it,
// or to whom an allowing entry of its DACL (inherited or not) grants write, delete,
// change-permissions or take-ownership, could swap a library that regsvr32 then loads as
// the service. Deny entries are ignored, which can only refuse more. Pure: any thread.

#include <windows.h>

#include <string>
#include <vector>

namespace vyx::service {

struct TrustVerdict {
    bool trusted = false;
    std::wstring reason;          // empty when trusted, else e.g. "owner=S-1-5-21-1-2-3-1001"
    bool ownerRefused = false;    // refused for its owner alone (see OwnerMend)
    std::vector<BYTE> principal{};  // the refused owner or writer, when one is named
};

// How an administrator mends a refusal for the owner alone, as seen with files copied by the
// built-in Administrator or with UAC off (owned by that user, not by Administrators).
std::wstring OwnerMend(const std::wstring& path);

// Rights that let a principal change a file or folder, rename or delete it, or take it over.
inline constexpr ACCESS_MASK kChangingRights = FILE_WRITE_DATA | FILE_APPEND_DATA | FILE_WRITE_EA | FILE_DELETE_CHILD |
                                               FILE_WRITE_ATTRIBUTES | DELETE | WRITE_DAC | WRITE_OWNER |
                                               GENERIC_WRITE | GENERIC_ALL;

class FileTrust {
public:
    // `extraAccounts`: further trusted principals; copied.
    explicit FileTrust(const std::vector<PSID>& extraAccounts = {});

    bool IsTrustedPrincipal(PSID sid) const;
    // Judges owner and DACL of a security descriptor (absolute or self-relative). A folder
    // above the one judged needs a narrower set of rights (only those that remove, rename
    // or take over what lies below): the caller passes it.
    TrustVerdict Judge(PSECURITY_DESCRIPTOR descriptor, ACCESS_MASK changingRights = kChangingRights) const;

private:
    std::vector<std::vector<BYTE>> m_trusted;
};

// "S-1-5-18" for a SID; "invalid SID" when it is not one.
std::wstring SidText(PSID sid);

}  // namespace vyx::service
