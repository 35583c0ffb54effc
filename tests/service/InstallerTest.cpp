// What the installer asks of the service manager where Wine answers differently from
// Windows, so the answers come from a script: the configuration, whose failure actions Wine
// neither keeps nor returns (and whose flag it refuses), and stopping the installed service
// before an install or uninstall, which Windows refuses (1061) while the service starts.
#include "EventRecorder.h"
#include "Installer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace vyx::service {
namespace {

// Each query answers the next scripted state (the last one repeats); each stop answers the
// next scripted error (the last one repeats) and counts.
class ScriptedStopControl : public ServiceStopControl {
public:
    ScriptedStopControl(std::vector<DWORD> states, std::vector<DWORD> stopAnswers)
        : m_states(std::move(states)), m_stopAnswers(std::move(stopAnswers)) {}
    DWORD Query(SERVICE_STATUS_PROCESS& status) override {
        status.dwCurrentState = m_states[std::min(m_queries++, m_states.size() - 1)];
        return ERROR_SUCCESS;
    }
    DWORD SendStop() override { return m_stopAnswers[std::min(m_stops++, m_stopAnswers.size() - 1)]; }

    std::size_t Stops() const { return m_stops; }

private:
    std::vector<DWORD> m_states;
    std::vector<DWORD> m_stopAnswers;
    std::size_t m_queries = 0;
    std::size_t m_stops = 0;
};

constexpr DWORD kNotYet = ERROR_SERVICE_CANNOT_ACCEPT_CTRL;

TEST(StopServiceTest, AStartingServiceIsAskedAgainUntilItTakesTheStop) {
    ScriptedStopControl service({SERVICE_START_PENDING, SERVICE_START_PENDING, SERVICE_START_PENDING,
                                 SERVICE_START_PENDING, SERVICE_STOP_PENDING, SERVICE_STOPPED},
                                {kNotYet, kNotYet, kNotYet, ERROR_SUCCESS});
    EXPECT_EQ(StopServiceAndWait(service, 60000, 1), static_cast<DWORD>(ERROR_SUCCESS));
    EXPECT_EQ(service.Stops(), 4u);
}

TEST(StopServiceTest, AStopTakenOnceIsNeverSentAgain) {
    ScriptedStopControl running({SERVICE_RUNNING, SERVICE_RUNNING, SERVICE_STOP_PENDING, SERVICE_STOPPED},
                                {ERROR_SUCCESS});
    EXPECT_EQ(StopServiceAndWait(running, 60000, 1), static_cast<DWORD>(ERROR_SUCCESS));
    EXPECT_EQ(running.Stops(), 1u);
    // Stopping already, or stopped: nothing to send.
    ScriptedStopControl stopping({SERVICE_STOP_PENDING, SERVICE_STOPPED}, {ERROR_ACCESS_DENIED});
    EXPECT_EQ(StopServiceAndWait(stopping, 60000, 1), static_cast<DWORD>(ERROR_SUCCESS));
    EXPECT_EQ(stopping.Stops(), 0u);
    // It stopped between the query and the stop.
    ScriptedStopControl gone({SERVICE_RUNNING, SERVICE_STOPPED}, {ERROR_SERVICE_NOT_ACTIVE});
    EXPECT_EQ(StopServiceAndWait(gone, 60000, 1), static_cast<DWORD>(ERROR_SUCCESS));
}

TEST(StopServiceTest, OtherRefusalsEndAtOnceAndAStartThatNeverEndsTimesOut) {
    // 1061 from a running service is a real refusal, as is any other error.
    ScriptedStopControl running({SERVICE_RUNNING}, {kNotYet});
    EXPECT_EQ(StopServiceAndWait(running, 60000, 1), kNotYet);
    EXPECT_EQ(running.Stops(), 1u);
    ScriptedStopControl denied({SERVICE_START_PENDING}, {ERROR_ACCESS_DENIED});
    EXPECT_EQ(StopServiceAndWait(denied, 60000, 1), static_cast<DWORD>(ERROR_ACCESS_DENIED));

    ScriptedStopControl starting({SERVICE_START_PENDING}, {kNotYet});
    EXPECT_EQ(StopServiceAndWait(starting, 50, 1), static_cast<DWORD>(ERROR_TIMEOUT));
    EXPECT_GT(starting.Stops(), 1u);
}

// Records each configuration call and answers with the next scripted error (0 once the
// script runs out).
class RecordingConfigControl : public ServiceConfigControl {
public:
    explicit RecordingConfigControl(std::vector<DWORD> answers = {}) : m_answers(std::move(answers)) {}
    DWORD ChangeConfig(const std::wstring& binaryPath) override
    {
        m_binaryPath = binaryPath;
        return Answer();
    }
    DWORD ChangeConfig2(DWORD level, void* info) override
    {
        m_levels.push_back(level);
        if (level == SERVICE_CONFIG_FAILURE_ACTIONS) {
            const auto* failure = static_cast<SERVICE_FAILURE_ACTIONSW*>(info);
            m_resetPeriod = failure->dwResetPeriod;
            m_actions.assign(failure->lpsaActions, failure->lpsaActions + failure->cActions);
            m_noMessageOrCommand = failure->lpRebootMsg == nullptr && failure->lpCommand == nullptr;
        } else if (level == SERVICE_CONFIG_FAILURE_ACTIONS_FLAG) {
            m_onStoppedWithError = static_cast<SERVICE_FAILURE_ACTIONS_FLAG*>(info)->fFailureActionsOnNonCrashFailures;
        }
        return Answer();
    }

