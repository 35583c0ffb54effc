#include "BackgroundRender.h"

#include <windows.h>

#include <new>
#include <system_error>

namespace vyx::sim {

BackgroundRender::BackgroundRender(const ModelTraits& traits, const SkyField& sky) : m_renderer(traits, sky) {
    try {
        m_thread = std::thread(&BackgroundRender::Run, this);
    } catch (const std::system_error&) {
        // Without a worker every scene change is rendered by the producer itself.
    }
}

BackgroundRender::~BackgroundRender() {
    m_abandon = true;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_stop = true;
    }
    m_wake.notify_one();
    if (m_thread.joinable()) m_thread.join();
}

bool BackgroundRender::Start(const FrameJob& job) {
    if (m_busy || !m_thread.joinable()) return false;
    m_job = job;
    m_failed = false;
    m_done = false;
    m_variants.Clear();
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_requested = true;
    }
    m_wake.notify_one();
    m_busy = true;
    return true;
}

bool BackgroundRender::Finish(FrameJob* job) {
    if (!m_busy || !m_done) return false;
    m_busy = false;
    if (m_failed) return false;
    *job = m_job;
    return true;
}

void BackgroundRender::Run() {
    // The stream's producer and its reader have a frame's deadline; this work has none.
    SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_BELOW_NORMAL);
    std::unique_lock<std::mutex> lock(m_lock);
    for (;;) {
        m_wake.wait(lock, [this] { return m_requested || m_stop; });
        if (m_stop) return;
        m_requested = false;
        lock.unlock();
        RenderJob();
        m_done = true;
        lock.lock();
    }
}

void BackgroundRender::RenderJob() {
    try {
        for (int v = 0; v < FrameVariants::kCount && !m_abandon; ++v) {
            FrameJob variantJob = m_job;
            variantJob.frameIndex = m_job.frameIndex + static_cast<std::uint64_t>(v);
            std::uint8_t* buffer = m_variants.NextBuffer(FrameBytes(m_job.settings));
            FrameStats stats;
            m_renderer.Render(variantJob, buffer, &stats);
            m_variants.Add(stats);
        }
    } catch (const std::bad_alloc&) {
        m_failed = true;
    }
    if (!m_variants.Complete()) m_failed = true;
}

}  // namespace vyx::sim
