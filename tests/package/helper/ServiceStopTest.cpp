// Stopping the service before an upgrade replaces its files, against a service manager that
// answers as Windows does where Wine does not: a STOPPED status while the process is still
// ending, a stop refused during the start-up wait, a service kept "marked for deletion" by a
// handle someone else holds. The fake's clock moves only when the stopper pauses.
#include "ServiceStop.h"

#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <vector>

namespace vyx::setup {
namespace {

class ScriptedService : public ServiceControl {
public:
    std::deque<ServiceSnapshot> statuses;  // one per Query; the last one repeats
    std::deque<DWORD> stopAnswers;         // one per SendStop; then 0
    DWORD touchAnswer = ERROR_SUCCESS;
    DWORD processEnd = ERROR_SUCCESS;      // what WaitForProcess answers
    std::vector<std::string> calls;
    ULONGLONG clock = 0;

    DWORD Query(ServiceSnapshot& snapshot) override
    {
        calls.push_back("query");
        snapshot = statuses.front();
        if (statuses.size() > 1) {
            statuses.pop_front();
        }
        return ERROR_SUCCESS;
    }
    DWORD SendStop() override
    {
        calls.push_back("stop");
        if (stopAnswers.empty()) {
            return ERROR_SUCCESS;
        }
        const DWORD answer = stopAnswers.front();
        stopAnswers.pop_front();
        return answer;
    }
    DWORD TouchConfiguration() override
    {
        calls.push_back("touch");
        return touchAnswer;
    }
    DWORD WatchProcess(DWORD processId) override
    {
        calls.push_back("watch " + std::to_string(processId));
        return ERROR_SUCCESS;
    }
    DWORD WaitForProcess(DWORD) override
    {
        calls.push_back("wait process");
        return processEnd;
    }
    void Pause(DWORD ms) override { clock += ms; }
    ULONGLONG Now() override { return clock; }
};

TEST(ServiceStopTest, AServiceReportingStoppedBeforeItsProcessEndsIsWaitedFor_WindowsOrderThroughAFake)
{
    ScriptedService service;
    service.statuses = {{SERVICE_RUNNING, 7}, {SERVICE_STOP_PENDING, 7}, {SERVICE_STOPPED, 0}};
    StopResult result = StopServiceAndProcess(service);
    EXPECT_EQ(result.error, static_cast<DWORD>(ERROR_SUCCESS));
    EXPECT_TRUE(result.wasRunning);
    // The process is opened before the stop, so its identifier names it; waited for last.
    EXPECT_EQ(service.calls, (std::vector<std::string>{"touch", "query", "watch 7", "stop", "query", "query",
                                                       "wait process"}));

    ScriptedService lingering;
    lingering.statuses = {{SERVICE_RUNNING, 7}, {SERVICE_STOPPED, 0}};
    lingering.processEnd = ERROR_TIMEOUT;
    EXPECT_EQ(StopServiceAndProcess(lingering).error, static_cast<DWORD>(ERROR_TIMEOUT));
}

TEST(ServiceStopTest, AServiceInItsStartUpIsAskedAgainUntilItTakesTheStop_RefusalThroughAFake)
{
    ScriptedService service;
    service.statuses = {{SERVICE_START_PENDING, 9}, {SERVICE_START_PENDING, 9}, {SERVICE_START_PENDING, 9},
                        {SERVICE_STOP_PENDING, 9}, {SERVICE_STOPPED, 0}};
    service.stopAnswers = {ERROR_SERVICE_CANNOT_ACCEPT_CTRL, ERROR_SERVICE_CANNOT_ACCEPT_CTRL};
    EXPECT_EQ(StopServiceAndProcess(service).error, static_cast<DWORD>(ERROR_SUCCESS));
    EXPECT_EQ(std::count(service.calls.begin(), service.calls.end(), "stop"), 3);

    // Refused while running is a real failure, said at once.
    ScriptedService refusing;
    refusing.statuses = {{SERVICE_RUNNING, 9}};
    refusing.stopAnswers = {ERROR_SERVICE_CANNOT_ACCEPT_CTRL};
    EXPECT_EQ(StopServiceAndProcess(refusing).error, static_cast<DWORD>(ERROR_SERVICE_CANNOT_ACCEPT_CTRL));
}

TEST(ServiceStopTest, AServiceMarkedForDeletionIsToldBeforeAnythingStops_HeldHandleThroughAFake)
{
    ScriptedService service;
    service.statuses = {{SERVICE_RUNNING, 7}};
    service.touchAnswer = ERROR_SERVICE_MARKED_FOR_DELETE;
    const StopResult result = StopServiceAndProcess(service);
    EXPECT_EQ(result.error, static_cast<DWORD>(ERROR_SERVICE_MARKED_FOR_DELETE));
    EXPECT_EQ(service.calls, std::vector<std::string>{"touch"});
}

TEST(ServiceStopTest, AStoppedServiceNeedsNothingAndOneThatNeverStopsTimesOut)
{
    ScriptedService stopped;
    stopped.statuses = {{SERVICE_STOPPED, 0}};
    const StopResult idle = StopServiceAndProcess(stopped);
    EXPECT_EQ(idle.error, static_cast<DWORD>(ERROR_SUCCESS));
    EXPECT_FALSE(idle.wasRunning);

    ScriptedService stuck;
    stuck.statuses = {{SERVICE_RUNNING, 7}, {SERVICE_STOP_PENDING, 7}};
    EXPECT_EQ(StopServiceAndProcess(stuck, 1000, 1000, 250).error, static_cast<DWORD>(ERROR_TIMEOUT));
    EXPECT_EQ(stuck.clock, 1000u);
}

}  // namespace
}  // namespace vyx::setup
