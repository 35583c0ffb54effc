// Where the service expects a model's library, and what it accepts as one: hand-made PE
// files beside the test program. The header rule itself, cases and mutations, is
// service_rules_tests' (PeHeadersTest, ServiceFuzzTest).
#include "CameraModelTable.h"
#include "MemoryPeSource.h"
#include "FilterDllPath.h"
#include "PathText.h"
#include "TrustedFiles.h"
#include "TestLayout.h"

#include <gtest/gtest.h>


namespace vyx::service {
namespace {

using test::ExecutableDirectory;
using test::LayoutFolder;
using test::MinimalPeImage;
using test::WriteFileBytes;

class FilterDllTest : public ::testing::Test {
protected:
    void SetUp() override { test::ResetLayout(); }
};

TEST_F(FilterDllTest, PathsLieInTheArchitectureFolderBesideTheProgram)
{
    const CameraModel& row = CameraModelTable::Row(3);
    std::wstring path;
    ASSERT_TRUE(BuildDllPath(row, FilterArch::X86, path));
    EXPECT_EQ(path, LayoutFolder(FilterArch::X86) + L"\\" + row.dllFileName);
    ASSERT_TRUE(BuildDllPath(row, FilterArch::X64, path));
    EXPECT_EQ(path, LayoutFolder(FilterArch::X64) + L"\\" + row.dllFileName);

    struct Case {
        const wchar_t* name;
        DWORD error;
    };
    const Case bad[] = {
        {L"", ERROR_INVALID_NAME},         {L"sub\\x.dll", ERROR_INVALID_NAME}, {L"sub/x.dll", ERROR_INVALID_NAME},
        {L"c:x.dll", ERROR_INVALID_NAME},  {L"..", ERROR_INVALID_NAME},         {L"a..b.dll", ERROR_INVALID_NAME},
        {nullptr, ERROR_INVALID_NAME},     {L"CON", ERROR_BAD_PATHNAME},
    };
    for (const Case& c : bad) {
        SCOPED_TRACE(c.name != nullptr ? std::wstring(c.name).size() : 99);
        CameraModel model = row;
        model.dllFileName = c.name;
        path = L"unchanged";
        ::SetLastError(0);
        EXPECT_FALSE(BuildDllPath(model, FilterArch::X64, path));
        EXPECT_EQ(::GetLastError(), c.error);
        EXPECT_EQ(path, L"unchanged");
    }

    EXPECT_EQ(ParentDirectory(L"C:\\a\\b.dll"), L"C:\\a");
    EXPECT_EQ(ParentDirectory(L"C:/a/b.dll"), L"C:/a");
    EXPECT_EQ(ParentDirectory(L"b.dll"), L"");
}

// As a registration checks a library: its layout held, then the held file read.
DWORD HoldAndValidate(const std::wstring& path, FilterArch arch)
{
    TrustedFiles held(ServiceFileTrust());
    std::wstring refusedPath;
    const DWORD layout = HoldFilterLayout(held, path, refusedPath);
    return layout != ERROR_SUCCESS ? layout : ValidateFilterDll(held.Held(path), arch);
}

TEST_F(FilterDllTest, OnlyAPlainPeFileOfTheRightMachineIsValid)
{
    const std::wstring folder = LayoutFolder(FilterArch::X86);
    const std::wstring x86 = folder + L"\\x86.dll";
    const std::wstring x64 = folder + L"\\x64.dll";
    ASSERT_TRUE(WriteFileBytes(x86, MinimalPeImage(IMAGE_FILE_MACHINE_I386)));
    ASSERT_TRUE(WriteFileBytes(x64, MinimalPeImage(IMAGE_FILE_MACHINE_AMD64)));
    EXPECT_EQ(HoldAndValidate(x86, FilterArch::X86), 0u);
    EXPECT_EQ(HoldAndValidate(x86, FilterArch::X64), static_cast<DWORD>(ERROR_EXE_MACHINE_TYPE_MISMATCH));
    EXPECT_EQ(HoldAndValidate(x64, FilterArch::X64), 0u);
    EXPECT_EQ(HoldAndValidate(x64, FilterArch::X86), static_cast<DWORD>(ERROR_EXE_MACHINE_TYPE_MISMATCH));

    // Headers the rule refuses are refused through the file too, a file that ends inside
    // them included.
    const std::vector<std::uint8_t> good = MinimalPeImage(IMAGE_FILE_MACHINE_I386);
    std::vector<std::uint8_t> noMz = good;
    noMz[0] = 'Z';
    const std::vector<std::uint8_t> cut(good.begin(), good.begin() + 0x82);
    for (const std::vector<std::uint8_t>& bad : {noMz, cut}) {
        ASSERT_TRUE(WriteFileBytes(x86, bad));
        EXPECT_EQ(HoldAndValidate(x86, FilterArch::X86), static_cast<DWORD>(ERROR_BAD_EXE_FORMAT)) << bad.size();
    }

    EXPECT_EQ(HoldAndValidate(folder + L"\\missing.dll", FilterArch::X86), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_NE(HoldAndValidate(ExecutableDirectory() + L"\\no such folder\\x.dll", FilterArch::X86), 0u);
    ASSERT_TRUE(::CreateDirectoryW((folder + L"\\dir.dll").c_str(), nullptr));
    EXPECT_EQ(HoldAndValidate(folder + L"\\dir.dll", FilterArch::X86), static_cast<DWORD>(ERROR_FILE_INVALID));
    // A parent that is a file, not a folder.
    ASSERT_TRUE(WriteFileBytes(x64, good));
    EXPECT_EQ(HoldAndValidate(x64 + L"\\inner.dll", FilterArch::X86), static_cast<DWORD>(ERROR_BAD_PATHNAME));
    EXPECT_EQ(ValidateFilterDll(nullptr, FilterArch::X86), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

}  // namespace
}  // namespace vyx::service
