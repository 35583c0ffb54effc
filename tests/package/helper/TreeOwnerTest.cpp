// Files an administrator copies with UAC off (or as the built-in Administrator) are owned by
// that user, which Wine cannot show: the fake file system reports them so, and every file
// and folder must end up owned by Administrators.
#include "FakeFileSystem.h"
#include "TreeOwner.h"

#include <gtest/gtest.h>

namespace vyx::setup {
namespace {

const std::wstring kOwnedByBuiltInAdministrator = L"O:S-1-5-21-1-2-3-500D:AI(A;OICIID;FA;;;BA)(A;OICIID;FA;;;SY)";

TEST(TreeOwnerTest, EveryFileAndFolderCopiedWithUacOffGetsAdministratorsAsOwner_OwnersThroughAFake)
{
    FakeFileSystem files;
    files.AddFolder(L"C:\\", L"O:SYD:(A;OICI;FA;;;SY)");
    for (const wchar_t* folder : {L"C:\\VYX", L"C:\\VYX\\DX_x64", L"C:\\VYX\\DX_x86", L"C:\\VYX\\DX_x64\\deep"}) {
        files.AddFolder(folder, kOwnedByBuiltInAdministrator);
    }
    for (const wchar_t* file : {L"C:\\VYX\\VYXCamService.exe", L"C:\\VYX\\DX_x64\\VYX_Kestrel1C.dll",
                                L"C:\\VYX\\DX_x86\\VyxonCamera.dll", L"C:\\VYX\\DX_x64\\deep\\x.dll"}) {
        files.AddFile(file, kOwnedByBuiltInAdministrator);
    }
    // A junction inside gets the owner itself; what it points to is not walked.
    files.AddJunction(L"C:\\VYX\\link");
    files.AddFile(L"C:\\VYX\\link\\elsewhere.dll", kOwnedByBuiltInAdministrator);

    const TreeOwnerResult result = GiveTreeToAdministrators(files, L"C:\\VYX");
    EXPECT_EQ(result.error, static_cast<DWORD>(ERROR_SUCCESS));
    EXPECT_EQ(result.count, 9u);
    EXPECT_EQ(files.changed.size(), 9u);
    for (const std::wstring& path : files.changed) {
        EXPECT_EQ(files.Find(path)->owner, L"BA") << std::string(path.begin(), path.end());
    }
    EXPECT_EQ(files.Sddl(L"C:\\VYX\\DX_x64\\deep\\x.dll"), L"O:BA" + kOwnedByBuiltInAdministrator.substr(20))
        << "only the owner changes";
    EXPECT_NE(files.Find(L"C:\\VYX\\link\\elsewhere.dll")->owner, L"BA");
}

TEST(TreeOwnerTest, TheFirstFileThatCannotBeGivenStopsTheWalkAndIsNamed)
{
    FakeFileSystem files;
    files.AddFolder(L"D:\\VYX", kOwnedByBuiltInAdministrator);
    files.AddFile(L"D:\\VYX\\a.dll", kOwnedByBuiltInAdministrator);
    files.AddFile(L"D:\\VYX\\b.dll", kOwnedByBuiltInAdministrator);
    files.FailSetSecurity(L"D:\\VYX\\a.dll", ERROR_ACCESS_DENIED);
    const TreeOwnerResult result = GiveTreeToAdministrators(files, L"D:\\VYX");
    EXPECT_EQ(result.error, static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_EQ(result.failedPath, L"D:\\VYX\\a.dll");
    EXPECT_EQ(GiveTreeToAdministrators(files, L"D:\\missing").error, static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
}

}  // namespace
}  // namespace vyx::setup
