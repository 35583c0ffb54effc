// Stopping the installed service before an install or uninstall, against a service manager
// that answers as Windows does: a service still starting refuses the stop with 1061. Wine
// lets such a stop through, so the answers come from a script.
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

}  // namespace
}  // namespace vyx::service
