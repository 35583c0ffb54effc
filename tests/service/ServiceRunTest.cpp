// One run of the service from its control handler's registration to STOPPED, driven in this
// process: no service manager stands behind a test program, so the handler's registration,
// the status reports and the device notification go to a stand-in manager (the test
// platform's hooks), which records every report. Waits that fail as Windows lets them (with
// no last error) are staged the same way.
#include "CameraModelTable.h"
#include "EventRecorder.h"
#include "FilterDllPath.h"
#include "MemoryPeSource.h"
#include "RegistryFixture.h"
#include "ScopedTimings.h"
#include "ServiceEvents.h"
#include "ServiceRun.h"
#include "SrwLock.h"
#include "StandIn.h"
#include "TestLayout.h"
#include "TestSystem.h"

#include <SimulatedBus.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <thread>

namespace vyx::service {
namespace {

using test::Describe;
using test::EventRecorder;
using test::ExpectLine;
using test::ExpectStarts;
using test::RecordedEvent;

const SERVICE_STATUS_HANDLE kStatusHandle = reinterpret_cast<SERVICE_STATUS_HANDLE>(static_cast<ULONG_PTR>(0x5100));
const HDEVNOTIFY kNotification = reinterpret_cast<HDEVNOTIFY>(static_cast<ULONG_PTR>(0x5200));

// Threads: the run's threads report; the test reads. m_lock guards m_sent.
class ManagerStandIn {
public:
    ManagerStandIn() : m_reported(::CreateEventW(nullptr, FALSE, FALSE, nullptr))
    {
        m_hooks->registerControlHandler = [](LPHANDLER_FUNCTION_EX, void*) { return kStatusHandle; };
        m_hooks->sendServiceStatus = [this](SERVICE_STATUS_HANDLE handle, SERVICE_STATUS* status) {
            {
                win::ExclusiveLock hold(m_lock);
                m_sent.push_back(*status);
            }
            ::SetEvent(m_reported.Get());
            return handle == kStatusHandle ? TRUE : FALSE;
        };
        m_hooks->registerDeviceNotification = [](SERVICE_STATUS_HANDLE handle) {
            return handle == kStatusHandle ? kNotification : nullptr;
        };
        m_hooks->unregisterDeviceNotification = [](HDEVNOTIFY notification) {
            return notification == kNotification ? TRUE : FALSE;
        };
    }

    sys::TestHooks* operator->() { return m_hooks.operator->(); }

