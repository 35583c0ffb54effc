#pragma once
// The output pin of the test source: offers the scripted types, fills samples with a
// counter and ends or fails the stream where the script says. Counts every hook call.
#include <streams.h>

#include <atomic>
#include <vector>

namespace vyx::dshow::test {

struct StreamScript {
    std::vector<GUID> subtypes;     // offered in this order
    int framesBeforeEnd = -1;       // -1: never ends
    HRESULT endResult = S_FALSE;    // returned by FillBuffer once framesBeforeEnd were filled
    HRESULT threadCreateResult = S_OK;
    int signalAfterFills = 0;       // sets fillsReached after this many fills (0: never)
    std::atomic<int>* destroyed = nullptr;  // counts OnThreadDestroy beyond the stream's life
    bool live = false;              // delivers only while running
    int stateChangedFills = 0;      // the first fills give way to a state change
};

class TestStream : public CSourceStream {
public:
    TestStream(HRESULT* phr, CSource* filter, const StreamScript& script);
    ~TestStream() override;

    CAMEvent fillsReached;
    std::atomic<int> threadCreates{0};
    std::atomic<int> threadDestroys{0};
    std::atomic<int> startPlays{0};
    std::atomic<int> fills{0};
    std::atomic<int> stateChangedFills{0};
    std::atomic<int> notDelivered{0};
    std::atomic<int> allocatorFallbacks{0};
    std::atomic<DWORD> streamingThreadId{0};
    ALLOCATOR_PROPERTIES lastRequest{};

    CMediaType ConnectedType() { return m_mt; }
    IMemAllocator* Allocator() { return m_pAllocator.Get(); }
    bool StreamingThreadAlive() { return ThreadExists() != FALSE; }
    CCritSec* StateLock() { return m_pFilter->pStateLock(); }

protected:
    HRESULT FillBuffer(IMediaSample* sample) override;
    HRESULT OnThreadCreate() override;
    HRESULT OnThreadDestroy() override;
    HRESULT OnThreadStartPlay() override;
    bool DeliversWhilePaused() const override { return !m_script.live; }
    void OnSampleNotDelivered(IMediaSample*) override { ++notDelivered; }
    HRESULT GetMediaType(int position, CMediaType* type) override;
    HRESULT CheckMediaType(const CMediaType* type) override;
    HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) override;
    HRESULT InitAllocator(IMemAllocator** allocator) override;

private:
    StreamScript m_script;
};

}  // namespace vyx::dshow::test
