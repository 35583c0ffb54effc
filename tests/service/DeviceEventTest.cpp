// The device-event path as the control dispatcher drives it (Wine never delivers device
// events to services), the control handler's stop branch, and the reconcile worker.
#include "CameraModelTable.h"
#include "EventRecorder.h"
#include "MemoryPeSource.h"
#include "Reconcile.h"
#include "Registrar.h"
#include "RegistryFixture.h"
#include "ScopedTimings.h"
#include "ServiceEvents.h"
#include "ServiceHost.h"
#include "ServiceState.h"
#include "ServiceTimings.h"
#include "StandIn.h"
#include "TestLayout.h"

#include <SimulatedBus.h>
#include <gtest/gtest.h>

#include <dbt.h>

namespace vyx::service {
namespace {

using test::Describe;
using test::EventRecorder;

class DeviceEventTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ServiceState& state = GetServiceState();
        state.stopRequested.store(0);
        state.generation.store(0);
        state.lastDeviceEvent.store(0);
        state.stopEvent.Reset(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
        state.changeEvent.Reset(::CreateEventW(nullptr, FALSE, FALSE, nullptr));
        ASSERT_TRUE(state.stopEvent && state.changeEvent);
        ASSERT_EQ(vyx::sim::bus::UnplugAll(), ERROR_SUCCESS);
        test::ResetLayout();
        test::RemoveAllRegistrations();
    }
    void TearDown() override
    {
        StopReconcileWorker();
        vyx::sim::bus::UnplugAll();
        test::RemoveAllRegistrations();
    }

    static void StartWorker()
    {
        GetServiceState().workerThread.Reset(::CreateThread(nullptr, 0, ReconcileWorker, nullptr, 0, nullptr));
        ASSERT_TRUE(GetServiceState().workerThread);
    }

    static bool ChangeSignalled() { return ::WaitForSingleObject(GetServiceState().changeEvent.Get(), 0) == WAIT_OBJECT_0; }

    static DEV_BROADCAST_DEVICEINTERFACE_W Interface()
    {
        DEV_BROADCAST_DEVICEINTERFACE_W data = {};
        data.dbcc_size = sizeof(data);
        data.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
        return data;
    }

