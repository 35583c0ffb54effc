// The registrar against real filter builds laid out beside this program, the real regsvr32
// programs of both architectures and the real registry.
#include "CameraModelTable.h"
#include "EventRecorder.h"
#include "HostArchitecture.h"
#include "FilterDllPath.h"
#include "PathText.h"
#include "Processes.h"
#include "RegistrationAction.h"
#include "RegistrationState.h"
#include "SystemFacts.h"
#include "RegistryFixture.h"
#include "TestLayout.h"
#include "UniqueResource.h"
#include "VideoDevices.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace vyx::service {
namespace {

using test::Describe;
using test::EventRecorder;
using test::HasFilterLayout;
using test::HasNoFilterKeys;

constexpr std::size_t kRow = 0;
constexpr std::size_t kOtherRow = 1;

class RegistrarBuildTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        test::ResetLayout();
        for (FilterArch arch : {FilterArch::X86, FilterArch::X64}) {
            for (const wchar_t* file : {L"VyxonCamera.dll", CameraModelTable::Row(kRow).dllFileName,
                                        CameraModelTable::Row(kOtherRow).dllFileName}) {
                s_haveBuilds = test::CopyFromDist(arch, file) && s_haveBuilds;
            }
        }
    }

    void SetUp() override
    {
        ASSERT_TRUE(s_haveBuilds) << "the filter builds are missing from the installed layout (VYX_DIST)";
        test::RemoveAllRegistrations();
        ASSERT_TRUE(BuildDllPath(m_row, FilterArch::X86, m_x86Path));
        ASSERT_TRUE(BuildDllPath(m_row, FilterArch::X64, m_x64Path));
    }
    void TearDown() override { test::RemoveAllRegistrations(); }

    // Registers through the system's regsvr32 directly, as an installer would.
    static int Regsvr32(FilterArch arch, const std::wstring& path, bool unregister = false)
    {
        std::wstring program;
        EXPECT_TRUE(GetRegsvr32Path(arch, program));
        return static_cast<int>(
            vyx::test::RunProcess(L"\"" + program + L"\" /s " + (unregister ? L"/u " : L"") + L"\"" + path + L"\"")
                .exitCode);
    }

    const std::wstring& PathOf(FilterArch arch) const { return arch == FilterArch::X86 ? m_x86Path : m_x64Path; }

    static bool s_haveBuilds;
    const CameraModel& m_row = CameraModelTable::Row(kRow);
    std::wstring m_x86Path;
    std::wstring m_x64Path;
};

bool RegistrarBuildTest::s_haveBuilds = true;

bool Lists(const std::vector<std::wstring>& names, const wchar_t* name)
{
    return std::find(names.begin(), names.end(), name) != names.end();
}

// One architecture's build at a time, named in the test's name: the x86 build needs the
// 32-bit regsvr32, which some hosts cannot run; from the x86 tree the x64 one is reached
// through Sysnative.
class RegistrarArchBuildTest : public RegistrarBuildTest, public ::testing::WithParamInterface<FilterArch> {
protected:
    void SetUp() override
    {
        if (!test::HostRuns(GetParam())) {
            GTEST_SKIP() << "this host cannot run the 32-bit regsvr32";
        }
        RegistrarBuildTest::SetUp();
    }
};

TEST_P(RegistrarArchBuildTest, RegisteringAndUnregisteringIsVerifiedAndSeenByApplications)
{
    const FilterArch arch = GetParam();
    const FilterArch other = arch == FilterArch::X86 ? FilterArch::X64 : FilterArch::X86;
    EventRecorder events;
    ASSERT_TRUE(RunRegistrationAction(m_row, arch, true, nullptr)) << Describe(events.Events());
    EXPECT_TRUE(HasFilterLayout(kRow, arch, PathOf(arch)));
    EXPECT_TRUE(QueryRegistrationState(m_row, arch, PathOf(arch)).correct);
    EXPECT_TRUE(HasNoFilterKeys(kRow, other));
    EXPECT_TRUE(HasNoFilterKeys(kOtherRow, arch));
    bool listed = false;
    EXPECT_TRUE(Lists(test::ListVideoInputDevices(arch, listed), catalogue::kModels[kRow].friendlyName));
    EXPECT_TRUE(listed);

    ASSERT_TRUE(RunRegistrationAction(m_row, arch, false, nullptr)) << Describe(events.Events());
    EXPECT_TRUE(HasNoFilterKeys(kRow, arch));
    EXPECT_FALSE(Lists(test::ListVideoInputDevices(arch, listed), catalogue::kModels[kRow].friendlyName));

    const std::wstring model = m_row.displayName;
    const auto lines = events.Events();
    ASSERT_EQ(lines.size(), 2u) << Describe(lines);
    const wchar_t* expected[] = {L"register", L"unregister"};
    for (std::size_t i = 0; i < 2; ++i) {
        EXPECT_EQ(lines[i].type, EVENTLOG_INFORMATION_TYPE);
        EXPECT_EQ(lines[i].id, 1300u);
        EXPECT_EQ(lines[i].line, std::wstring(L"action=") + expected[i] + L" model=" + model + L" arch=" +
                                     ArchText(arch) + L" path=" + PathOf(arch) + L" attempt=1");
    }
}