    std::wstring m_binaryPath;
    std::vector<DWORD> m_levels;
    DWORD m_resetPeriod = 0;
    std::vector<SC_ACTION> m_actions;
    bool m_noMessageOrCommand = false;
    BOOL m_onStoppedWithError = FALSE;

private:
    DWORD Answer() { return m_calls < m_answers.size() ? m_answers[m_calls++] : ERROR_SUCCESS; }
    std::vector<DWORD> m_answers;
    std::size_t m_calls = 0;
};

// A worker that dies makes the service report STOPPED with an error; Windows restarts such a
// service only when the failure-actions flag is set as well as the actions.
TEST(ServiceConfigurationTest, FailureActionsRestartAServiceThatStopsWithAnError_AnsweredAsWindows)
{
    test::EventRecorder events;
    RecordingConfigControl windows;
    EXPECT_EQ(UpdateServiceConfiguration(windows, L"\"C:\\VYX\\VYXCamService.exe\""), 0u);
    EXPECT_EQ(windows.m_binaryPath, L"\"C:\\VYX\\VYXCamService.exe\"");
    const std::vector<DWORD> levels = {SERVICE_CONFIG_DESCRIPTION, SERVICE_CONFIG_FAILURE_ACTIONS,
                                       SERVICE_CONFIG_FAILURE_ACTIONS_FLAG};
    EXPECT_EQ(windows.m_levels, levels);
    EXPECT_EQ(windows.m_resetPeriod, 86400u);
    EXPECT_TRUE(windows.m_noMessageOrCommand);
    ASSERT_EQ(windows.m_actions.size(), 3u);
    EXPECT_EQ(windows.m_actions[0].Type, SC_ACTION_RESTART);
    EXPECT_EQ(windows.m_actions[0].Delay, 5000u);
    EXPECT_EQ(windows.m_actions[1].Type, SC_ACTION_RESTART);
    EXPECT_EQ(windows.m_actions[1].Delay, 15000u);
    EXPECT_EQ(windows.m_actions[2].Type, SC_ACTION_NONE);
    EXPECT_TRUE(windows.m_onStoppedWithError);
    EXPECT_TRUE(events.Events().empty()) << test::Describe(events.Events());
}

// Wine refuses the flag (ERROR_INVALID_LEVEL): the install goes on and says so; any other
// refusal of any step ends it with that error.
TEST(ServiceConfigurationTest, APlatformWithoutTheFlagIsWarnedAboutAndOtherRefusalsFail)
{
    test::EventRecorder events;
    RecordingConfigControl wine({ERROR_SUCCESS, ERROR_SUCCESS, ERROR_SUCCESS, ERROR_INVALID_LEVEL});
    EXPECT_EQ(UpdateServiceConfiguration(wine, L"x"), 0u);
    const auto lines = events.Events();
    ASSERT_EQ(lines.size(), 1u) << test::Describe(lines);
    test::ExpectLine(lines[0], EVENTLOG_WARNING_TYPE, 1400,
                     L"failure actions for a service that stops with an error not set: the service manager does not "
                     L"know the setting. error=124");

    for (std::size_t refused = 0; refused < 4; ++refused) {
        std::vector<DWORD> answers(refused, ERROR_SUCCESS);
        answers.push_back(ERROR_ACCESS_DENIED);
        RecordingConfigControl denied(answers);
        EXPECT_EQ(UpdateServiceConfiguration(denied, L"x"), static_cast<DWORD>(ERROR_ACCESS_DENIED)) << refused;
        EXPECT_EQ(denied.m_levels.size(), refused) << refused;
    }
}

}  // namespace
}  // namespace vyx::service
