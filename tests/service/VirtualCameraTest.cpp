// The service's Windows 11 virtual cameras, through a seam: Wine has no MFCreateVirtualCamera
// (nor a frame server), so the helper's test build answers with a stand-in that keeps the
// cameras as Windows 11 does, system-wide and beyond the helper's process, while the
// stand-in's key exists, and is Windows 10 (no such function) while it does not. The
// passes, the registrations and the helper runs are the real ones.
#include "CameraModelTable.h"
#include "EventRecorder.h"
#include "FilterDllPath.h"
#include "Installer.h"
#include "MemoryPeSource.h"
#include "ReconcilePass.h"
#include "RegistrationState.h"
#include "RegistryFixture.h"
#include "ServiceEvents.h"
#include "StandIn.h"
#include "TestLayout.h"
#include "VirtualCameraStandIn.h"
#include "VirtualCameraCommand.h"

#include <SimulatedBus.h>
#include <gtest/gtest.h>

#include <map>

namespace vyx::service {
namespace {

using test::Describe;
using test::EventRecorder;

using test::PlayWindows11;
using test::StandInCameras;

std::wstring SystemCamera(const CameraModel& row)
{
    return std::wstring(row.friendlyName) + L";lifetime=1;access=1";
}

class VirtualCameraTest : public test::CleanSlateTest {
protected:
    void SetUp() override
    {
        test::CleanSlateTest::SetUp();
        ASSERT_TRUE(PlayWindows11(true));
        if (!test::LayOutHelperTestBuild()) {
            GTEST_SKIP() << "the helper's test build is built in the x64 tree, which this build root lacks";
        }
    }
    void TearDown() override
    {
        PlayWindows11(false);
        test::CleanSlateTest::TearDown();
    }

    static void LayOut(const CameraModel& row)
    {
        for (FilterArch arch : {FilterArch::X86, FilterArch::X64}) {
            std::wstring path;
            ASSERT_TRUE(BuildDllPath(row, arch, path));
            ASSERT_TRUE(test::WriteFileBytes(path, test::MinimalPeImage(ArchMachine(arch))));
        }
    }

