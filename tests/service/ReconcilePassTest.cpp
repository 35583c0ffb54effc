// Reconcile passes against the simulated bus and the real registry, with the stand-in
// registration program: what a pass acts on and reports, what a stop leaves out, and that
// a registration changed behind the service's back is repaired at the next pass although
// the pass reads the registry again only when it changed.
#include "CameraModelTable.h"
#include "EventRecorder.h"
#include "FilterDllPath.h"
#include "MemoryPeSource.h"
#include "ReconcilePass.h"
#include "RegistrationState.h"
#include "RegistryFixture.h"
#include "ServiceEvents.h"
#include "StandIn.h"
#include "TestLayout.h"

#include <SimulatedBus.h>
#include <gtest/gtest.h>

#include <thread>

namespace vyx::service {
namespace {

using test::Describe;
using test::EventRecorder;
using test::ExpectLine;

class ReconcilePassTest : public test::CleanSlateTest {
protected:
    static std::wstring LayOut(const CameraModel& row, FilterArch arch)
    {
        std::wstring path;
        EXPECT_TRUE(BuildDllPath(row, arch, path));
        EXPECT_TRUE(test::WriteFileBytes(path, test::MinimalPeImage(ArchMachine(arch))));
        return path;
    }

    // A pass that hangs in the stand-in's registration; the stop comes once it started.
    static bool RunStoppedPass(ReconcilePass& pass, ServiceSignals& signals, const test::StandIn& standIn)
    {
        bool result = true;
        std::thread passThread([&] { result = pass.Run(); });
        const bool started = ::WaitForSingleObject(standIn.Started(), 60000) == WAIT_OBJECT_0;
        signals.Stop();
        passThread.join();
        EXPECT_TRUE(started);
        return result;
    }