    // An arrival starts a pass whose one registration hangs in the stand-in; the service is
    // stopped then. The pass must end with the action's own three lines: the arrival, the
    // cancelled attempt (1223) and its failure.
    static void ExpectStopEndsHangingRegistration(const EventRecorder& events, const test::StandIn& standIn,
                                                  const CameraModel& row, const wchar_t* arch)
    {
        StartWorker();
        DEV_BROADCAST_DEVICEINTERFACE_W data = Interface();
        ASSERT_EQ(HandleDeviceEvent(DBT_DEVICEARRIVAL, &data), NO_ERROR);
        ASSERT_EQ(::WaitForSingleObject(standIn.Started(), 120000), WAIT_OBJECT_0);
        EXPECT_EQ(ServiceControlHandler(SERVICE_CONTROL_STOP, 0, nullptr, nullptr), NO_ERROR);
        StopReconcileWorker();

        const auto lines = events.Events();
        ASSERT_EQ(lines.size(), 3u) << Describe(lines);
        EXPECT_EQ(lines[0].line, L"deviceEvent=arrival generation=1");
        EXPECT_EQ(lines[1].line, L"action=register model=" + std::wstring(row.displayName) + L" arch=" + arch +
                                     L" attempt=1 error=1223 exitCode=0 verified=0");
        EXPECT_EQ(lines[2].id, 1301u);
        EXPECT_EQ(lines[2].type, EVENTLOG_ERROR_TYPE);
    }
};

// Which data passes is the rule's, fuzzed in service_rules_tests; here, that the handler
// answers with the rule's verdict and counts only what passes.
TEST_F(DeviceEventTest, OnlyWellFormedArrivalsAndRemovalsAreCounted)
{
    ServiceState& state = GetServiceState();
    DEV_BROADCAST_DEVICEINTERFACE_W good = Interface();
    DEV_BROADCAST_HDR volume = {};
    volume.dbch_size = sizeof(volume);
    volume.dbch_devicetype = DBT_DEVTYP_VOLUME;

    struct Case {
        DWORD type;
        void* data;
        DWORD result;
    };
    const Case refused[] = {
        {DBT_DEVICEARRIVAL, nullptr, ERROR_INVALID_PARAMETER},
        {DBT_DEVICEREMOVECOMPLETE, &volume, ERROR_INVALID_DATA},
        {DBT_DEVICEQUERYREMOVE, &good, NO_ERROR},
        {DBT_DEVICEREMOVEPENDING, nullptr, NO_ERROR},
    };
    for (const Case& c : refused) {
        EXPECT_EQ(ServiceControlHandler(SERVICE_CONTROL_DEVICEEVENT, c.type, c.data, nullptr), c.result);
        EXPECT_EQ(state.generation.load(), 0);
        EXPECT_EQ(state.lastDeviceEvent.load(), 0);
        EXPECT_FALSE(ChangeSignalled());
    }

    EXPECT_EQ(ServiceControlHandler(SERVICE_CONTROL_DEVICEEVENT, DBT_DEVICEARRIVAL, &good, nullptr), NO_ERROR);
    EXPECT_EQ(state.generation.load(), 1);
    EXPECT_EQ(state.lastDeviceEvent.load(), DBT_DEVICEARRIVAL);
    EXPECT_TRUE(ChangeSignalled());
    // The bare header is enough: the device's name is never looked at.
    DEV_BROADCAST_HDR header = {};
    header.dbch_size = sizeof(header);
    header.dbch_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
    EXPECT_EQ(HandleDeviceEvent(DBT_DEVICEREMOVECOMPLETE, &header), NO_ERROR);
    EXPECT_EQ(state.generation.load(), 2);
    EXPECT_EQ(state.lastDeviceEvent.load(), DBT_DEVICEREMOVECOMPLETE);
    EXPECT_TRUE(ChangeSignalled());
}

// The dispatcher thread can be inside the handler while ServiceMain stops the worker: the
// events it signals must still be the service's own, not closed (or reused) handles.
TEST_F(DeviceEventTest, EventsOutliveTheWorkerForALateControl)
{
    StartWorker();
    StopReconcileWorker();
    // Stopping signals the change event too: cleared, so only the late control can set it.
    ASSERT_TRUE(::ResetEvent(GetServiceState().changeEvent.Get()));
    DEV_BROADCAST_DEVICEINTERFACE_W good = Interface();
    EXPECT_EQ(ServiceControlHandler(SERVICE_CONTROL_DEVICEEVENT, DBT_DEVICEARRIVAL, &good, nullptr), NO_ERROR);
    EXPECT_TRUE(ChangeSignalled());
    EXPECT_EQ(::WaitForSingleObject(GetServiceState().stopEvent.Get(), 0), WAIT_OBJECT_0);
}

TEST_F(DeviceEventTest, OnlyTheFirstStopActsAndOtherControlsAreNotImplemented)
{
    ServiceState& state = GetServiceState();
    EXPECT_EQ(ServiceControlHandler(SERVICE_CONTROL_PAUSE, 0, nullptr, nullptr), ERROR_CALL_NOT_IMPLEMENTED);
    EXPECT_EQ(ServiceControlHandler(SERVICE_CONTROL_CONTINUE, 0, nullptr, nullptr), ERROR_CALL_NOT_IMPLEMENTED);
    EXPECT_EQ(ServiceControlHandler(SERVICE_CONTROL_PARAMCHANGE, 0, nullptr, nullptr), ERROR_CALL_NOT_IMPLEMENTED);
    EXPECT_EQ(ServiceControlHandler(SERVICE_CONTROL_INTERROGATE, 0, nullptr, nullptr), NO_ERROR);
    EXPECT_EQ(::WaitForSingleObject(state.stopEvent.Get(), 0), static_cast<DWORD>(WAIT_TIMEOUT));
    EXPECT_EQ(state.stopRequested.load(), 0);

    EXPECT_EQ(ServiceControlHandler(SERVICE_CONTROL_STOP, 0, nullptr, nullptr), NO_ERROR);
    EXPECT_EQ(state.stopRequested.load(), 1);
    EXPECT_EQ(::WaitForSingleObject(state.stopEvent.Get(), 0), WAIT_OBJECT_0);
    EXPECT_TRUE(ChangeSignalled());
    // A second stop, or a shutdown after it, returns success and signals nothing again.
    EXPECT_EQ(ServiceControlHandler(SERVICE_CONTROL_STOP, 0, nullptr, nullptr), NO_ERROR);
    EXPECT_EQ(ServiceControlHandler(SERVICE_CONTROL_SHUTDOWN, 0, nullptr, nullptr), NO_ERROR);
    EXPECT_FALSE(ChangeSignalled());
    EXPECT_EQ(state.stopRequested.load(), 1);
    // Without a status handle nothing is reported.
    EXPECT_FALSE(ReportServiceStatus(SERVICE_RUNNING, NO_ERROR, 0));
}

TEST_F(DeviceEventTest, AWorkerThatEndsOnItsOwnEndsTheServiceWithItsError)
{
    ServiceState& state = GetServiceState();
    // A change event that is no handle makes the worker's wait fail at once. The value is
    // far above any handle this process holds.
    win::UniqueHandle changeEvent(state.changeEvent.Release());
    state.changeEvent.Reset(reinterpret_cast<HANDLE>(static_cast<ULONG_PTR>(0x7FFF0)));
    EventRecorder events;
    StartWorker();
    const DWORD error = WaitWhileWorkerRuns();
    ::WaitForSingleObject(state.workerThread.Get(), INFINITE);
    state.changeEvent.Release();
    state.changeEvent.Reset(changeEvent.Release());

    EXPECT_NE(error, 0u);
    const auto lines = events.Events();
    ASSERT_EQ(lines.size(), 2u) << Describe(lines);
    const std::wstring code = L" error=" + std::to_wstring(error) + L" ";
    EXPECT_TRUE(test::StartsWith(lines[0].line, L"WaitForMultipleObjects failed." + code)) << test::Narrow(lines[0].line);
    EXPECT_TRUE(test::StartsWith(lines[1].line, L"reconcile worker failed." + code)) << test::Narrow(lines[1].line);
    EXPECT_EQ(lines[1].id, 1400u);
    EXPECT_EQ(lines[1].type, EVENTLOG_ERROR_TYPE);
}

TEST_F(DeviceEventTest, AStopEndsTheWaitOnTheWorkerWithoutAnError)
{
    EventRecorder events;
    StartWorker();
    EXPECT_EQ(ServiceControlHandler(SERVICE_CONTROL_STOP, 0, nullptr, nullptr), NO_ERROR);
    EXPECT_EQ(WaitWhileWorkerRuns(), 0u);
    EXPECT_TRUE(events.Events().empty()) << Describe(events.Events());
}

// The reports as the service manager would receive them, through a stand-in sender.
class StatusReportTest : public DeviceEventTest {
protected:
    void SetUp() override
    {
        DeviceEventTest::SetUp();
        s_sent.clear();
        GetServiceState().status = SERVICE_STATUS{};
        GetServiceState().statusHandle = reinterpret_cast<SERVICE_STATUS_HANDLE>(static_cast<ULONG_PTR>(1));
        SetStatusSenderForTesting(Record);
    }
    void TearDown() override
    {
        SetStatusSenderForTesting(nullptr);
        GetServiceState().statusHandle = nullptr;
        DeviceEventTest::TearDown();
    }

