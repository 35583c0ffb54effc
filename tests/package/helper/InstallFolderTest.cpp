// The install folder's rules against access lists as Windows reports them (Wine stores
// none and makes no junctions, so a fake file system answers with Windows' own lists):
// which folders above are safe, which chosen folders are refused and why, and what Prepare
// makes, secures and undoes.
#include "FakeFileSystem.h"
#include "InstallFolder.h"
#include "SddlDescriptor.h"

#include <gtest/gtest.h>

#include <sddl.h>

#include <fstream>
#include <set>
#include <sstream>

namespace vyx::setup {
namespace {

constexpr wchar_t kTrustedInstaller[] = L"S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464";
constexpr wchar_t kBob[] = L"S-1-5-21-1-2-3-1001";

// Windows 11's own lists: the system drive's root, Program Files, and a data drive's root.
const std::wstring kSystemRoot = std::wstring(L"O:") + kTrustedInstaller +
                                 L"D:PAI(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)(A;OICI;0x1200a9;;;BU)"
                                 L"(A;OICIIO;SDGXGWGR;;;AU)(A;;LC;;;AU)";
const std::wstring kProgramFiles = std::wstring(L"O:") + kTrustedInstaller + L"D:PAI(A;;FA;;;" + kTrustedInstaller +
                                   L")(A;CIIO;GA;;;" + kTrustedInstaller +
                                   L")(A;;0x1301bf;;;SY)(A;OICIIO;GA;;;SY)(A;;0x1301bf;;;BA)(A;OICIIO;GA;;;BA)"
                                   L"(A;;0x1200a9;;;BU)(A;OICIIO;GXGR;;;BU)(A;OICIIO;GA;;;CO)"
                                   L"(A;;0x1200a9;;;S-1-15-2-1)(A;OICIIO;GXGR;;;S-1-15-2-1)";
const std::wstring kDataRoot = L"O:BAD:PAI(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)(A;OICIIO;SDGXGWGR;;;AU)(A;;LC;;;AU)"
                               L"(A;OICI;0x1200a9;;;BU)";
// What a folder made under a drive's root inherits: Authenticated Users may change it.
const std::wstring kInheritedUnderRoot = L"D:AI(A;OICIID;FA;;;BA)(A;OICIID;FA;;;SY)(A;ID;0x1301bf;;;AU)"
                                         L"(A;OICIIOID;SDGXGWGR;;;AU)(A;OICIID;0x1200a9;;;BU)";

std::vector<BYTE> SidBytes(const std::wstring& text)
{
    PSID sid = nullptr;
    ::ConvertStringSidToSidW(text.c_str(), &sid);
    std::vector<BYTE> bytes(static_cast<BYTE*>(sid), static_cast<BYTE*>(sid) + ::GetLengthSid(sid));
    ::LocalFree(sid);
    return bytes;
}

// The install folder's list as the platform writes it back.
std::wstring InstallFolderSddl()
{
    SddlDescriptor descriptor(kInstallFolderSddl);
    wchar_t* text = nullptr;
    ::ConvertSecurityDescriptorToStringSecurityDescriptorW(
        descriptor.Get(), SDDL_REVISION_1, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, &text, nullptr);
    std::wstring result(text);
    ::LocalFree(text);
    return result;
}

// "SID mask flags" for each allowing entry of the install folder's list.
std::set<std::wstring> InstallFolderGrants()
{
    std::set<std::wstring> grants;
    SddlDescriptor descriptor(kInstallFolderSddl);
    BOOL present = FALSE;
    BOOL defaulted = FALSE;
    PACL dacl = nullptr;
    if (!::GetSecurityDescriptorDacl(descriptor.Get(), &present, &dacl, &defaulted) || dacl == nullptr) {
        return grants;
    }
    for (DWORD i = 0; i < dacl->AceCount; ++i) {
        void* ace = nullptr;
        ::GetAce(dacl, i, &ace);
        const auto* allowed = static_cast<const ACCESS_ALLOWED_ACE*>(ace);
        wchar_t* sid = nullptr;
        ::ConvertSidToStringSidW(const_cast<DWORD*>(&allowed->SidStart), &sid);
        std::wostringstream grant;
        grant << sid << L' ' << std::hex << allowed->Mask << L' ' << allowed->Header.AceFlags;
        ::LocalFree(sid);
        grants.insert(grant.str());
    }
    return grants;
}

// The same for the grants of install.cmd's icacls line ("*SID:(OI)(CI)F" or "...RX").
std::set<std::wstring> InstallScriptGrants(const char* scriptPath)
{
    std::set<std::wstring> grants;
    std::ifstream script(scriptPath);
    std::string line;
    while (std::getline(script, line)) {
        if (line.rfind("icacls \"%here%.\" /inheritance:r /grant:r ", 0) != 0) {
            continue;
        }
        std::istringstream words(line);
        std::string word;
        while (words >> word) {
            const std::size_t colon = word.find(":(OI)(CI)");
            if (word[0] != '*' || colon == std::string::npos) {
                continue;
            }
            const std::string rights = word.substr(colon + 9);
            const DWORD mask = rights == "F" ? FILE_ALL_ACCESS : rights == "RX" ? FILE_GENERIC_READ | FILE_GENERIC_EXECUTE : 0;
            std::wostringstream grant;
            grant << std::wstring(word.begin() + 1, word.begin() + static_cast<std::ptrdiff_t>(colon)) << L' '
                  << std::hex << mask << L' ' << (OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE);
            grants.insert(grant.str());
        }
    }
    return grants;
}

class InstallFolderTest : public ::testing::Test {
protected:
    InstallFolderTest()
    {
        files.AddFolder(L"C:\\", kSystemRoot);
        files.AddFolder(L"C:\\Program Files", kProgramFiles);
        files.AddFolder(L"D:\\", kDataRoot);
    }

