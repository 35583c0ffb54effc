// The trust rule on security descriptors built here (Wine enforces no file security, so
// real files cannot be made untrusted): owner, allowing entries inherited or not, the
// rights that count as changing, and entries that grant nothing on the object itself.
#include "FileTrust.h"

#include <gtest/gtest.h>

#include <sddl.h>

#include <string>

namespace vyx::service {
namespace {

constexpr wchar_t kTrustedInstaller[] = L"S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464";
constexpr wchar_t kServiceAccount[] = L"S-1-5-21-7-8-9-1000";

class Descriptor {
public:
    explicit Descriptor(const std::wstring& sddl)
    {
        ::ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl.c_str(), SDDL_REVISION_1, &m_descriptor, nullptr);
    }
    ~Descriptor() { ::LocalFree(m_descriptor); }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    PSECURITY_DESCRIPTOR Get() const { return m_descriptor; }

private:
    PSECURITY_DESCRIPTOR m_descriptor = nullptr;
};

class Sid {
public:
    explicit Sid(const wchar_t* text) { ::ConvertStringSidToSidW(text, &m_sid); }
    ~Sid() { ::LocalFree(m_sid); }
    Sid(const Sid&) = delete;
    Sid& operator=(const Sid&) = delete;
    PSID Get() const { return m_sid; }

private:
    PSID m_sid = nullptr;
};

TrustVerdict JudgeSddl(const std::wstring& sddl, const FileTrust& trust = FileTrust())
{
    Descriptor descriptor(sddl);
    EXPECT_NE(descriptor.Get(), nullptr) << "bad test SDDL";
    return trust.Judge(descriptor.Get());
}

// What a protected install folder looks like: Program Files' entries as Windows sets them.
const std::wstring kProtectedDacl = L"D:PAI(A;;FA;;;S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464)"
                                    L"(A;OICIIO;GA;;;S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464)"
                                    L"(A;;0x1301bf;;;SY)(A;OICIIO;GA;;;SY)(A;;0x1301bf;;;BA)(A;OICIIO;GA;;;BA)"
                                    L"(A;;0x1200a9;;;BU)(A;OICIIO;GXGR;;;BU)(A;OICIIO;GA;;;CO)";

TEST(FileTrustTest, OwnersAndWritersOfTheTrustedKindAreAccepted)
{
    for (const std::wstring& owner : {std::wstring(L"SY"), std::wstring(L"BA"), std::wstring(kTrustedInstaller)}) {
        const TrustVerdict verdict = JudgeSddl(L"O:" + owner + kProtectedDacl);
        EXPECT_TRUE(verdict.trusted) << std::string(owner.begin(), owner.end()) << " "
                                     << std::string(verdict.reason.begin(), verdict.reason.end());
        EXPECT_TRUE(verdict.reason.empty());
    }
    // Deny entries and an empty DACL grant nothing; inherited entries of trusted writers count as theirs.
    EXPECT_TRUE(JudgeSddl(L"O:SYD:(D;;FA;;;WD)(A;ID;FA;;;BA)(A;ID;FA;;;SY)(A;ID;0x1200a9;;;AU)").trusted);
    EXPECT_TRUE(JudgeSddl(L"O:BAD:").trusted);

    // The service's own account is trusted only where the caller names it.
    Sid account(kServiceAccount);
    ASSERT_NE(account.Get(), nullptr);
    const FileTrust withAccount({account.Get()});
    const std::wstring owned = std::wstring(L"O:") + kServiceAccount + L"D:(A;;FA;;;" + kServiceAccount + L")(A;;FA;;;SY)";
    EXPECT_TRUE(JudgeSddl(owned, withAccount).trusted);
    const TrustVerdict without = JudgeSddl(owned);
    EXPECT_FALSE(without.trusted);
    EXPECT_EQ(without.reason, std::wstring(L"owner=") + kServiceAccount);
}

// Files copied by the built-in Administrator (or with UAC off) belong to that user: refused
// for the owner alone, which an administrator mends in one command. A writer is no owner.
TEST(FileTrustTest, ARefusalForTheOwnerAloneNamesTheMend)
{
    const std::wstring administrator = L"S-1-5-21-7-8-9-500";
    const TrustVerdict owned = JudgeSddl(L"O:" + administrator + kProtectedDacl);
    EXPECT_FALSE(owned.trusted);
    EXPECT_TRUE(owned.ownerRefused);
    const TrustVerdict written = JudgeSddl(L"O:BAD:(A;;FA;;;" + administrator + L")");
    EXPECT_FALSE(written.trusted);
    EXPECT_FALSE(written.ownerRefused);
    EXPECT_FALSE(JudgeSddl(L"O:BA" + kProtectedDacl).ownerRefused);
    EXPECT_EQ(OwnerMend(L"C:\\Program Files\\VYX\\DX_x64\\VYX_Kestrel1C.dll"),
              L"set the owner to Administrators: icacls \"C:\\Program Files\\VYX\\DX_x64\\VYX_Kestrel1C.dll\" "
              L"/setowner *S-1-5-32-544");
}

TEST(FileTrustTest, AnyOtherOwnerOrWriterIsRefusedWithTheReason)
{
    // Owned by an ordinary user, as a folder made under C:\ by that user is.
    TrustVerdict verdict = JudgeSddl(L"O:S-1-5-21-1-2-3-1001" + kProtectedDacl);
    EXPECT_FALSE(verdict.trusted);
    EXPECT_EQ(verdict.reason, L"owner=S-1-5-21-1-2-3-1001");

    // A folder made under C:\ inherits "Authenticated Users: Modify".
    verdict = JudgeSddl(L"O:BAD:AI(A;ID;FA;;;BA)(A;ID;FA;;;SY)(A;ID;0x1301bf;;;AU)(A;ID;0x1200a9;;;BU)");
    EXPECT_FALSE(verdict.trusted);
    EXPECT_EQ(verdict.reason, L"writer=S-1-5-11 access=0x001301BF");

    // Each changing right on its own is enough to refuse.
    const wchar_t* rights[] = {L"0x2", L"0x4", L"0x10", L"0x40", L"0x100", L"SD", L"WD", L"WO", L"GA", L"GW", L"FW"};
    for (const wchar_t* right : rights) {
        verdict = JudgeSddl(std::wstring(L"O:SYD:(A;;FA;;;SY)(A;;") + right + L";;;BU)");
        EXPECT_FALSE(verdict.trusted) << std::string(right, right + std::wcslen(right));
        EXPECT_EQ(verdict.reason.rfind(L"writer=S-1-5-32-545 access=0x", 0), 0u);
    }
    // Reading and running are not changing.
    for (const wchar_t* right : {L"FR", L"FX", L"GR", L"GX", L"0x1200a9", L"RC"}) {
        EXPECT_TRUE(JudgeSddl(std::wstring(L"O:SYD:(A;;FA;;;SY)(A;;") + right + L";;;WD)").trusted);
    }
}

TEST(FileTrustTest, EntriesThatGrantNothingHereAndMissingPartsAreJudgedSafely)
{
    // Inherit-only entries apply to what is created inside, not to the object itself.
    EXPECT_TRUE(JudgeSddl(L"O:SYD:(A;;FA;;;SY)(A;OICIIO;GA;;;CO)(A;OICIIO;FA;;;BU)").trusted);
    // ...but an entry that is inherited by the object applies to it.
    EXPECT_FALSE(JudgeSddl(L"O:SYD:(A;;FA;;;SY)(A;OICIID;FA;;;BU)").trusted);

    // No DACL at all grants everyone everything.
    SECURITY_DESCRIPTOR open = {};
    ASSERT_TRUE(::InitializeSecurityDescriptor(&open, SECURITY_DESCRIPTOR_REVISION));
    Sid system(L"SY");
    ASSERT_TRUE(::SetSecurityDescriptorOwner(&open, system.Get(), FALSE));
    ASSERT_TRUE(::SetSecurityDescriptorDacl(&open, TRUE, nullptr, FALSE));
    TrustVerdict verdict = FileTrust().Judge(&open);
    EXPECT_FALSE(verdict.trusted);
    EXPECT_EQ(verdict.reason, L"no DACL: everyone may change it");
    verdict = JudgeSddl(L"O:SY");
    EXPECT_FALSE(verdict.trusted);
    verdict = JudgeSddl(L"D:(A;;FA;;;SY)");
    EXPECT_FALSE(verdict.trusted);
    EXPECT_EQ(verdict.reason, L"no owner");
    EXPECT_FALSE(FileTrust().Judge(nullptr).trusted);

    EXPECT_FALSE(FileTrust().IsTrustedPrincipal(nullptr));
    Sid everyone(L"WD");
    EXPECT_FALSE(FileTrust().IsTrustedPrincipal(everyone.Get()));
    EXPECT_EQ(SidText(everyone.Get()), L"S-1-1-0");
    EXPECT_EQ(SidText(nullptr), L"invalid SID");
}

}  // namespace
}  // namespace vyx::service