    struct Sent {
        DWORD state;
        DWORD exitCode;
        bool underLock;  // the status lock was held while it was sent
    };
    static BOOL WINAPI Record(SERVICE_STATUS_HANDLE, SERVICE_STATUS* status)
    {
        SRWLOCK* lock = &GetServiceState().statusLock;
        const bool free = ::TryAcquireSRWLockExclusive(lock) != FALSE;
        if (free) {
            ::ReleaseSRWLockExclusive(lock);
        }
        s_sent.push_back({status->dwCurrentState, status->dwWin32ExitCode, !free});
        return TRUE;
    }
    static std::vector<Sent> s_sent;  // written by whichever thread reports, read after it
};

std::vector<StatusReportTest::Sent> StatusReportTest::s_sent;

TEST_F(StatusReportTest, TheHandlersStopPendingIsSentUnderTheStatusLockOnce)
{
    ASSERT_TRUE(ReportServiceStatus(SERVICE_START_PENDING, NO_ERROR, 240000));
    EXPECT_EQ(ServiceControlHandler(SERVICE_CONTROL_STOP, 0, nullptr, nullptr), NO_ERROR);
    EXPECT_EQ(ServiceControlHandler(SERVICE_CONTROL_SHUTDOWN, 0, nullptr, nullptr), NO_ERROR);
    // The start-up's next report is refused: the stop stays the last word.
    ASSERT_TRUE(ReportServiceStatus(SERVICE_RUNNING, NO_ERROR, 0));
    ASSERT_EQ(s_sent.size(), 2u);
    EXPECT_EQ(s_sent[0].state, static_cast<DWORD>(SERVICE_START_PENDING));
    EXPECT_EQ(s_sent[1].state, static_cast<DWORD>(SERVICE_STOP_PENDING));
    EXPECT_TRUE(s_sent[0].underLock);
    EXPECT_TRUE(s_sent[1].underLock);
}

// A start-up step failed and reported stopped; a stop that arrives after that sends nothing,
// so the manager never sees a stopping service whose process then exits.
TEST_F(StatusReportTest, AStopAfterAFailedStartupSendsNothing)
{
    ASSERT_TRUE(ReportServiceStatus(SERVICE_START_PENDING, NO_ERROR, 240000));
    ASSERT_TRUE(ReportServiceStatus(SERVICE_STOPPED, ERROR_NOT_ENOUGH_MEMORY, 0));
    EXPECT_EQ(ServiceControlHandler(SERVICE_CONTROL_STOP, 0, nullptr, nullptr), NO_ERROR);
    ASSERT_EQ(s_sent.size(), 2u);
    EXPECT_EQ(s_sent[1].state, static_cast<DWORD>(SERVICE_STOPPED));
    EXPECT_EQ(s_sent[1].exitCode, static_cast<DWORD>(ERROR_NOT_ENOUGH_MEMORY));
    EXPECT_EQ(::WaitForSingleObject(GetServiceState().stopEvent.Get(), 0), WAIT_OBJECT_0);
}

TEST_F(DeviceEventTest, ABurstOfEventsLeadsToOnePassAfterTheQuietPeriod)
{
    EventRecorder events;
    StartWorker();
    DEV_BROADCAST_DEVICEINTERFACE_W data = Interface();
    ULONGLONG lastEvent = 0;
    for (int i = 0; i < 10; ++i) {
        if (i > 0) {
            ::Sleep(500);
        }
        const DWORD type = i == 9 ? DBT_DEVICEREMOVECOMPLETE : DBT_DEVICEARRIVAL;
        ASSERT_EQ(ServiceControlHandler(SERVICE_CONTROL_DEVICEEVENT, type, &data, nullptr), NO_ERROR);
        lastEvent = ::GetTickCount64();
    }
    ASSERT_TRUE(events.WaitForId(kEventReconcileSummary)) << Describe(events.Events());
    StopReconcileWorker();

    const auto lines = events.Events();
    ASSERT_EQ(lines.size(), 2u) << Describe(lines);
    EXPECT_EQ(lines[0].id, 1100u);
    EXPECT_EQ(lines[0].type, EVENTLOG_INFORMATION_TYPE);
    // The line names the last event's type and counts them all.
    EXPECT_EQ(lines[0].line, L"deviceEvent=remove-complete generation=10");
    EXPECT_GE(lines[0].tick - lastEvent, Timings().quietPeriodMs);
    EXPECT_EQ(lines[1].type, EVENTLOG_INFORMATION_TYPE);
    const std::wstring summary = L"reconcile generation=10 connectedModels=0 actions=0 actionFailures=0 "
                                 L"degradedModels=0 elapsedMs=";
    EXPECT_TRUE(test::StartsWith(lines[1].line, summary)) << test::Narrow(lines[1].line);
    EXPECT_EQ(GetServiceState().lastDeviceEvent.load(), 0);
}

TEST_F(DeviceEventTest, AStopDuringAPassEndsItWithoutASummary)
{
    const CameraModel& row = CameraModelTable::Row(6);
    std::wstring path;
    ASSERT_TRUE(BuildDllPath(row, FilterArch::X86, path));
    ASSERT_TRUE(test::WriteFileBytes(path, test::MinimalPeImage(IMAGE_FILE_MACHINE_I386)));
    ASSERT_EQ(vyx::sim::bus::Plug(row.displayName), ERROR_SUCCESS);

    EventRecorder events;
    test::StandIn standIn(L"hang");
    ExpectStopEndsHangingRegistration(events, standIn, row, L"x86");
    EXPECT_FALSE(test::StandInStillRunning());
}

TEST_F(DeviceEventTest, APassActsOnEveryGapAndReportsWhatStaysDegraded)
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
    GetServiceState().generation.store(4);
    EXPECT_FALSE(ReconcileFilters());

