// Registration state read from hand-written keys in both registry views, and the direct
// deletion the unregistering fallback uses.
#include "CameraModelTable.h"
#include "FilterDllPath.h"
#include "RegistrationCache.h"
#include "RegistrationState.h"
#include "RegistryFixture.h"
#include "TestLayout.h"
#include "UniqueResource.h"

#include <gtest/gtest.h>

namespace vyx::service {
namespace {

using test::HandRegistration;
using test::KeyExists;
using test::RemoveAllRegistrations;
using test::SetString;
using test::WriteRegistration;

class RegistrationStateTest : public ::testing::Test {
protected:
    void SetUp() override { RemoveAllRegistrations(); }
    void TearDown() override { RemoveAllRegistrations(); }

    const CameraModel& m_row = CameraModelTable::Row(2);
};

std::wstring Expected(const CameraModel& row, FilterArch arch)
{
    std::wstring path;
    EXPECT_TRUE(BuildDllPath(row, arch, path));
    return path;
}

std::wstring Lower(std::wstring text)
{
    for (wchar_t& c : text) {
        c = static_cast<wchar_t>(towlower(c));
    }
    return text;
}

TEST_F(RegistrationStateTest, StateFollowsTheKeysOfEachViewSeparately)
{
    for (FilterArch arch : {FilterArch::X86, FilterArch::X64}) {
        SCOPED_TRACE(static_cast<int>(arch));
        const FilterArch other = arch == FilterArch::X86 ? FilterArch::X64 : FilterArch::X86;
        const std::wstring expected = Expected(m_row, arch);
        struct Case {
            HandRegistration keys;
            bool present;
            bool correct;
        };
        HandRegistration full;
        full.serverPath = expected;
        HandRegistration upperCase = full;
        upperCase.serverPath = Lower(expected);
        HandRegistration otherSpelling = full;
        otherSpelling.serverPath = test::ExecutableDirectory() + L"\\.\\" + ArchFolder(arch) + L"\\" + m_row.dllFileName;
        HandRegistration expandable = full;
        // Expands to the expected path, but the registry holds it unexpanded.
        ::SetEnvironmentVariableW(L"VYX_TEST_HOME", test::ExecutableDirectory().c_str());
        expandable.serverPath = L"%VYX_TEST_HOME%\\" + std::wstring(ArchFolder(arch)) + L"\\" + m_row.dllFileName;
        expandable.serverType = REG_EXPAND_SZ;
        HandRegistration expandSame = full;
        expandSame.serverType = REG_EXPAND_SZ;
        HandRegistration instanceOnly = full;
        instanceOnly.classKey = false;
        HandRegistration classOnly = full;
        classOnly.instanceKey = false;
        HandRegistration staleClsid = full;
        staleClsid.instanceClsid = CameraModelTable::Row(3).filterClsid;
        HandRegistration lowerClsid = full;
        lowerClsid.instanceClsid = Lower(m_row.filterClsid);
        HandRegistration emptyPath = full;
        emptyPath.serverPath = L"";

        const Case cases[] = {
            {full, true, true},           {upperCase, true, true},      {otherSpelling, true, false},
            {expandable, true, false},    {expandSame, true, true},     {instanceOnly, true, false},
            {classOnly, true, false},     {staleClsid, true, false},    {lowerClsid, true, true},
            {emptyPath, true, false},
        };
        for (std::size_t i = 0; i < std::size(cases); ++i) {
            SCOPED_TRACE(i);
            test::RemoveRegistration(m_row, arch);
            const ArchRegistrationState none = QueryRegistrationState(m_row, arch, expected);
            EXPECT_FALSE(none.present);
            EXPECT_FALSE(none.correct);
            WriteRegistration(m_row, arch, cases[i].keys);
            const ArchRegistrationState state = QueryRegistrationState(m_row, arch, expected);
            EXPECT_EQ(state.present, cases[i].present);
            EXPECT_EQ(state.correct, cases[i].correct);
            EXPECT_FALSE(QueryRegistrationState(m_row, other, Expected(m_row, other)).present);
            // A path that could not be built never makes a registration correct.
            EXPECT_FALSE(QueryRegistrationState(m_row, arch, L"").correct);
        }
        test::RemoveRegistration(m_row, arch);
    }

    // A server path that is not a string is not a path.
    HandRegistration full;
    full.serverPath = Expected(m_row, FilterArch::X64);
    WriteRegistration(m_row, FilterArch::X64, full);
    {
        win::UniqueRegKey key;
        ASSERT_EQ(::RegOpenKeyExW(HKEY_LOCAL_MACHINE, (test::ClassKeyPath(m_row) + L"\\InprocServer32").c_str(), 0,
                                  KEY_SET_VALUE | KEY_WOW64_64KEY, key.Put()),
                  ERROR_SUCCESS);
        const DWORD number = 1;
        ::RegSetValueExW(key.Get(), nullptr, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), sizeof(number));
    }
    const ArchRegistrationState state = QueryRegistrationState(m_row, FilterArch::X64, full.serverPath);
    EXPECT_TRUE(state.present);
    EXPECT_FALSE(state.correct);
}

TEST_F(RegistrationStateTest, StringsAreReadAsStoredWithoutExpansion)
{
    const std::wstring key = L"SOFTWARE\\VyxServiceTest";
    SetString(key, FilterArch::X86, L"plain", L"value one");
    SetString(key, FilterArch::X86, L"expand", L"%SystemRoot%\\x", REG_EXPAND_SZ);
    SetString(key, FilterArch::X86, L"multi", L"a", REG_MULTI_SZ);
    {
        win::UniqueRegKey handle;
        ASSERT_EQ(::RegOpenKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_SET_VALUE | KEY_WOW64_32KEY, handle.Put()),
                  ERROR_SUCCESS);
        // Stored without a terminating NUL, and stored empty.
        ::RegSetValueExW(handle.Get(), L"unterminated", 0, REG_SZ, reinterpret_cast<const BYTE*>(L"abc"), 6);
        ::RegSetValueExW(handle.Get(), L"empty", 0, REG_SZ, nullptr, 0);
    }

