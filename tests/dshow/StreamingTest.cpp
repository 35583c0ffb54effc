// The source stream's worker thread and buffer loop against a hand-written downstream pin:
// one thread per activation, end-of-stream, failed starts, teardown while active, and no
// framework lock held while the loop delivers or while a stop waits for the thread.
#include <streams.h>
#include <wrl/client.h>

#include <gtest/gtest.h>

#include "ComTest.h"
#include "TestAllocator.h"
#include "TestSinkPin.h"
#include "TestSource.h"
#include "VideoTypes.h"

using Microsoft::WRL::ComPtr;

namespace vyx::dshow::test {
namespace {

class StreamingTest : public ComTest {
protected:
    void Connect(const StreamScript& script, const SinkScript& sinkScript)
    {
        m_filter = TestSource::Create(script, &m_stream);
        ASSERT_EQ(m_filter.As(&m_media), S_OK);
        m_in = TestSinkPin::Create(sinkScript, &m_sink);
        ASSERT_EQ(m_stream->Connect(m_in.Get(), nullptr), S_OK);
    }
    // True once the sink has received `count` samples in all.
    bool WaitForSamples(int count)
    {
        while (m_sink->samples < count) {
            if (WaitForSingleObject(m_sink->sampleArrived, kHangGuardMs) != WAIT_OBJECT_0)
                return false;
        }
        return true;
    }
    void TearDown() override
    {
        if (m_media != nullptr) {
            m_media->Stop();
            m_stream->Disconnect();
            m_in->Disconnect();
        }
        m_media.Reset();
        m_in.Reset();
        m_filter.Reset();
        EXPECT_EQ(TestSource::s_live, 0);
        ComTest::TearDown();
    }