    std::vector<SERVICE_STATUS> Sent() const
    {
        win::ExclusiveLock hold(m_lock);
        return m_sent;
    }
    std::vector<DWORD> States() const
    {
        std::vector<DWORD> states;
        for (const SERVICE_STATUS& status : Sent()) {
            states.push_back(status.dwCurrentState);
        }
        return states;
    }
    // The limit only guards against a hang.
    bool WaitForState(DWORD state)
    {
        for (;;) {
            const std::vector<DWORD> states = States();
            if (std::find(states.begin(), states.end(), state) != states.end()) {
                return true;
            }
            if (::WaitForSingleObject(m_reported.Get(), 60000) != WAIT_OBJECT_0) {
                return false;
            }
        }
    }

private:
    sys::ScopedTestHooks m_hooks;
    win::UniqueHandle m_reported;
    mutable SRWLOCK m_lock = SRWLOCK_INIT;
    std::vector<SERVICE_STATUS> m_sent;
};

bool HasPassLine(const std::vector<RecordedEvent>& lines)
{
    return std::any_of(lines.begin(), lines.end(), [](const RecordedEvent& e) {
        return e.id == kEventReconcileSummary || e.id == kEventModelDegraded || e.id == kEventActionSucceeded;
    });
}

class ServiceRunTest : public test::CleanSlateTest {
protected:
    static const std::vector<DWORD> kStoppedByAControl;
};

// START_PENDING, RUNNING, the handler's STOP_PENDING, the main function's, STOPPED.
const std::vector<DWORD> ServiceRunTest::kStoppedByAControl = {SERVICE_START_PENDING, SERVICE_RUNNING,
                                                              SERVICE_STOP_PENDING, SERVICE_STOP_PENDING,
                                                              SERVICE_STOPPED};

// The service manager refuses a stop to a service that still reports START_PENDING, so the
// start-up wait (15 s) and the first pass must come after RUNNING. Only the first stop acts.
TEST_F(ServiceRunTest, ReportsRunningBeforeTheStartupWaitAndTakesAStopInIt)
{
    const test::ScopedTimings shipped(kShippedTimings);
    EventRecorder events;
    ManagerStandIn manager;
    ServiceRun run;
    std::thread main([&run] { run.Run(); });
    ASSERT_TRUE(manager.WaitForState(SERVICE_RUNNING));
    EXPECT_FALSE(HasPassLine(events.Events())) << Describe(events.Events());
    EXPECT_EQ(manager.Sent().back().dwControlsAccepted, static_cast<DWORD>(SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_SHUTDOWN));

    EXPECT_EQ(run.Control(SERVICE_CONTROL_PAUSE, 0, nullptr), static_cast<DWORD>(ERROR_CALL_NOT_IMPLEMENTED));
    EXPECT_EQ(run.Control(SERVICE_CONTROL_INTERROGATE, 0, nullptr), static_cast<DWORD>(NO_ERROR));
    for (DWORD control : {SERVICE_CONTROL_STOP, SERVICE_CONTROL_STOP, SERVICE_CONTROL_SHUTDOWN}) {
        EXPECT_EQ(run.Control(control, 0, nullptr), static_cast<DWORD>(NO_ERROR));
    }
    main.join();

    EXPECT_EQ(manager.States(), kStoppedByAControl);
    EXPECT_EQ(manager.Sent().back().dwWin32ExitCode, 0u);
    const auto lines = events.Events();
    ASSERT_EQ(lines.size(), 2u) << Describe(lines);
    ExpectStarts(lines[0], EVENTLOG_INFORMATION_TYPE, 1000, L"VYXDshowService started. native64BitWindows=1");
    ExpectLine(lines[1], EVENTLOG_INFORMATION_TYPE, 1001, L"VYXDshowService stopped.");
}

// A registration that hangs in the first pass: the stop ends it and the service at once.
TEST_F(ServiceRunTest, RunsTheFirstPassAfterRunningAndAStopEndsItsHangingRegistration)
{
    ServiceTimings timings = kShippedTimings;
    timings.startupWaitMs = 0;
    const test::ScopedTimings quickStart(timings);
    const CameraModel& row = CameraModelTable::Row(6);
    std::wstring path;
    ASSERT_TRUE(BuildDllPath(row, FilterArch::X86, path));
    ASSERT_TRUE(test::WriteFileBytes(path, test::MinimalPeImage(IMAGE_FILE_MACHINE_I386)));
    ASSERT_EQ(vyx::sim::bus::Plug(row.displayName), ERROR_SUCCESS);

    EventRecorder events;
    test::StandIn standIn(L"hang");
    ManagerStandIn manager;
    ServiceRun run;
    std::thread main([&run] { run.Run(); });
    ASSERT_EQ(::WaitForSingleObject(standIn.Started(), 60000), WAIT_OBJECT_0);
    EXPECT_EQ(manager.States().back(), static_cast<DWORD>(SERVICE_RUNNING));
    EXPECT_EQ(run.Control(SERVICE_CONTROL_STOP, 0, nullptr), static_cast<DWORD>(NO_ERROR));
    main.join();

    EXPECT_EQ(manager.States(), kStoppedByAControl);
    EXPECT_EQ(manager.Sent().back().dwWin32ExitCode, 0u);
    EXPECT_FALSE(test::StandInStillRunning());
    const auto lines = events.Events();
    ASSERT_EQ(lines.size(), 4u) << Describe(lines);
    EXPECT_EQ(lines[0].id, 1000u);
    ExpectLine(lines[1], EVENTLOG_WARNING_TYPE, 1301,
               L"action=register model=" + std::wstring(row.displayName) +
                   L" arch=x86 attempt=1 error=1223 exitCode=0 verified=0");
    EXPECT_EQ(lines[2].id, 1301u);
    EXPECT_EQ(lines[2].type, EVENTLOG_ERROR_TYPE);
    EXPECT_EQ(lines[3].id, 1001u);
}

// A wait that fails ends the service with STOPPED and an error, so the manager's failure
// actions restart it; never with the 0 of a stop, even where the wait left no last error.
TEST_F(ServiceRunTest, AFailedWaitEndsTheServiceWithAnErrorEvenWithoutALastError)
{
    ServiceTimings timings = kShippedTimings;
    timings.startupWaitMs = 0;
    const test::ScopedTimings quickStart(timings);
    enum class Wait { WorkersStartup, WorkersIdle, WorkersDebounce, MainFunctions };
    struct Case {
        Wait failing;
        DWORD lastError;
        DWORD exitCode;
        const wchar_t* firstLine;  // the failed wait's line; the worker's adds its own end
    };
    const Case cases[] = {
        {Wait::WorkersStartup, ERROR_SUCCESS, ERROR_INTERNAL_ERROR, L"startup wait failed. error=1359 "},
        {Wait::WorkersIdle, ERROR_INVALID_HANDLE, ERROR_INVALID_HANDLE, L"WaitForMultipleObjects failed. error=6 "},
        {Wait::MainFunctions, ERROR_SUCCESS, ERROR_INTERNAL_ERROR, L"service wait failed. error=1359 "},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.failing));
        EventRecorder events;
        ManagerStandIn manager;
        ServiceRun run;
        const HANDLE change = run.Signals().ChangeEvent();
        manager->waitForAny = [&c, change](DWORD count, const HANDLE* handles, DWORD timeoutMs) -> DWORD {
            const Wait wait = count == 1              ? Wait::WorkersStartup
                              : handles[1] != change  ? Wait::MainFunctions
                              : timeoutMs == INFINITE ? Wait::WorkersIdle
                                                      : Wait::WorkersDebounce;
            if (wait == c.failing) {
                ::SetLastError(c.lastError);
                return WAIT_FAILED;
            }
            return ::WaitForMultipleObjects(count, handles, FALSE, timeoutMs);
        };
        run.Run();