    std::wstring value;
    ASSERT_TRUE(ReadRegistryString(key, FilterArch::X86, L"plain", value));
    EXPECT_EQ(value, L"value one");
    ASSERT_TRUE(ReadRegistryString(key, FilterArch::X86, L"expand", value));
    EXPECT_EQ(value, L"%SystemRoot%\\x");
    ASSERT_TRUE(ReadRegistryString(key, FilterArch::X86, L"unterminated", value));
    EXPECT_EQ(value, L"abc");
    EXPECT_FALSE(ReadRegistryString(key, FilterArch::X86, L"empty", value));
    EXPECT_FALSE(ReadRegistryString(key, FilterArch::X86, L"multi", value));
    EXPECT_FALSE(ReadRegistryString(key, FilterArch::X86, L"absent", value));
    EXPECT_FALSE(ReadRegistryString(key, FilterArch::X64, L"plain", value));
    EXPECT_FALSE(ReadRegistryString(key + L"\\none", FilterArch::X86, nullptr, value));

    test::DeleteKeyTree(key, FilterArch::X86);
    test::DeleteKeyTree(key, FilterArch::X64);
}

TEST_F(RegistrationStateTest, DeletionRemovesOnlyTheFilterKeysOfOneView)
{
    HandRegistration full;
    full.serverPath = Expected(m_row, FilterArch::X86);
    WriteRegistration(m_row, FilterArch::X86, full);
    full.serverPath = Expected(m_row, FilterArch::X64);
    WriteRegistration(m_row, FilterArch::X64, full);
    // A property page class of the same library stays.
    const std::wstring pageKey = L"SOFTWARE\\Classes\\CLSID\\{7207EBBD-269C-4B24-A00A-ADABCF85ED3F}";
    SetString(pageKey, FilterArch::X86, nullptr, L"Image Parameters");

    EXPECT_EQ(DeleteFilterRegistration(m_row, FilterArch::X86), 0u);
    EXPECT_FALSE(KeyExists(test::ClassKeyPath(m_row), FilterArch::X86));
    EXPECT_FALSE(KeyExists(test::InstanceKeyPath(m_row), FilterArch::X86));
    EXPECT_TRUE(KeyExists(pageKey, FilterArch::X86));
    EXPECT_TRUE(QueryRegistrationState(m_row, FilterArch::X64, Expected(m_row, FilterArch::X64)).correct);
    // Nothing left to delete is no failure.
    EXPECT_EQ(DeleteFilterRegistration(m_row, FilterArch::X86), 0u);
    EXPECT_EQ(DeleteFilterRegistration(m_row, FilterArch::X64), 0u);
    EXPECT_FALSE(QueryRegistrationState(m_row, FilterArch::X64, Expected(m_row, FilterArch::X64)).present);

    test::DeleteKeyTree(pageKey, FilterArch::X86);
}

// The cache reads the x64 view only on 64-bit Windows, and a partial read changes only
// the side it names.
TEST_F(RegistrationStateTest, TheCacheReadsTheViewsOfItsWindowsAndOnlyTheSideAsked)
{
    HandRegistration full;
    full.serverPath = Expected(m_row, FilterArch::X64);
    WriteRegistration(m_row, FilterArch::X64, full);
    RegistrationCache on64(true);
    RegistrationCache on32(false);
    EXPECT_FALSE(on64.Filled());
    on64.ReadAll();
    on32.ReadAll();
    EXPECT_TRUE(on64.Filled());
    EXPECT_FALSE(on64.State(2).x86.present);
    EXPECT_TRUE(on64.State(2).x64.correct);
    EXPECT_FALSE(on32.State(2).x64.present);

    full.serverPath = Expected(m_row, FilterArch::X86);
    WriteRegistration(m_row, FilterArch::X86, full);
    test::RemoveRegistration(m_row, FilterArch::X64);
    on64.Read(2, FilterArch::X86);
    EXPECT_TRUE(on64.State(2).x86.correct);
    EXPECT_TRUE(on64.State(2).x64.correct);
    on64.Read(2, FilterArch::X64);
    EXPECT_FALSE(on64.State(2).x64.present);
}

}  // namespace
}  // namespace vyx::service
