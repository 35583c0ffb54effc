#include "QueuedFrameWriter.h"

#include <cstring>

#include "ToolError.h"

namespace vyx::vyxcap {

QueuedFrameWriter::QueuedFrameWriter(std::unique_ptr<FrameFile> inner)
    : m_inner(std::move(inner)), m_thread([this] { WriteQueued(); }) {
    m_bytesWritten = m_inner->BytesWritten();
}

QueuedFrameWriter::~QueuedFrameWriter() {
    StopThread();  // the queued frames are written; the inner writer finishes itself
}

void QueuedFrameWriter::WriteFrame(const std::uint8_t* data, std::size_t length, std::int64_t utcTicks) {
    Frame frame;
    {
        std::unique_lock<std::mutex> lock(m_lock);
        if (m_free.empty() && m_buffers < kQueuedFrames) {
            ++m_buffers;
            m_free.emplace_back().bytes.resize(m_inner->StoredFrameBytes());
        }
        m_bufferFree.wait(lock, [this] { return !m_free.empty() || !m_failure.empty(); });
        if (!m_failure.empty()) throw ToolError(m_failure);
        frame = std::move(m_free.back());
        m_free.pop_back();
    }
    // Copied outside the lock: the writing thread goes on meanwhile.
    try {
        m_inner->StoreFrame(data, length, frame.bytes.data());
    } catch (const ToolError&) {  // a short sample: the buffer stays free for the next
        std::lock_guard<std::mutex> lock(m_lock);
        m_free.push_back(std::move(frame));
        throw;
    }
    frame.utcTicks = utcTicks;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_ready.push_back(std::move(frame));
    }
    ++m_frames;
    m_frameReady.notify_one();
}

void QueuedFrameWriter::WriteQueued() {
    std::unique_lock<std::mutex> lock(m_lock);
    for (;;) {
        m_frameReady.wait(lock, [this] { return !m_ready.empty() || m_closing; });
        if (m_ready.empty()) return;  // closing, and all written
        Frame frame = std::move(m_ready.front());
        m_ready.pop_front();
        lock.unlock();
        std::string failure;
        try {
            if (m_failure.empty()) m_inner->WriteStoredFrame(frame.bytes.data(), frame.utcTicks);
        } catch (const std::exception& error) {
            failure = error.what();
        }
        m_bytesWritten = m_inner->BytesWritten();
        lock.lock();
        if (!failure.empty() && m_failure.empty()) m_failure = failure;
        m_free.push_back(std::move(frame));
        m_bufferFree.notify_one();
    }
}

void QueuedFrameWriter::StopThread() {
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_closing = true;
    }
    m_frameReady.notify_one();
    if (m_thread.joinable()) m_thread.join();
}

void QueuedFrameWriter::Finish() {
    if (m_finished) return;
    m_finished = true;
    StopThread();
    if (!m_failure.empty()) throw ToolError(m_failure);
    m_inner->Finish();
    m_bytesWritten = m_inner->BytesWritten();
}

}  // namespace vyx::vyxcap