    const auto lines = events.Events();
    ASSERT_EQ(lines.size(), 5u) << Describe(lines);
    const std::wstring name = missing.displayName;
    EXPECT_TRUE(test::StartsWith(lines[0].line, L"register model=" + name + L" arch=x86 DLL validation failed."));
    EXPECT_TRUE(test::StartsWith(lines[1].line, L"register model=" + name + L" arch=x64 DLL validation failed."));
    EXPECT_EQ(lines[2].type, EVENTLOG_WARNING_TYPE);
    EXPECT_EQ(lines[2].id, 1300u);
    EXPECT_TRUE(test::StartsWith(lines[2].line, L"action=unregister-fallback model=" +
                                                    std::wstring(leftover.displayName) + L" arch=x64 path="));
    EXPECT_EQ(lines[3].type, EVENTLOG_WARNING_TYPE);
    EXPECT_EQ(lines[3].id, 1201u);
    EXPECT_EQ(lines[3].line,
              L"model=" + name + L" connectedCount=2 x86Present=0 x86Correct=0 x64Present=0 x64Correct=0");
    EXPECT_EQ(lines[4].type, EVENTLOG_WARNING_TYPE);
    EXPECT_EQ(lines[4].id, 1201u);
    const std::wstring summary =
        L"reconcile generation=4 connectedModels=1 actions=3 actionFailures=2 degradedModels=1 elapsedMs=";
    EXPECT_TRUE(test::StartsWith(lines[4].line, summary)) << test::Narrow(lines[4].line);
    EXPECT_TRUE(standIn.CommandLines().empty());
    EXPECT_FALSE(test::KeyExists(test::InstanceKeyPath(leftover), FilterArch::X64));
}

