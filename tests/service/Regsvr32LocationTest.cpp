// Which regsvr32 the service starts for each architecture, and the error it gives when the
// Windows directory cannot be had: never 0 for a failure.
#include "Regsvr32Location.h"

#include <gtest/gtest.h>

namespace vyx::service {
namespace {

TEST(Regsvr32LocationTest, EachArchitectureGetsItsOwnProgram)
{
    EXPECT_EQ(Regsvr32PathUnder(L"C:\\Windows", FilterArch::X86, true, true), L"C:\\Windows\\SysWOW64\\regsvr32.exe");
    EXPECT_EQ(Regsvr32PathUnder(L"C:\\Windows", FilterArch::X86, false, false), L"C:\\Windows\\System32\\regsvr32.exe");
    EXPECT_EQ(Regsvr32PathUnder(L"C:\\Windows\\", FilterArch::X64, true, true),
              L"C:\\Windows\\Sysnative\\regsvr32.exe");
    EXPECT_EQ(Regsvr32PathUnder(L"D:\\W", FilterArch::X64, true, false), L"D:\\W\\System32\\regsvr32.exe");
}

TEST(Regsvr32LocationTest, AnUnusableWindowsDirectoryGivesItsRealReason)
{
    EXPECT_EQ(WindowsDirectoryError(10, MAX_PATH, ERROR_ACCESS_DENIED), 0u);
    EXPECT_EQ(WindowsDirectoryError(MAX_PATH - 1, MAX_PATH, 0), 0u);
    // Longer than the buffer: the call succeeds with the length it needs and sets no error.
    EXPECT_EQ(WindowsDirectoryError(MAX_PATH, MAX_PATH, 0), static_cast<DWORD>(ERROR_FILENAME_EXCED_RANGE));
    EXPECT_EQ(WindowsDirectoryError(32768, MAX_PATH, ERROR_SUCCESS), static_cast<DWORD>(ERROR_FILENAME_EXCED_RANGE));
    EXPECT_EQ(WindowsDirectoryError(0, MAX_PATH, ERROR_ACCESS_DENIED), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_EQ(WindowsDirectoryError(0, MAX_PATH, ERROR_SUCCESS), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
}

}  // namespace
}  // namespace vyx::service
