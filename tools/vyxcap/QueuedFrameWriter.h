#pragma once
// Puts a recording file's output on a thread of its own, so the streaming thread only copies a
// frame into one of a few buffers, already in the file's row order, and goes back to the
// camera; that copy is the only one the frame sees before the system's write: a camera that starts its next
// exposure when the previous frame has been delivered would otherwise wait for the disk
// every frame. The buffers are bounded (kQueuedFrames); when the disk falls behind for
// longer than they cover, WriteFrame waits, so no frame is ever dropped and the run is never
// held in memory. Frames() counts the frames accepted, BytesWritten() what is in the file.
//
// Threads: WriteFrame on the streaming thread, Finish on the main thread once the graph has
// stopped; the writing thread calls the inner writer. m_lock guards m_ready, m_free, m_failure
// and m_closing; the condition variables signal a frame ready and a buffer free.
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "FrameFile.h"

namespace vyx::vyxcap {

class QueuedFrameWriter final : public FrameWriter {
public:
    static constexpr int kQueuedFrames = 6;

    explicit QueuedFrameWriter(std::unique_ptr<FrameFile> inner);
    ~QueuedFrameWriter() override;

    // Throws ToolError on a short sample, or when an earlier frame could not be written.
    void WriteFrame(const std::uint8_t* data, std::size_t length, std::int64_t utcTicks) override;
    // Writes what is queued, then finishes the file; throws the first write failure.
    void Finish() override;
    const std::wstring& Path() const override { return m_inner->Path(); }

private:
    struct Frame {
        std::vector<std::uint8_t> bytes;  // as the file stores it
        std::int64_t utcTicks = 0;
    };

    void WriteQueued();
    void StopThread();

    std::unique_ptr<FrameFile> m_inner;
    std::mutex m_lock;
    std::condition_variable m_frameReady;
    std::condition_variable m_bufferFree;
    std::deque<Frame> m_ready;
    std::vector<Frame> m_free;
    int m_buffers = 0;  // made so far, at most kQueuedFrames
    std::string m_failure;
    bool m_closing = false;
    bool m_finished = false;
    std::thread m_thread;
};

}  // namespace vyx::vyxcap