TEST_F(DeviceEventTest, OneOfTwoCamerasOfAModelUnpluggedKeepsTheModelRegistered)
{
    const CameraModel& row = CameraModelTable::Row(9);
    std::wstring paths[2];
    const FilterArch arches[] = {FilterArch::X86, FilterArch::X64};
    for (int i = 0; i < 2; ++i) {
        ASSERT_TRUE(BuildDllPath(row, arches[i], paths[i]));
        test::HandRegistration keys;
        keys.serverPath = paths[i];
        test::WriteRegistration(row, arches[i], keys);
    }
    ASSERT_EQ(vyx::sim::bus::Plug(row.displayName, L"S1"), ERROR_SUCCESS);
    ASSERT_EQ(vyx::sim::bus::Plug(row.displayName, L"S2"), ERROR_SUCCESS);
    ASSERT_EQ(vyx::sim::bus::Unplug(row.displayName, L"S2"), ERROR_SUCCESS);

    EventRecorder events;
    EXPECT_TRUE(ReconcileFilters());
    const auto lines = events.Events();
    ASSERT_EQ(lines.size(), 1u) << Describe(lines);
    EXPECT_TRUE(test::StartsWith(lines[0].line, L"reconcile generation=0 connectedModels=1 actions=0 actionFailures=0 "
                                                L"degradedModels=0 elapsedMs="))
        << test::Narrow(lines[0].line);
    for (int i = 0; i < 2; ++i) {
        EXPECT_TRUE(QueryRegistrationState(row, arches[i], paths[i]).correct);
    }
}

