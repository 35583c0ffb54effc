#pragma once
// vyxcap's renderer for recordings: one input pin, and each frame written to the recording
// file as it arrives, on the upstream streaming thread, so no frame waits in memory. It
// writes at most the frames asked for; a failed write stops the recording and sets the
// failure event with a message for the user.
//
// Threads: the graph calls the filter's methods on the application's thread; Record runs on
// the streaming thread. m_stateLock is the framework's state lock; m_failureLock guards
// m_failure. m_runUtc is set when the graph runs and read by the streaming thread. The writer
// is used by the streaming thread while the graph runs and by the main thread once it has
// stopped (Finish), never by both at once.
#include <streams.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <string>

#include "FrameWriter.h"
#include "UniqueResource.h"

namespace vyx::vyxcap {

class RecordingInputPin;

class RecordingSink final : public CBaseFilter {
public:
    // Returns the filter with one reference; `frameLimit` frames at most are written.
    static Microsoft::WRL::ComPtr<IBaseFilter> Create(std::unique_ptr<FrameWriter> writer, const GUID& subtype,
                                                      int frameLimit, RecordingSink** self);

    // CBaseFilter
    int GetPinCount() override { return 1; }
    CBasePin* GetPin(int n) override;
    STDMETHODIMP Run(REFERENCE_TIME tStart) override;

    // Called by the input pin for each sample.
    HRESULT Record(IMediaSample* sample);

    FrameWriter& Writer() { return *m_writer; }
    // Set when the last frame asked for is written.
    HANDLE CompleteEvent() const { return m_complete.Get(); }
    HANDLE FailureEvent() const { return m_failed.Get(); }
    bool Failed() const { return WaitForSingleObject(m_failed.Get(), 0) == WAIT_OBJECT_0; }
    std::string Failure() const;

private:
    RecordingSink(std::unique_ptr<FrameWriter> writer, const GUID& subtype, int frameLimit);
    ~RecordingSink() override;

    CCritSec m_stateLock;
    std::unique_ptr<FrameWriter> m_writer;
    std::unique_ptr<RecordingInputPin> m_pin;
    const int m_frameLimit;
    std::atomic<std::int64_t> m_runUtc{0};  // SER ticks at the first Run; 0 before
    vyx::win::UniqueHandle m_complete;
    vyx::win::UniqueHandle m_failed;
    mutable std::mutex m_failureLock;
    std::string m_failure;
};

}  // namespace vyx::vyxcap