    ServiceSignals m_signals;
};

TEST_F(VirtualCameraTest, AModelsCameraIsThereExactlyWhileItIsPluggedThroughAStandInAsOnWindows11)
{
    const CameraModel& row = CameraModelTable::Row(3);
    const CameraModel& other = CameraModelTable::Row(6);
    LayOut(row);
    LayOut(other);
    test::StandIn regsvr32(L"register");
    ReconcilePass pass(m_signals);
    ASSERT_TRUE(pass.Run());
    EXPECT_TRUE(StandInCameras().empty());

    ASSERT_EQ(vyx::sim::bus::Plug(row.displayName, L"S1"), ERROR_SUCCESS);
    EventRecorder events;
    ASSERT_TRUE(pass.Run());
    using Cameras = std::map<std::wstring, std::wstring>;
    EXPECT_EQ(StandInCameras(), (Cameras{{row.mediaSourceClsid, SystemCamera(row)}}));
    const auto added = events.WithId(kEventActionSucceeded);
    ASSERT_EQ(added.size(), 3u) << Describe(events.Events());
    EXPECT_EQ(added[2].line, L"action=add-virtual-camera model=" + std::wstring(row.displayName) + L" name=\"" +
                                 row.friendlyName + L"\" source=" + row.mediaSourceClsid);

    // A second camera of the model, a second model, and passes with nothing to do.
    ASSERT_EQ(vyx::sim::bus::Plug(row.displayName, L"S2"), ERROR_SUCCESS);
    ASSERT_EQ(vyx::sim::bus::Plug(other.displayName), ERROR_SUCCESS);
    ASSERT_TRUE(pass.Run());
    ASSERT_TRUE(pass.Run());
    EXPECT_EQ(StandInCameras(),
              (Cameras{{row.mediaSourceClsid, SystemCamera(row)}, {other.mediaSourceClsid, SystemCamera(other)}}));
    EXPECT_EQ(events.WithId(kEventActionSucceeded).size(), 6u) << Describe(events.Events());

    // One of two cameras unplugged keeps it; the last one takes it away.
    ASSERT_EQ(vyx::sim::bus::Unplug(row.displayName, L"S1"), ERROR_SUCCESS);
    ASSERT_TRUE(pass.Run());
    EXPECT_EQ(StandInCameras().count(row.mediaSourceClsid), 1u);
    ASSERT_EQ(vyx::sim::bus::Unplug(row.displayName, L"S2"), ERROR_SUCCESS);
    ASSERT_TRUE(pass.Run());
    EXPECT_EQ(StandInCameras(), (Cameras{{other.mediaSourceClsid, SystemCamera(other)}}));
    const auto last = events.WithId(kEventActionSucceeded).back();
    EXPECT_EQ(last.line, L"action=remove-virtual-camera model=" + std::wstring(row.displayName) + L" name=\"" +
                             row.friendlyName + L"\" source=" + row.mediaSourceClsid);

    // A camera outlives the service's run, as Windows keeps it: the next run's first pass
    // starts it again, and a run that finds the model unplugged removes it with its filters.
    ReconcilePass nextRun(m_signals);
    ASSERT_TRUE(nextRun.Run());
    EXPECT_EQ(StandInCameras().size(), 1u);
    ASSERT_EQ(vyx::sim::bus::Unplug(other.displayName), ERROR_SUCCESS);
    ReconcilePass unpluggedRun(m_signals);
    ASSERT_TRUE(unpluggedRun.Run());
    EXPECT_TRUE(StandInCameras().empty()) << Describe(events.Events());
}

TEST_F(VirtualCameraTest, UninstallRemovesThePluggedModelsCameraThroughAStandInAsOnWindows11)
{
    const CameraModel& row = CameraModelTable::Row(3);
    LayOut(row);
    test::StandIn regsvr32(L"register");
    ASSERT_EQ(vyx::sim::bus::Plug(row.displayName), ERROR_SUCCESS);
    ReconcilePass pass(m_signals);
    ASSERT_TRUE(pass.Run());
    ASSERT_EQ(StandInCameras().size(), 1u);

    EventRecorder events;
    EXPECT_EQ(UnregisterAllModels(), static_cast<DWORD>(ERROR_SUCCESS));
    EXPECT_TRUE(StandInCameras().empty()) << Describe(events.Events());
    EXPECT_TRUE(test::HasNoFilterKeys(3, FilterArch::X64));
}

// Windows 10 (and Wine): the helper finds no MFCreateVirtualCamera. One line says so, the
// filters are registered as before, and the pass asks no more of the helper.
TEST_F(VirtualCameraTest, WithoutMFCreateVirtualCameraOneLineAndDirectShowAloneThroughAStandInAsOnWindows10)
{
    ASSERT_TRUE(PlayWindows11(false));
    const CameraModel& first = CameraModelTable::Row(3);
    const CameraModel& second = CameraModelTable::Row(6);
    LayOut(first);
    LayOut(second);
    test::StandIn regsvr32(L"register");
    ASSERT_EQ(vyx::sim::bus::Plug(first.displayName), ERROR_SUCCESS);
    EventRecorder events;
    ReconcilePass pass(m_signals);
    ASSERT_TRUE(pass.Run());
    ASSERT_EQ(vyx::sim::bus::Plug(second.displayName), ERROR_SUCCESS);
    ASSERT_TRUE(pass.Run());
    ASSERT_EQ(vyx::sim::bus::Unplug(first.displayName), ERROR_SUCCESS);
    ASSERT_TRUE(pass.Run());

    const auto unavailable = events.WithId(kEventVirtualCamerasUnavailable);
    ASSERT_EQ(unavailable.size(), 1u) << Describe(events.Events());
    EXPECT_EQ(unavailable[0].type, EVENTLOG_INFORMATION_TYPE);
    EXPECT_EQ(unavailable[0].line,
              L"virtual cameras unavailable: this Windows has no MFCreateVirtualCamera (Windows 11 needed); Media "
              L"Foundation applications do not see the cameras, DirectShow applications do. model=" +
                  std::wstring(first.displayName));
    EXPECT_TRUE(events.WithId(kEventActionFailed).empty()) << Describe(events.Events());
    EXPECT_EQ(regsvr32.CommandLines().size(), 6u);
    EXPECT_TRUE(QueryRegistrationState(second, FilterArch::X64, L"").present);
}

// The helper itself: what it refuses before asking Windows anything.
TEST(VirtualCameraCommandTest, OnlyAnAddOrRemoveOfABracedClassAndANameIsRun)
{
    const wchar_t* ok[] = {L"VYXVirtualCamera.exe", L"add", L"{0B1C2D3E-4F50-6172-8394-A5B6C7D8E9F0}", L"Cam"};
    EXPECT_EQ(vcam::RunVirtualCameraCommand(4, ok, nullptr), static_cast<DWORD>(ERROR_PROC_NOT_FOUND));
    const wchar_t* wrongVerb[] = {L"x", L"start", ok[2], ok[3]};
    const wchar_t* bareClass[] = {L"x", L"add", L"0B1C2D3E-4F50-6172-8394-A5B6C7D8E9F0", ok[3]};
    const wchar_t* noName[] = {L"x", L"remove", ok[2], L""};
    for (const wchar_t* const* argv : {wrongVerb, bareClass, noName}) {
        EXPECT_EQ(vcam::RunVirtualCameraCommand(4, argv, nullptr), static_cast<DWORD>(ERROR_BAD_ARGUMENTS));
    }
    EXPECT_EQ(vcam::RunVirtualCameraCommand(3, ok, nullptr), static_cast<DWORD>(ERROR_BAD_ARGUMENTS));
}

}  // namespace
}  // namespace vyx::service