        const std::vector<DWORD> failed = {SERVICE_START_PENDING, SERVICE_RUNNING, SERVICE_STOPPED};
        EXPECT_EQ(manager.States(), failed);
        EXPECT_EQ(manager.Sent().back().dwWin32ExitCode, c.exitCode);
        std::vector<RecordedEvent> lines = events.WithId(kEventApiFailure);
        ASSERT_FALSE(lines.empty()) << Describe(events.Events());
        EXPECT_TRUE(test::StartsWith(lines[0].line, c.firstLine)) << test::Narrow(lines[0].line);
        if (c.failing != Wait::MainFunctions) {
            ASSERT_EQ(lines.size(), 2u) << Describe(events.Events());
            EXPECT_TRUE(test::StartsWith(lines[1].line, L"reconcile worker failed. error=" +
                                                            std::to_wstring(c.exitCode) + L" "))
                << test::Narrow(lines[1].line);
        }
        EXPECT_TRUE(events.WithId(kEventServiceStopped).empty());
    }
}

// A start-up step that fails ends the run with its error; a stop that arrives after
// STOPPED sends nothing, so the manager never sees a stopping service whose process exits.
TEST_F(ServiceRunTest, AFailedStartupStepStopsWithItsErrorAndNothingFollows)
{
    EventRecorder events;
    ManagerStandIn manager;
    manager->registerDeviceNotification = [](SERVICE_STATUS_HANDLE) -> HDEVNOTIFY {
        ::SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    };
    ServiceRun run;
    run.Run();
    EXPECT_EQ(run.Control(SERVICE_CONTROL_STOP, 0, nullptr), static_cast<DWORD>(NO_ERROR));

    const std::vector<DWORD> failed = {SERVICE_START_PENDING, SERVICE_STOPPED};
    EXPECT_EQ(manager.States(), failed);
    EXPECT_EQ(manager.Sent().back().dwWin32ExitCode, static_cast<DWORD>(ERROR_NOT_ENOUGH_MEMORY));
    const auto lines = events.Events();
    ASSERT_EQ(lines.size(), 1u) << Describe(lines);
    ExpectStarts(lines[0], EVENTLOG_ERROR_TYPE, 1400, L"RegisterDeviceNotificationW failed. error=8 ");
}

}  // namespace
}  // namespace vyx::service
