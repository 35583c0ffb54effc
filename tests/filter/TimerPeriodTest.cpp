// The streaming thread holds a 1 ms system timer period exactly while it exists: one
// begin when it starts, one end when it stops, through every way a stream starts and ends.
#include <gtest/gtest.h>

#include <atomic>

#include "FilterFixture.h"
#include "FilterTestSupport.h"
#include "ModelDescriptor.h"
#include "SimulatedBus.h"
#include "StreamingTimerPeriod.h"

using namespace vyx::test;

namespace {

std::atomic<int> g_begins{0};
std::atomic<int> g_ends{0};
std::atomic<UINT> g_lastPeriod{0};

MMRESULT WINAPI CountBegin(UINT period) {
    g_lastPeriod = period;
    ++g_begins;
    return TIMERR_NOERROR;
}

MMRESULT WINAPI RefuseBegin(UINT) {
    ++g_begins;
    return TIMERR_NOCANDO;
}

MMRESULT WINAPI CountEnd(UINT period) {
    g_lastPeriod = period;
    ++g_ends;
    return TIMERR_NOERROR;
}

class TimerPeriod : public FilterFixture {
protected:
    void SetUp() override {
        m_saved = vyx::StreamingTimerPeriodCalls();
        vyx::StreamingTimerPeriodCalls() = {&CountBegin, &CountEnd};
        g_begins = 0;
        g_ends = 0;
        g_lastPeriod = 0;
        FilterFixture::SetUp();
        if (HasFatalFailure()) return;
        m_camera->SetSwitch(vyx::sim::bus::kSwitchNoPacing, 1);
        ASSERT_EQ(MakeConnectedGraph(m_filter.Get(), &m_graph), S_OK);
    }
    void TearDown() override {
        if (m_graph.control) m_graph.control->Stop();
        vyx::StreamingTimerPeriodCalls() = m_saved;
    }

    vyx::TimerPeriodCalls m_saved{};
    Graph m_graph;
};

TEST_F(TimerPeriod, RaisedWhileStreamingAndEndedOnceAtEveryStop) {
    for (int round = 1; round <= 3; ++round) {
        // Run, and a pause before it in the second round: one streaming thread either way.
        if (round == 2) {
            ASSERT_TRUE(SUCCEEDED(m_graph.control->Pause()));
        }
        ASSERT_TRUE(SUCCEEDED(m_graph.control->Run()));
        EXPECT_EQ(g_begins, round);
        EXPECT_EQ(g_ends, round - 1);
        EXPECT_EQ(g_lastPeriod, 1u);
        ASSERT_TRUE(SUCCEEDED(m_graph.control->Pause()));
        EXPECT_EQ(g_begins, round) << "a pause of a running stream keeps its thread";
        ASSERT_TRUE(SUCCEEDED(m_graph.control->Stop()));
        EXPECT_EQ(g_begins, round);
        EXPECT_EQ(g_ends, round);
        EXPECT_EQ(g_lastPeriod, 1u);
    }
}

TEST_F(TimerPeriod, FailedStartEndsThePeriodItBegan) {
    // A pin without a camera cannot start its streaming thread.
    ComPtr<ICameraInstance> instance;
    ASSERT_EQ(m_filter->QueryInterface(vyx::g_ModelDescriptor.cameraInstanceIid, &instance), S_OK);
    ASSERT_EQ(instance->SetCamera(nullptr), S_OK);
    EXPECT_EQ(m_filter->Pause(), VFW_E_NOT_CONNECTED);
    m_filter->Stop();
    EXPECT_EQ(g_begins, 1);
    EXPECT_EQ(g_ends, 1);
}

TEST_F(TimerPeriod, PeriodTheSystemRefusedIsNotEnded) {
    vyx::StreamingTimerPeriodCalls() = {&RefuseBegin, &CountEnd};
    ASSERT_TRUE(SUCCEEDED(m_graph.control->Run()));
    ASSERT_TRUE(SUCCEEDED(m_graph.control->Stop()));
    EXPECT_EQ(g_begins, 1);
    EXPECT_EQ(g_ends, 0);
}

TEST_F(TimerPeriod, ReleasingARunningFilterEndsThePeriod) {
    ASSERT_TRUE(SUCCEEDED(m_graph.control->Run()));
    ASSERT_EQ(g_begins, 1);
    m_graph.control.Reset();
    m_graph = Graph{};
    m_filter.Reset();
    EXPECT_EQ(g_ends, 1);
}

}  // namespace