    ComPtr<IBaseFilter> m_filter;
    ComPtr<IMediaFilter> m_media;
    TestStream* m_stream = nullptr;
    ComPtr<IPin> m_in;
    TestSinkPin* m_sink = nullptr;
};

StreamScript Rgb24(int framesBeforeEnd = -1, HRESULT endResult = S_FALSE)
{
    StreamScript script;
    script.subtypes = {MEDIASUBTYPE_RGB24};
    script.framesBeforeEnd = framesBeforeEnd;
    script.endResult = endResult;
    return script;
}

TEST_F(StreamingTest, EachActivationRunsOneStreamingThreadUntilStop)
{
    Connect(Rgb24(), SinkScript{});
    for (int cycle = 1; cycle <= 3; ++cycle) {
        ASSERT_EQ(m_media->Pause(), S_OK);
        EXPECT_EQ(m_stream->threadCreates, cycle) << "the thread starts once per activation";
        EXPECT_TRUE(m_stream->StreamingThreadAlive());
        EXPECT_NE(m_stream->streamingThreadId, GetCurrentThreadId());
        ASSERT_EQ(m_media->Run(0), S_OK);
        ASSERT_EQ(m_media->Pause(), S_OK);
        ASSERT_EQ(m_media->Run(0), S_OK);
        EXPECT_EQ(m_stream->threadCreates, cycle) << "pause and run do not restart it";
        FILTER_STATE state;
        ASSERT_EQ(m_media->GetState(0, &state), S_OK);
        EXPECT_EQ(state, State_Running);

        {
            // The loop takes no framework lock: samples keep coming while the state lock is held.
            CAutoLock stateLock(m_stream->StateLock());
            ASSERT_TRUE(WaitForSamples(m_sink->samples + 5));
        }

        ASSERT_EQ(m_media->Stop(), S_OK);
        EXPECT_EQ(m_stream->threadDestroys, cycle) << "stop ends the thread before it returns";
        EXPECT_FALSE(m_stream->StreamingThreadAlive());
        EXPECT_EQ(m_sink->receiveThreadId, m_stream->streamingThreadId) << "delivery runs on the streaming thread";
        EXPECT_EQ(m_media->Stop(), S_OK);
        EXPECT_EQ(m_stream->threadDestroys, cycle);
    }
    EXPECT_EQ(m_stream->startPlays, 3);
    EXPECT_EQ(m_sink->endOfStreams, 0);
}

TEST_F(StreamingTest, EndOfStreamOrFailureEndsTheRunUntilTheNextStart)
{
    Connect(Rgb24(4, S_FALSE), SinkScript{});
    ASSERT_EQ(m_media->Run(0), S_OK);
    ASSERT_EQ(WaitForSingleObject(m_sink->endOfStream, kHangGuardMs), WAIT_OBJECT_0);
    EXPECT_EQ(m_sink->samples, 4);
    EXPECT_EQ(m_sink->endOfStreams, 1);
    EXPECT_TRUE(m_stream->StreamingThreadAlive()) << "the thread waits for the next command";
    ASSERT_EQ(m_media->Stop(), S_OK);
    EXPECT_EQ(m_stream->threadDestroys, 1);

    m_sink->endOfStream.Reset();
    ASSERT_EQ(m_media->Run(0), S_OK);
    ASSERT_EQ(WaitForSingleObject(m_sink->endOfStream, kHangGuardMs), WAIT_OBJECT_0);
    EXPECT_EQ(m_sink->endOfStreams, 2) << "a new start runs the loop again";
    EXPECT_EQ(m_stream->startPlays, 2);
    ASSERT_EQ(m_media->Stop(), S_OK);
    m_stream->Disconnect();
    m_in->Disconnect();

    // A failure outside a graph: end-of-stream still goes downstream, the event has no sink.
    m_in = TestSinkPin::Create(SinkScript{}, &m_sink);
    ComPtr<IBaseFilter> failing = TestSource::Create(Rgb24(2, E_ACCESSDENIED), &m_stream);
    m_filter.Swap(failing);
    failing.Reset();
    ASSERT_EQ(m_filter.As(&m_media), S_OK);
    ASSERT_EQ(m_stream->Connect(m_in.Get(), nullptr), S_OK);
    ASSERT_EQ(m_media->Pause(), S_OK);
    ASSERT_EQ(WaitForSingleObject(m_sink->endOfStream, kHangGuardMs), WAIT_OBJECT_0);
    EXPECT_EQ(m_sink->samples, 2);
    ASSERT_EQ(m_media->Stop(), S_OK);
    EXPECT_EQ(m_stream->threadDestroys, 1);
}

TEST_F(StreamingTest, LiveSourceDeliversFromRunAndDropsFillsThatGaveWayToAStateChange)
{
    StreamScript script = Rgb24();
    script.live = true;
    script.stateChangedFills = 3;
    Connect(script, SinkScript{});
    ASSERT_EQ(m_media->Pause(), S_OK);
    EXPECT_TRUE(m_stream->StreamingThreadAlive());
    Sleep(300);
    EXPECT_EQ(m_stream->fills + m_stream->stateChangedFills, 0) << "a live source fills nothing while paused";
    EXPECT_EQ(m_sink->samples, 0);

    ASSERT_EQ(m_media->Run(0), S_OK);
    ASSERT_TRUE(WaitForSamples(5));
    EXPECT_EQ(m_stream->stateChangedFills, 3);
    EXPECT_EQ(m_sink->endOfStreams, 0) << "a fill that gave way is no end and no failure";
    EXPECT_EQ(m_stream->startPlays, 1);
    ASSERT_EQ(m_media->Stop(), S_OK);
    EXPECT_EQ(m_stream->threadDestroys, 1);
}

// A command the running loop answers is answered once: a second, stale reply would answer
// the next command before the worker has seen it, with the wrong result.
TEST_F(StreamingTest, EveryCommandToARunningLoopIsAnsweredOnce)
{
    Connect(Rgb24(), SinkScript{});
    ASSERT_EQ(m_media->Run(0), S_OK);
    ASSERT_TRUE(WaitForSamples(2));
    for (int round = 0; round < 3; ++round) {
        EXPECT_EQ(m_stream->Pause(), S_OK) << round;
        EXPECT_EQ(m_stream->Run(), S_OK) << round;
    }
    ASSERT_TRUE(WaitForSamples(m_sink->samples + 2)) << "the loop still delivers";
    ASSERT_EQ(m_media->Stop(), S_OK);
    EXPECT_EQ(m_stream->threadDestroys, 1);
}

// A paused renderer refuses with VFW_E_WRONG_STATE: the refused sample's times are the
// source's to take back, or the next run starts a frame late.
TEST_F(StreamingTest, ASampleDownstreamRefusesIsHandedBackNotCounted)
{
    StreamScript script = Rgb24();
    script.live = true;
    SinkScript sink;
    sink.refuseFromSample = 3;
    Connect(script, sink);
    ASSERT_EQ(m_media->Run(0), S_OK);
    ASSERT_TRUE(WaitForSamples(3));
    ASSERT_EQ(m_media->Stop(), S_OK);
    EXPECT_EQ(m_sink->samples, 3) << "the refusal ends the run";
    EXPECT_EQ(m_stream->notDelivered, 1);
}

TEST_F(StreamingTest, FailedThreadStartFailsThePauseAndLeavesNothingRunning)
{
    StreamScript script = Rgb24();
    script.threadCreateResult = E_OUTOFMEMORY;
    Connect(script, SinkScript{});
    EXPECT_EQ(m_media->Pause(), E_OUTOFMEMORY);
    EXPECT_EQ(m_stream->threadCreates, 1);
    EXPECT_EQ(m_stream->threadDestroys, 1) << "the failed start is cleaned up at once";
    EXPECT_FALSE(m_stream->StreamingThreadAlive()) << "the thread is joined, not left behind";
    FILTER_STATE state;
    ASSERT_EQ(m_media->GetState(0, &state), S_OK);
    EXPECT_EQ(state, State_Stopped);
    ComPtr<IMediaSample> sample;
    EXPECT_EQ(m_stream->Allocator()->GetBuffer(sample.GetAddressOf(), nullptr, nullptr, 0), VFW_E_NOT_COMMITTED);
    EXPECT_EQ(m_media->Run(0), E_OUTOFMEMORY);
    EXPECT_EQ(m_stream->threadCreates, 2);
    EXPECT_EQ(m_media->Stop(), S_OK);
    EXPECT_EQ(m_stream->threadDestroys, 2);
    EXPECT_EQ(m_sink->samples, 0);
    EXPECT_EQ(m_stream->Disconnect(), S_OK) << "the failed start left the filter stopped";
}

TEST_F(StreamingTest, LastReleaseOfAnActiveFilterStopsItsThreadFirst)
{
    std::atomic<int> destroyed{0};
    StreamScript script = Rgb24();
    script.destroyed = &destroyed;
    Connect(script, SinkScript{});
    ASSERT_EQ(m_media->Run(0), S_OK);
    ASSERT_TRUE(WaitForSamples(3));

    // Downstream lets go of the pin; the application releases the running filter.
    m_in->Disconnect();
    m_media.Reset();
    m_filter.Reset();
    EXPECT_EQ(TestSource::s_live, 0);
    EXPECT_EQ(destroyed, 1) << "the streaming thread ended inside the last release";
}

TEST_F(StreamingTest, StopWaitsForTheThreadWithoutHoldingTheStateLock)
{
    std::atomic<bool> armed{false};
    std::atomic<HRESULT> callbackResult{E_UNEXPECTED};
    CAMEvent inReceive(TRUE);
    SinkScript sinkScript;
    sinkScript.offerAllocator = true;
    TestSinkPin* sink = nullptr;
    // Downstream calls back into the source pin while the source is stopping.
    sinkScript.onReceive = [&](IMediaSample*) {
        if (!armed.exchange(false))
            return;
        inReceive.Set();
        WaitForSingleObject(sink->ownAllocatorWrapper->decommitted, kHangGuardMs);
        AM_MEDIA_TYPE type;
        callbackResult = sink->connector->ConnectionMediaType(&type);
        if (callbackResult == S_OK)
            FreeMediaType(type);
    };
    m_filter = TestSource::Create(Rgb24(), &m_stream);
    ASSERT_EQ(m_filter.As(&m_media), S_OK);
    m_in = TestSinkPin::Create(sinkScript, &m_sink);
    sink = m_sink;
    ASSERT_EQ(m_stream->Connect(m_in.Get(), nullptr), S_OK);

    armed = true;
    ASSERT_EQ(m_media->Run(0), S_OK);
    ASSERT_EQ(WaitForSingleObject(inReceive, kHangGuardMs), WAIT_OBJECT_0);
    // Stop decommits, then waits for the thread, which needs the state lock to finish.
    ASSERT_EQ(m_media->Stop(), S_OK);
    EXPECT_EQ(callbackResult, S_OK);
    EXPECT_EQ(m_stream->threadDestroys, 1);
}

}  // namespace
}  // namespace vyx::dshow::test
