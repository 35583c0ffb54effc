// The device-event path as the control dispatcher drives it (Wine never delivers device
// events to services), and the reconcile worker's schedule of passes.
#include "EventRecorder.h"
#include "ReconcileWorker.h"
#include "RegistryFixture.h"
#include "ScopedTimings.h"
#include "ServiceEvents.h"
#include "ServiceRun.h"

#include <gtest/gtest.h>

#include <dbt.h>

namespace vyx::service {
namespace {

using test::Describe;
using test::EventRecorder;

// The worker's first pass comes at once, so each test starts from a known summary.
constexpr ServiceTimings QuickStart()
{
    ServiceTimings timings = kShippedTimings;
    timings.startupWaitMs = 0;
    return timings;
}

class DeviceEventTest : public test::CleanSlateTest {
protected:
    static DEV_BROADCAST_DEVICEINTERFACE_W Interface()
    {
        DEV_BROADCAST_DEVICEINTERFACE_W data = {};
        data.dbcc_size = sizeof(data);
        data.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
        return data;
    }
};

// Which data passes is the rule's, fuzzed in service_rules_tests; here, that the handler
// answers with the rule's verdict and counts only what passes.
TEST_F(DeviceEventTest, OnlyWellFormedArrivalsAndRemovalsAreCounted)
{
    ServiceRun run;
    ServiceSignals& signals = run.Signals();
    DEV_BROADCAST_DEVICEINTERFACE_W good = Interface();
    DEV_BROADCAST_HDR volume = {};
    volume.dbch_size = sizeof(volume);
    volume.dbch_devicetype = DBT_DEVTYP_VOLUME;
    const auto changeSignalled = [&] { return ::WaitForSingleObject(signals.ChangeEvent(), 0) == WAIT_OBJECT_0; };

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
        EXPECT_EQ(run.Control(SERVICE_CONTROL_DEVICEEVENT, c.type, c.data), c.result);
        EXPECT_EQ(signals.Generation(), 0);
        EXPECT_FALSE(changeSignalled());
    }
    EXPECT_EQ(signals.TakeLastDeviceEvent(), 0);

    EXPECT_EQ(run.Control(SERVICE_CONTROL_DEVICEEVENT, DBT_DEVICEARRIVAL, &good), NO_ERROR);
    // The bare header is enough: the device's name is never looked at.
    DEV_BROADCAST_HDR header = {};
    header.dbch_size = sizeof(header);
    header.dbch_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
    EXPECT_EQ(run.Control(SERVICE_CONTROL_DEVICEEVENT, DBT_DEVICEREMOVECOMPLETE, &header), NO_ERROR);
    EXPECT_EQ(signals.Generation(), 2);
    EXPECT_TRUE(changeSignalled());
    EXPECT_EQ(signals.TakeLastDeviceEvent(), static_cast<LONG>(DBT_DEVICEREMOVECOMPLETE));
    EXPECT_EQ(signals.TakeLastDeviceEvent(), 0);
}

TEST_F(DeviceEventTest, ABurstOfEventsLeadsToOnePassAfterTheQuietPeriod)
{
    const test::ScopedTimings quickStart(QuickStart());
    EventRecorder events;
    ServiceSignals signals;
    ReconcileWorker worker(signals);
    ASSERT_EQ(worker.Start(), 0u);
    ASSERT_TRUE(events.WaitForId(kEventReconcileSummary)) << Describe(events.Events());
    events.Clear();

    DEV_BROADCAST_DEVICEINTERFACE_W data = Interface();
    ULONGLONG lastEvent = 0;
    for (int i = 0; i < 10; ++i) {
        if (i > 0) {
            ::Sleep(500);
        }
        const DWORD type = i == 9 ? DBT_DEVICEREMOVECOMPLETE : DBT_DEVICEARRIVAL;
        ASSERT_EQ(signals.OnDeviceEvent(type, &data), NO_ERROR);
        lastEvent = ::GetTickCount64();
    }
    ASSERT_TRUE(events.WaitForId(kEventReconcileSummary)) << Describe(events.Events());
    worker.Stop();

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
    EXPECT_EQ(signals.TakeLastDeviceEvent(), 0);
}

TEST_F(DeviceEventTest, AFlappingDeviceGetsItsPassWithinTheBound)
{
    // Shortened: a quiet period of 400 ms that every event restarts, a bound of 1500 ms.
    ServiceTimings timings = QuickStart();
    timings.quietPeriodMs = 400;
    timings.maxPassDelayMs = 1500;
    const test::ScopedTimings shortened(timings);
    EventRecorder events;
    ServiceSignals signals;
    ReconcileWorker worker(signals);
    ASSERT_EQ(worker.Start(), 0u);
    ASSERT_TRUE(events.WaitForId(kEventReconcileSummary)) << Describe(events.Events());
    events.Clear();

    DEV_BROADCAST_DEVICEINTERFACE_W data = Interface();
    const ULONGLONG first = ::GetTickCount64();
    ULONGLONG last = first;
    // An event every 200 ms for 4 s: the quiet period alone would never end.
    for (int i = 0; i < 20; ++i) {
        const DWORD type = i % 2 == 0 ? DBT_DEVICEARRIVAL : DBT_DEVICEREMOVECOMPLETE;
        ASSERT_EQ(signals.OnDeviceEvent(type, &data), NO_ERROR);
        last = ::GetTickCount64();
        ::Sleep(200);
    }
    worker.Stop();

    const auto summaries = events.WithId(kEventReconcileSummary);
    ASSERT_FALSE(summaries.empty()) << Describe(events.Events());
    // The first pass came while the device was still flapping, by the bound (plus room for a
    // busy machine), not once it settled.
    EXPECT_LT(summaries[0].tick, last);
    EXPECT_LT(summaries[0].tick - first, timings.maxPassDelayMs + 1500);
}

}  // namespace
}  // namespace vyx::service