TEST_F(DeviceEventTest, AStopDuringTheLastActionEndsThePassWithoutItsLines)
{
    // Only the x64 side is missing, so the one planned action is also the last.
    const CameraModel& row = CameraModelTable::Row(7);
    std::wstring x86Path;
    std::wstring x64Path;
    ASSERT_TRUE(BuildDllPath(row, FilterArch::X86, x86Path));
    ASSERT_TRUE(BuildDllPath(row, FilterArch::X64, x64Path));
    ASSERT_TRUE(test::WriteFileBytes(x64Path, test::MinimalPeImage(IMAGE_FILE_MACHINE_AMD64)));
    test::HandRegistration keys;
    keys.serverPath = x86Path;
    test::WriteRegistration(row, FilterArch::X86, keys);
    ASSERT_EQ(vyx::sim::bus::Plug(row.displayName), ERROR_SUCCESS);

    EventRecorder events;
    test::StandIn standIn(L"hang");
    // The action's own lines, and neither a model line nor a summary.
    ExpectStopEndsHangingRegistration(events, standIn, row, L"x64");
    EXPECT_TRUE(events.WithId(kEventModelDegraded).empty());
    EXPECT_TRUE(events.WithId(kEventReconcileSummary).empty());
    EXPECT_EQ(standIn.CommandLines().size(), 1u);
}

TEST_F(DeviceEventTest, AFlappingDeviceGetsItsPassWithinTheBound)
{
    // Shortened: a quiet period of 400 ms that every event restarts, a bound of 1500 ms.
    ServiceTimings timings = kShippedTimings;
    timings.quietPeriodMs = 400;
    timings.maxPassDelayMs = 1500;
    const test::ScopedTimings shortened(timings);
    EventRecorder events;
    StartWorker();
    DEV_BROADCAST_DEVICEINTERFACE_W data = Interface();
    const ULONGLONG first = ::GetTickCount64();
    ULONGLONG last = first;
    // An event every 200 ms for 4 s: the quiet period alone would never end.
    for (int i = 0; i < 20; ++i) {
        const DWORD type = i % 2 == 0 ? DBT_DEVICEARRIVAL : DBT_DEVICEREMOVECOMPLETE;
        ASSERT_EQ(HandleDeviceEvent(type, &data), NO_ERROR);
        last = ::GetTickCount64();
        ::Sleep(200);
    }
    StopReconcileWorker();

    const auto summaries = events.WithId(kEventReconcileSummary);
    ASSERT_FALSE(summaries.empty()) << Describe(events.Events());
    // The first pass came while the device was still flapping, by the bound (plus room for a
    // busy machine), not once it settled.
    EXPECT_LT(summaries[0].tick, last);
    EXPECT_LT(summaries[0].tick - first, timings.maxPassDelayMs + 1500);
}

}  // namespace
}  // namespace vyx::service