    ServiceSignals m_signals;
};

TEST_F(ReconcilePassTest, APassActsOnEveryGapAndReportsWhatStaysDegraded)
{
    // Row 8 connected without any library: its register actions fail validation. Row 10 is
    // not connected but has a leftover category entry: it is unregistered by the fallback.
    const CameraModel& missing = CameraModelTable::Row(8);
    const CameraModel& leftover = CameraModelTable::Row(10);
    ASSERT_EQ(vyx::sim::bus::Plug(missing.displayName, L"S1"), ERROR_SUCCESS);
    ASSERT_EQ(vyx::sim::bus::Plug(missing.displayName, L"S2"), ERROR_SUCCESS);
    test::HandRegistration stale;
    stale.classKey = false;
    test::WriteRegistration(leftover, FilterArch::X64, stale);

    EventRecorder events;
    test::StandIn standIn(L"fail");
    ReconcilePass pass(m_signals);
    EXPECT_FALSE(pass.Run());

    const auto lines = events.Events();
    // The unregistered x64 filter's virtual camera goes too: this layout has no helper.
    ASSERT_EQ(lines.size(), 6u) << Describe(lines);
    const std::wstring name = missing.displayName;
    EXPECT_TRUE(test::StartsWith(lines[0].line, L"register model=" + name + L" arch=x86 DLL validation failed."));
    EXPECT_TRUE(test::StartsWith(lines[1].line, L"register model=" + name + L" arch=x64 DLL validation failed."));
    EXPECT_EQ(lines[2].type, EVENTLOG_WARNING_TYPE);
    EXPECT_EQ(lines[2].id, 1300u);
    EXPECT_TRUE(test::StartsWith(lines[2].line, L"action=unregister-fallback model=" +
                                                    std::wstring(leftover.displayName) + L" arch=x64 path="));
    EXPECT_EQ(lines[3].id, 1303u);
    EXPECT_TRUE(test::StartsWith(lines[3].line, L"virtual cameras unavailable: no 64-bit helper"));
    ExpectLine(lines[4], EVENTLOG_WARNING_TYPE, 1201,
               L"model=" + name + L" connectedCount=2 x86Present=0 x86Correct=0 x64Present=0 x64Correct=0");
    EXPECT_EQ(lines[5].type, EVENTLOG_WARNING_TYPE);
    EXPECT_EQ(lines[5].id, 1201u);
    const std::wstring summary =
        L"reconcile generation=0 connectedModels=1 actions=3 actionFailures=2 degradedModels=1 elapsedMs=";
    EXPECT_TRUE(test::StartsWith(lines[5].line, summary)) << test::Narrow(lines[5].line);
    EXPECT_TRUE(standIn.CommandLines().empty());
    EXPECT_FALSE(test::KeyExists(test::InstanceKeyPath(leftover), FilterArch::X64));
}

TEST_F(ReconcilePassTest, OneOfTwoCamerasOfAModelUnpluggedKeepsTheModelRegistered)
{
    const CameraModel& row = CameraModelTable::Row(9);
    for (FilterArch arch : {FilterArch::X86, FilterArch::X64}) {
        test::HandRegistration keys;
        ASSERT_TRUE(BuildDllPath(row, arch, keys.serverPath));
        test::WriteRegistration(row, arch, keys);
    }
    ASSERT_EQ(vyx::sim::bus::Plug(row.displayName, L"S1"), ERROR_SUCCESS);
    ASSERT_EQ(vyx::sim::bus::Plug(row.displayName, L"S2"), ERROR_SUCCESS);
    ASSERT_EQ(vyx::sim::bus::Unplug(row.displayName, L"S2"), ERROR_SUCCESS);

    EventRecorder events;
    ReconcilePass pass(m_signals);
    EXPECT_TRUE(pass.Run());
    const auto lines = events.Events();
    // Besides the summary only the one line that this layout has no virtual-camera helper.
    ASSERT_EQ(lines.size(), 2u) << Describe(lines);
    EXPECT_EQ(lines[0].id, 1303u);
    EXPECT_TRUE(test::StartsWith(lines[1].line, L"reconcile generation=0 connectedModels=1 actions=0 actionFailures=0 "
                                                L"degradedModels=0 elapsedMs="))
        << test::Narrow(lines[1].line);
}

// Every registration undone or changed by hand, in either view, is seen and mended by the
// next pass; in between, passes with nothing to do act on nothing.
TEST_F(ReconcilePassTest, ARegistrationChangedBehindItsBackIsRepairedAtTheNextPassInEachView)
{
    const CameraModel& plugged = CameraModelTable::Row(4);
    const CameraModel& unplugged = CameraModelTable::Row(5);
    const std::wstring paths[] = {LayOut(plugged, FilterArch::X86), LayOut(plugged, FilterArch::X64)};
    LayOut(unplugged, FilterArch::X86);
    LayOut(unplugged, FilterArch::X64);
    ASSERT_EQ(vyx::sim::bus::Plug(plugged.displayName), ERROR_SUCCESS);
    test::StandIn standIn(L"register");
    ReconcilePass pass(m_signals);
    ASSERT_TRUE(pass.Run());
    ASSERT_EQ(standIn.CommandLines().size(), 2u);

    struct Change {
        const char* what;
        void (*make)(FilterArch arch);
        const CameraModel& row;
    };
    const Change changes[] = {
        {"unregistered by hand", [](FilterArch arch) { test::RemoveRegistration(CameraModelTable::Row(4), arch); },
         plugged},
        {"registered to another path",
         [](FilterArch arch) {
             test::SetString(test::ClassKeyPath(CameraModelTable::Row(4)) + L"\\InprocServer32", arch, nullptr,
                             L"C:\\elsewhere\\" + std::wstring(CameraModelTable::Row(4).dllFileName));
         },
         plugged},
        {"a model not plugged in registered by hand",
         [](FilterArch arch) {
             test::HandRegistration keys;
             keys.serverPath = L"C:\\elsewhere\\x.dll";
             test::WriteRegistration(CameraModelTable::Row(5), arch, keys);
         },
         unplugged},
    };
    for (FilterArch arch : {FilterArch::X86, FilterArch::X64}) {
        for (const Change& change : changes) {
            SCOPED_TRACE(std::string(change.what) + (arch == FilterArch::X86 ? " x86" : " x64"));
            EventRecorder events;
            EXPECT_TRUE(pass.Run());
            const std::size_t runsBefore = standIn.CommandLines().size();
            change.make(arch);
            EXPECT_TRUE(pass.Run());

            const auto summaries = events.WithId(kEventReconcileSummary);
            ASSERT_EQ(summaries.size(), 2u) << Describe(events.Events());
            EXPECT_TRUE(test::StartsWith(summaries[0].line, L"reconcile generation=0 connectedModels=1 actions=0 "));
            EXPECT_TRUE(test::StartsWith(summaries[1].line, L"reconcile generation=0 connectedModels=1 actions=1 "
                                                            L"actionFailures=0 degradedModels=0 "))
                << test::Narrow(summaries[1].line);
            const auto runs = standIn.CommandLines();
            ASSERT_EQ(runs.size(), runsBefore + 1);
            const bool registering = &change.row == &plugged;
            EXPECT_NE(runs.back().find(registering ? L"/s \"" : L"/s /u \""), std::wstring::npos)
                << test::Narrow(runs.back());
            EXPECT_NE(runs.back().find(std::wstring(ArchFolder(arch)) + L"\\" + change.row.dllFileName),
                      std::wstring::npos)
                << test::Narrow(runs.back());
            const std::wstring expected = arch == FilterArch::X86 ? paths[0] : paths[1];
            EXPECT_TRUE(QueryRegistrationState(plugged, arch, expected).correct);
            EXPECT_FALSE(test::KeyExists(test::ClassKeyPath(unplugged), arch));
        }
    }
}

// A stop between actions ends the pass without its model lines and summary; a stop during
// its last action leaves only that action's own lines.
TEST_F(ReconcilePassTest, AStopEndsThePassWithoutItsLines)
{
    const CameraModel& row = CameraModelTable::Row(7);
    const std::wstring name = row.displayName;
    ASSERT_EQ(vyx::sim::bus::Plug(row.displayName), ERROR_SUCCESS);
    for (FilterArch hanging : {FilterArch::X86, FilterArch::X64}) {
        SCOPED_TRACE(ArchText(hanging));
        test::RemoveAllRegistrations();
        test::ResetLayout();
        LayOut(row, hanging);
        if (hanging == FilterArch::X64) {
            // Only the x64 side is missing, so its action is the pass's last.
            test::HandRegistration keys;
            ASSERT_TRUE(BuildDllPath(row, FilterArch::X86, keys.serverPath));
            test::WriteRegistration(row, FilterArch::X86, keys);
        }
        ServiceSignals signals;
        ReconcilePass pass(signals);
        EventRecorder events;
        test::StandIn standIn(L"hang");
        EXPECT_FALSE(RunStoppedPass(pass, signals, standIn));

        const auto lines = events.Events();
        ASSERT_EQ(lines.size(), 2u) << Describe(lines);
        ExpectLine(lines[0], EVENTLOG_WARNING_TYPE, 1301,
                   L"action=register model=" + name + L" arch=" + ArchText(hanging) +
                       L" attempt=1 error=1223 exitCode=0 verified=0");
        EXPECT_EQ(lines[1].id, 1301u);
        EXPECT_EQ(lines[1].type, EVENTLOG_ERROR_TYPE);
        EXPECT_EQ(standIn.CommandLines().size(), 1u);
        EXPECT_FALSE(test::StandInStillRunning());
    }
}

}  // namespace
}  // namespace vyx::service
