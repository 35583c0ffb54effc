#pragma once
// The sample grabber's callback: counts the first N samples, records their times and
// lengths, and keeps a copy of the Nth frame when a picture is wanted. Nothing is copied
// for the other frames, so the tool measures the device and not itself; only when asked
// (--raw) are the counted frames also appended to a file, unconverted.
//
// Threads: SampleCB runs on the source's streaming thread; the main thread waits on the
// done event and reads through the accessors. m_lock guards m_stats, m_lastFrame,
// m_lastLength, m_dump and m_dumpFailure; m_frames is atomic so that the main thread can
// watch the progress cheaply.
#include <windows.h>

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "FrameStats.h"
#include "OutputFile.h"
#include "SampleGrabber.h"
#include "UniqueResource.h"

namespace vyx::vyxcap {

class FrameCollector final : public ISampleGrabberCB {
public:
    // frameBytes: the connected frame size, the length every sample should have.
    FrameCollector(int frames, long frameBytes, bool keepLastFrame);
    FrameCollector(const FrameCollector&) = delete;
    FrameCollector& operator=(const FrameCollector&) = delete;

    // IUnknown
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

    // ISampleGrabberCB
    STDMETHODIMP SampleCB(double sampleTime, IMediaSample* sample) override;
    STDMETHODIMP BufferCB(double sampleTime, BYTE* buffer, long length) override;

    // Before the graph runs: every counted frame is also appended to `file`.
    void DumpTo(OutputFile* file);
    // Why the dump stopped, empty while it works.
    std::string DumpFailure() const;

    // Set once, when the Nth frame has been counted: waking the waiter for every frame would
    // cost the stream a thread switch per frame.
    HANDLE DoneEvent() const { return m_done.Get(); }
    int Frames() const { return m_frames.load(); }
    bool Done() const { return m_frames.load() >= m_target; }
    FrameStats Stats() const;
    // The Nth frame's bytes (its actual length), empty unless kept and arrived.
    std::vector<std::uint8_t> LastFrame() const;

private:
    ~FrameCollector() = default;
    void Dump(const BYTE* data, long length);  // under m_lock

    std::atomic<ULONG> m_references{1};
    const int m_target;
    const bool m_keepLastFrame;
    vyx::win::UniqueHandle m_done;
    std::atomic<int> m_frames{0};
    mutable std::mutex m_lock;
    FrameStats m_stats;
    std::vector<std::uint8_t> m_lastFrame;  // sized once, before streaming
    long m_lastLength = 0;
    OutputFile* m_dump = nullptr;
    std::string m_dumpFailure;
};

}  // namespace vyx::vyxcap