TEST_P(RegistrarArchBuildTest, StateIsCorrectOnlyForTheExpectedPathAndTheWholeLayout)
{
    const FilterArch arch = GetParam();
    const std::wstring& path = PathOf(arch);
    ASSERT_EQ(Regsvr32(arch, path), 0);
    EXPECT_TRUE(QueryRegistrationState(m_row, arch, path).correct);

    // The same path in other letter case is the same file.
    std::wstring lower = path;
    std::transform(lower.begin(), lower.end(), lower.begin(), [](wchar_t c) { return towlower(c); });
    ASSERT_EQ(Regsvr32(arch, lower), 0);
    EXPECT_TRUE(QueryRegistrationState(m_row, arch, path).correct);

    // Another spelling of the same file is not the expected path; registering again
    // through the registrar rewrites it.
    const std::wstring other = ParentDirectory(path) + L"\\.\\..\\" + ArchFolder(arch) + L"\\" + m_row.dllFileName;
    wchar_t shortPath[MAX_PATH] = {};
    const DWORD shortLength = ::GetShortPathNameW(path.c_str(), shortPath, MAX_PATH);
    const std::wstring spelling = shortLength > 0 && shortLength < MAX_PATH && path != shortPath ? shortPath : other;
    test::SetString(test::ClassKeyPath(m_row) + L"\\InprocServer32", arch, nullptr, spelling);
    const ArchRegistrationState state = QueryRegistrationState(m_row, arch, path);
    EXPECT_TRUE(state.present);
    EXPECT_FALSE(state.correct);
    EXPECT_TRUE(RunRegistrationAction(m_row, arch, true, nullptr));
    EXPECT_TRUE(HasFilterLayout(kRow, arch, path));

    // Only the category entry left over: present, not correct.
    ASSERT_EQ(Regsvr32(arch, path, true), 0);
    EXPECT_FALSE(QueryRegistrationState(m_row, arch, path).present);
    test::HandRegistration leftover;
    leftover.classKey = false;
    test::WriteRegistration(m_row, arch, leftover);
    const ArchRegistrationState partial = QueryRegistrationState(m_row, arch, path);
    EXPECT_TRUE(partial.present);
    EXPECT_FALSE(partial.correct);
}

INSTANTIATE_TEST_SUITE_P(, RegistrarArchBuildTest, ::testing::Values(FilterArch::X86, FilterArch::X64),
                         [](const ::testing::TestParamInfo<FilterArch>& info) {
                             return info.param == FilterArch::X86 ? "X86Build" : "X64Build";
                         });

TEST_F(RegistrarBuildTest, UnregisteringADeletedLibraryFallsBackToDeletingTheKeys)
{
    ASSERT_EQ(Regsvr32(FilterArch::X64, m_x64Path), 0);
    ASSERT_TRUE(QueryRegistrationState(m_row, FilterArch::X64, m_x64Path).correct);
    ASSERT_TRUE(::DeleteFileW(m_x64Path.c_str()));

    EventRecorder events;
    EXPECT_TRUE(RunRegistrationAction(m_row, FilterArch::X64, false, nullptr));
    const auto lines = events.Events();
    ASSERT_EQ(lines.size(), 1u) << Describe(lines);
    EXPECT_EQ(lines[0].type, EVENTLOG_WARNING_TYPE);
    EXPECT_EQ(lines[0].id, 1300u);
    EXPECT_EQ(lines[0].line, L"action=unregister-fallback model=" + std::wstring(m_row.displayName) +
                                 L" arch=x64 path=" + m_x64Path);
    EXPECT_TRUE(HasNoFilterKeys(kRow, FilterArch::X64));
    // Restore the build and let it remove what else it registered (it reports the category
    // entry it no longer finds as a failure).
    ASSERT_TRUE(test::CopyFromDist(FilterArch::X64, m_row.dllFileName));
    Regsvr32(FilterArch::X64, m_x64Path, true);
}

TEST_F(RegistrarBuildTest, RegisteringRefusesTheWrongMachineAndBrokenFiles)
{
    EventRecorder events;
    // A 32-bit build in DX_x64, a truncated build and a text file.
    ASSERT_TRUE(::CopyFileW(m_x86Path.c_str(), m_x64Path.c_str(), FALSE));
    EXPECT_FALSE(RunRegistrationAction(m_row, FilterArch::X64, true, nullptr));
    std::vector<std::uint8_t> head(100, 0);
    {
        win::UniqueFile file(::CreateFileW(m_x86Path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                                      nullptr));
        DWORD read = 0;
        ASSERT_TRUE(::ReadFile(file.Get(), head.data(), 100, &read, nullptr));
    }
    ASSERT_TRUE(test::WriteFileBytes(m_x64Path, head));
    EXPECT_FALSE(RunRegistrationAction(m_row, FilterArch::X64, true, nullptr));
    ASSERT_TRUE(test::WriteFileBytes(m_x64Path, {'n', 'o', 't', ' ', 'a', ' ', 'D', 'L', 'L'}));
    EXPECT_FALSE(RunRegistrationAction(m_row, FilterArch::X64, true, nullptr));
    EXPECT_TRUE(HasNoFilterKeys(kRow, FilterArch::X64));

    const std::wstring prefix = L"register model=" + std::wstring(m_row.displayName) +
                                L" arch=x64 DLL validation failed. path=" + m_x64Path + L" error=";
    const auto lines = events.Events();
    ASSERT_EQ(lines.size(), 3u) << Describe(lines);
    EXPECT_EQ(lines[0].line, prefix + L"216");
    EXPECT_EQ(lines[1].line, prefix + L"193");
    EXPECT_EQ(lines[2].line, prefix + L"193");
    ASSERT_TRUE(test::CopyFromDist(FilterArch::X64, m_row.dllFileName));
}

}  // namespace
}  // namespace vyx::service