    FakeFileSystem files;
    service::FileTrust trust;
    InstallFolder folder{files, trust};
};

TEST_F(InstallFolderTest, ProgramFilesAndADriveRootAreSafePlacesAsWindowsSetsThem)
{
    EXPECT_TRUE(folder.Check(L"C:\\Program Files\\VYX Camera Driver", false).Accepted());
    EXPECT_TRUE(folder.Check(L"D:\\VYX Driver", false).Accepted());
    EXPECT_TRUE(folder.Check(L"D:\\Astro\\VYX Driver", false).Accepted());  // both new
    EXPECT_TRUE(files.created.empty());
    EXPECT_TRUE(files.changed.empty());
}

TEST_F(InstallFolderTest, AFolderAboveThatOthersMayChangeOrTakeOverIsRefusedWithItsOwnerOrWriter)
{
    files.AddFolder(L"D:\\Astro", std::wstring(L"O:") + kBob + kInheritedUnderRoot);
    FolderVerdict verdict = folder.Check(L"D:\\Astro\\Driver", false);
    EXPECT_EQ(verdict.problem, FolderProblem::UntrustedOwner);
    EXPECT_EQ(verdict.path, L"D:\\Astro");
    EXPECT_EQ(verdict.principal, SidBytes(kBob));

    // Made by an elevated administrator, but it inherits Authenticated Users' Modify.
    files.AddFolder(L"D:\\Astro", L"O:BA" + kInheritedUnderRoot);
    verdict = folder.Check(L"D:\\Astro\\Driver", false);
    EXPECT_EQ(verdict.problem, FolderProblem::WritableByOthers);
    EXPECT_EQ(verdict.principal, SidBytes(L"S-1-5-11"));

    // An old drive whose root lets Everyone do anything.
    files.AddFolder(L"E:\\", L"O:BAD:(A;OICI;FA;;;WD)");
    verdict = folder.Check(L"E:\\VYX", false);
    EXPECT_EQ(verdict.problem, FolderProblem::WritableByOthers);
    EXPECT_EQ(verdict.principal, SidBytes(L"S-1-1-0"));

    // Prepare refuses the same way before it makes anything.
    EXPECT_EQ(folder.Prepare(L"D:\\Astro\\Driver").problem, FolderProblem::WritableByOthers);
    EXPECT_TRUE(files.created.empty());
}

TEST_F(InstallFolderTest, AJunctionOrAFileOnThePathAndAnyDriveButALocalOneAreRefused)
{
    files.AddJunction(L"D:\\Link");
    FolderVerdict verdict = folder.Check(L"D:\\Link\\Driver", false);
    EXPECT_EQ(verdict.problem, FolderProblem::ReparsePoint);
    EXPECT_EQ(verdict.path, L"D:\\Link");
    EXPECT_EQ(folder.Check(L"D:\\Link", false).problem, FolderProblem::ReparsePoint);
    EXPECT_EQ(folder.Check(L"D:\\Link", true).problem, FolderProblem::ReparsePoint);

    files.AddFile(L"D:\\notes.txt", L"O:BAD:(A;;FA;;;BA)");
    EXPECT_EQ(folder.Check(L"D:\\notes.txt\\Driver", false).problem, FolderProblem::NotAFolder);
    EXPECT_EQ(folder.Check(L"D:\\notes.txt", false).problem, FolderProblem::NotAFolder);

    EXPECT_EQ(folder.Check(L"\\\\server\\share\\VYX", false).problem, FolderProblem::NotLocal);
    files.driveType = DRIVE_REMOVABLE;
    EXPECT_EQ(folder.Check(L"D:\\VYX", false).problem, FolderProblem::NotLocal);
}

TEST_F(InstallFolderTest, AFolderWithFilesIsRefusedUntouchedUnlessItHoldsThisProductsInstall)
{
    const std::wstring own = L"O:BAD:PAI(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;BU)";
    files.AddFolder(L"D:\\Data", own);
    files.AddFile(L"D:\\Data\\thesis.docx", L"O:BAD:(A;;FA;;;BA)");
    FolderVerdict verdict = folder.Prepare(L"D:\\Data");
    EXPECT_EQ(verdict.problem, FolderProblem::NotEmpty);
    EXPECT_EQ(verdict.path, L"D:\\Data");
    EXPECT_TRUE(files.changed.empty());

    // The earlier install is judged by the service's own rule instead.
    EXPECT_TRUE(folder.Check(L"D:\\Data", true).Accepted());
    files.AddFolder(L"D:\\Data", L"O:BAD:PAI(A;OICI;FA;;;BA)(A;OICI;0x1301bf;;;BU)");
    EXPECT_EQ(folder.Check(L"D:\\Data", true).problem, FolderProblem::WritableByOthers);
}

TEST_F(InstallFolderTest, PrepareMakesEachMissingFolderSecuredAndNamesTheHighest)
{
    const FolderVerdict verdict = folder.Prepare(L"D:\\Astro\\VYX Driver");
    ASSERT_TRUE(verdict.Accepted());
    EXPECT_EQ(verdict.createdTop, L"D:\\Astro");
    EXPECT_EQ(files.created, (std::vector<std::wstring>{L"D:\\Astro", L"D:\\Astro\\VYX Driver"}));
    for (const std::wstring& made : files.created) {
        EXPECT_EQ(files.Sddl(made), InstallFolderSddl());
    }

    // An empty folder that is there keeps nothing inherited, and nothing new is made.
    files.created.clear();
    files.AddFolder(L"D:\\Empty", L"O:" + std::wstring(kBob) + kInheritedUnderRoot);
    const FolderVerdict empty = folder.Prepare(L"D:\\Empty");
    ASSERT_TRUE(empty.Accepted());
    EXPECT_TRUE(empty.createdTop.empty());
    EXPECT_TRUE(files.created.empty());
    EXPECT_EQ(files.Sddl(L"D:\\Empty"), InstallFolderSddl());
}

// The frame server loads the media sources as LOCAL SERVICE, and the zip's script must leave
// the folder as the setup program does.
TEST_F(InstallFolderTest, TheZipScriptAndTheSetupGiveTheFolderOneListThatLetsLocalServiceReadAndRun)
{
    const std::set<std::wstring> setup = InstallFolderGrants();
    const std::wstring localService =
        L"S-1-5-19 " + (std::wostringstream() << std::hex << (FILE_GENERIC_READ | FILE_GENERIC_EXECUTE)).str() + L" 3";
    EXPECT_EQ(setup.count(localService), 1u);
    EXPECT_EQ(InstallScriptGrants(VYX_INSTALL_SCRIPT), setup);
}

TEST_F(InstallFolderTest, AFolderSlippedInBeforePrepareMakesItIsSeenAndWhatWasMadeIsRemoved)
{
    // A user makes D:\A between the check and its creation.
    const std::wstring users = std::wstring(L"O:") + kBob + kInheritedUnderRoot;
    files.AppearsOnCreate(L"D:\\A", users);
    const FolderVerdict verdict = folder.Prepare(L"D:\\A\\B\\C");
    EXPECT_EQ(verdict.problem, FolderProblem::UntrustedOwner);
    EXPECT_EQ(verdict.path, L"D:\\A");
    EXPECT_EQ(files.Find(L"D:\\A\\B"), nullptr) << "the folders the rules made are removed again";
    EXPECT_EQ(files.Sddl(L"D:\\A"), users);

    // An empty folder whose access list cannot be set gets its own back, untouched.
    const std::wstring before = L"O:" + std::wstring(kBob) + kInheritedUnderRoot;
    files.AddFolder(L"D:\\Empty", before);
    files.FailSetSecurity(L"D:\\Empty", ERROR_ACCESS_DENIED);
    const FolderVerdict refused = folder.Prepare(L"D:\\Empty");
    EXPECT_EQ(refused.problem, FolderProblem::NotSecured);
    EXPECT_EQ(refused.error, static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_EQ(files.Sddl(L"D:\\Empty"), before);
}

TEST_F(InstallFolderTest, TheProductsOwnFolderIsMadeWhenMissingAndOnlyJudgedWhenThere)
{
    files.AddFolder(L"C:\\ProgramData", L"O:SYD:PAI(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;BU)"
                                         L"(A;CI;0x100116;;;BU)(A;OICIIO;GA;;;CO)");
    EXPECT_TRUE(folder.Ensure(L"C:\\ProgramData\\VYXDShowDriver").Accepted());
    EXPECT_EQ(files.created, std::vector<std::wstring>{L"C:\\ProgramData\\VYXDShowDriver"});
    files.AddFile(L"C:\\ProgramData\\VYXDShowDriver\\setup.log", L"O:BAD:(A;;FA;;;BA)");
    EXPECT_TRUE(folder.Ensure(L"C:\\ProgramData\\VYXDShowDriver").Accepted());

    // Made beforehand by a user, to catch what an elevated setup writes there.
    files.AddFolder(L"C:\\ProgramData\\VYXDShowDriver", std::wstring(L"O:") + kBob + L"D:(A;OICI;FA;;;" + kBob + L")");
    EXPECT_EQ(folder.Ensure(L"C:\\ProgramData\\VYXDShowDriver").problem, FolderProblem::UntrustedOwner);
}

}  // namespace
}  // namespace vyx::setup
