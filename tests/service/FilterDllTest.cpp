// Where the service expects a model's library, and what it accepts as one: hand-made PE
// files beside the test program, and a seeded mutation loop over malformed headers.
#include "CameraModelTable.h"
#include "Registrar.h"
#include "TestLayout.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>

namespace vyx::service {
namespace {

using test::ExecutableDirectory;
using test::LayoutFolder;
using test::MakePeImage;
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

TEST_F(FilterDllTest, OnlyAPlainPeFileOfTheRightMachineIsValid)
{
    const std::wstring folder = LayoutFolder(FilterArch::X86);
    const std::wstring x86 = folder + L"\\x86.dll";
    const std::wstring x64 = folder + L"\\x64.dll";
    ASSERT_TRUE(WriteFileBytes(x86, MakePeImage(IMAGE_FILE_MACHINE_I386)));
    ASSERT_TRUE(WriteFileBytes(x64, MakePeImage(IMAGE_FILE_MACHINE_AMD64)));
    EXPECT_EQ(ValidateFilterDll(x86, FilterArch::X86), 0u);
    EXPECT_EQ(ValidateFilterDll(x86, FilterArch::X64), static_cast<DWORD>(ERROR_EXE_MACHINE_TYPE_MISMATCH));
    EXPECT_EQ(ValidateFilterDll(x64, FilterArch::X64), 0u);
    EXPECT_EQ(ValidateFilterDll(x64, FilterArch::X86), static_cast<DWORD>(ERROR_EXE_MACHINE_TYPE_MISMATCH));

    const std::vector<std::uint8_t> good = MakePeImage(IMAGE_FILE_MACHINE_I386);
    auto variant = [&](auto change) {
        std::vector<std::uint8_t> bytes = good;
        change(bytes);
        return bytes;
    };
    auto setLfanew = [](std::vector<std::uint8_t>& b, std::int32_t v) { std::memcpy(b.data() + 60, &v, 4); };
    const std::vector<std::vector<std::uint8_t>> malformed = {
        {},
        variant([](auto& b) { b.resize(63); }),                     // short DOS header
        variant([](auto& b) { b[0] = 'Z'; b[1] = 'M'; }),          // no MZ
        variant([&](auto& b) { setLfanew(b, 0); }),                 // no PE offset
        variant([&](auto& b) { setLfanew(b, -4); }),                // negative offset
        variant([&](auto& b) { setLfanew(b, 0x7FFFFFF0); }),        // offset beyond the end
        variant([](auto& b) { b[0x82] = 1; }),                      // "PE\1\0"
        variant([](auto& b) { b.resize(0x84 + 19); }),              // file header cut short
        variant([](auto& b) { b.resize(0x82); }),                   // signature cut short
    };
    for (std::size_t i = 0; i < malformed.size(); ++i) {
        SCOPED_TRACE(i);
        ASSERT_TRUE(WriteFileBytes(x86, malformed[i]));
        EXPECT_EQ(ValidateFilterDll(x86, FilterArch::X86), static_cast<DWORD>(ERROR_BAD_EXE_FORMAT));
    }

    EXPECT_EQ(ValidateFilterDll(folder + L"\\missing.dll", FilterArch::X86), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_NE(ValidateFilterDll(ExecutableDirectory() + L"\\no such folder\\x.dll", FilterArch::X86), 0u);
    ASSERT_TRUE(::CreateDirectoryW((folder + L"\\dir.dll").c_str(), nullptr));
    EXPECT_EQ(ValidateFilterDll(folder + L"\\dir.dll", FilterArch::X86), static_cast<DWORD>(ERROR_FILE_INVALID));
    // A parent that is a file, not a folder.
    ASSERT_TRUE(WriteFileBytes(x64, good));
    EXPECT_EQ(ValidateFilterDll(x64 + L"\\inner.dll", FilterArch::X86), static_cast<DWORD>(ERROR_BAD_PATHNAME));
}

// The oracle: what the first bytes of the file say, read independently of the code.
DWORD ExpectedVerdict(const std::vector<std::uint8_t>& bytes, WORD machine)
{
    if (bytes.size() < 64 || bytes[0] != 'M' || bytes[1] != 'Z') {
        return ERROR_BAD_EXE_FORMAT;
    }
    std::int32_t offset = 0;
    std::memcpy(&offset, bytes.data() + 60, 4);
    if (offset <= 0 || static_cast<std::size_t>(offset) + 24 > bytes.size()) {
        return ERROR_BAD_EXE_FORMAT;
    }
    const std::uint8_t* p = bytes.data() + offset;
    if (p[0] != 'P' || p[1] != 'E' || p[2] != 0 || p[3] != 0) {
        return ERROR_BAD_EXE_FORMAT;
    }
    const WORD found = static_cast<WORD>(p[4] | (p[5] << 8));
    return found == machine ? 0 : ERROR_EXE_MACHINE_TYPE_MISMATCH;
}

TEST_F(FilterDllTest, MalformedHeadersFromASeededMutationLoopNeverCrash)
{
    const std::wstring path = LayoutFolder(FilterArch::X64) + L"\\fuzz.dll";
    std::mt19937 random(7331u);
    int valid = 0;
    for (int round = 0; round < 3000; ++round) {
        std::vector<std::uint8_t> bytes =
            MakePeImage(round % 2 == 0 ? IMAGE_FILE_MACHINE_AMD64 : IMAGE_FILE_MACHINE_I386);
        const int edits = static_cast<int>(random() % 4);
        for (int e = 0; e < edits; ++e) {
            switch (random() % 4) {
            case 0: bytes[random() % 0xA0] = static_cast<std::uint8_t>(random()); break;
            case 1: bytes[60 + random() % 4] = static_cast<std::uint8_t>(random()); break;
            case 2: bytes.resize(random() % (bytes.size() + 1)); break;
            default: bytes[0x80 + random() % 8] ^= static_cast<std::uint8_t>(1u << (random() % 8)); break;
            }
            if (bytes.empty()) {
                break;
            }
        }
        ASSERT_TRUE(WriteFileBytes(path, bytes));
        const DWORD verdict = ValidateFilterDll(path, FilterArch::X64);
        ASSERT_EQ(verdict, ExpectedVerdict(bytes, IMAGE_FILE_MACHINE_AMD64)) << "round " << round;
        valid += verdict == 0 ? 1 : 0;
    }
    EXPECT_GT(valid, 300);
}

}  // namespace
}  // namespace vyx::service
