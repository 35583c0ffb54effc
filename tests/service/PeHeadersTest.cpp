// The PE header rule on bytes in memory and on a real open file: every way a header can be
// cut short or wrong, and the machine check.
#include "MemoryPeSource.h"
#include "PeHeaders.h"
#include "UniqueResource.h"

#include <gtest/gtest.h>

#include <cstring>

namespace vyx::service {
namespace {

using test::MemoryPeSource;
using test::MinimalPeImage;

DWORD Validate(const std::vector<std::uint8_t>& bytes, WORD machine)
{
    MemoryPeSource source(bytes);
    return ValidatePeHeaders(source, machine);
}

void PutLong(std::vector<std::uint8_t>& bytes, std::size_t at, LONG value) { std::memcpy(&bytes[at], &value, 4); }

TEST(PeHeadersTest, OnlyAWholeHeaderOfTheRightMachineIsValid)
{
    const std::vector<std::uint8_t> x86 = MinimalPeImage(IMAGE_FILE_MACHINE_I386);
    EXPECT_EQ(Validate(x86, IMAGE_FILE_MACHINE_I386), 0u);
    EXPECT_EQ(Validate(x86, IMAGE_FILE_MACHINE_AMD64), static_cast<DWORD>(ERROR_EXE_MACHINE_TYPE_MISMATCH));
    EXPECT_EQ(Validate(MinimalPeImage(IMAGE_FILE_MACHINE_AMD64), IMAGE_FILE_MACHINE_AMD64), 0u);

    // Cut anywhere inside the headers: not a PE image. The headers end at 0x80 + 24.
    for (std::size_t size : {0u, 1u, 2u, 63u, 64u, 0x80u, 0x83u, 0x84u, 0x97u}) {
        const std::vector<std::uint8_t> cut(x86.begin(), x86.begin() + size);
        EXPECT_EQ(Validate(cut, IMAGE_FILE_MACHINE_I386), static_cast<DWORD>(ERROR_BAD_EXE_FORMAT)) << size;
    }
    const std::vector<std::uint8_t> exact(x86.begin(), x86.begin() + 0x98);
    EXPECT_EQ(Validate(exact, IMAGE_FILE_MACHINE_I386), 0u);

    struct Damage {
        std::size_t at;
        std::uint8_t value;
    };
    for (const Damage& d : {Damage{0, 'z'}, Damage{1, 'z'}, Damage{0x80, 'p'}, Damage{0x82, 1}, Damage{0x83, 1}}) {
        std::vector<std::uint8_t> bad = x86;
        bad[d.at] = d.value;
        EXPECT_EQ(Validate(bad, IMAGE_FILE_MACHINE_I386), static_cast<DWORD>(ERROR_BAD_EXE_FORMAT)) << d.at;
    }
}

TEST(PeHeadersTest, TheHeaderOffsetIsTakenOnlyWhenItPointsForward)
{
    std::vector<std::uint8_t> image = MinimalPeImage(IMAGE_FILE_MACHINE_I386);
    for (LONG offset : {0L, -1L, static_cast<LONG>(0x80000000)}) {
        PutLong(image, 60, offset);
        EXPECT_EQ(Validate(image, IMAGE_FILE_MACHINE_I386), static_cast<DWORD>(ERROR_BAD_EXE_FORMAT)) << offset;
    }
    // Far past the end of the file: the seek succeeds, nothing is there.
    PutLong(image, 60, 0x7FFFFFF0);
    EXPECT_EQ(Validate(image, IMAGE_FILE_MACHINE_I386), static_cast<DWORD>(ERROR_BAD_EXE_FORMAT));
    // The PE header may start inside the DOS header's own bytes, as packed images do.
    std::vector<std::uint8_t> packed(64 + 24, 0);
    packed[0] = 'M';
    packed[1] = 'Z';
    PutLong(packed, 60, 4);
    const DWORD signature = IMAGE_NT_SIGNATURE;
    std::memcpy(&packed[4], &signature, 4);
    const WORD machine = IMAGE_FILE_MACHINE_AMD64;
    std::memcpy(&packed[8], &machine, 2);
    EXPECT_EQ(Validate(packed, IMAGE_FILE_MACHINE_AMD64), 0u);
}

TEST(PeHeadersTest, AnOpenFileIsReadTheSameWay)
{
    wchar_t folder[MAX_PATH] = {};
    wchar_t path[MAX_PATH] = {};
    ASSERT_NE(::GetTempPathW(MAX_PATH, folder), 0u);
    ASSERT_NE(::GetTempFileNameW(folder, L"vpe", 0, path), 0u);
    const std::vector<std::uint8_t> image = MinimalPeImage(IMAGE_FILE_MACHINE_AMD64);
    {
        win::UniqueFile file(::CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
        ASSERT_TRUE(file);
        DWORD written = 0;
        ASSERT_TRUE(::WriteFile(file.Get(), image.data(), static_cast<DWORD>(image.size()), &written, nullptr));
    }
    {
        win::UniqueFile file(::CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(file);
        FilePeSource source(file.Get());
        EXPECT_EQ(ValidatePeHeaders(source, IMAGE_FILE_MACHINE_AMD64), 0u);
        FilePeSource again(file.Get());
        ASSERT_EQ(again.Seek(0), 0u);
        EXPECT_EQ(ValidatePeHeaders(again, IMAGE_FILE_MACHINE_I386), static_cast<DWORD>(ERROR_EXE_MACHINE_TYPE_MISMATCH));
    }
    ::DeleteFileW(path);
}

}  // namespace
}  // namespace vyx::service
