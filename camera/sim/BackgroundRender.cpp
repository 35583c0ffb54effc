#include "BackgroundRender.h"

#include <new>
#include <system_error>

namespace vyx::sim {

BackgroundRender::~BackgroundRender() {
    m_abandon = true;
    if (m_thread.joinable()) m_thread.join();
}

bool BackgroundRender::Start(const FrameJob& job) {
    if (Busy()) return false;
    m_job = job;
    m_failed = false;
    m_done = false;
    m_variants.Clear();
    try {
        m_thread = std::thread(&BackgroundRender::Run, this);
    } catch (const std::system_error&) {
        return false;
    }
    return true;
}

bool BackgroundRender::Finish(FrameJob* job) {
    if (!Busy() || !m_done) return false;
    m_thread.join();
    if (m_failed) return false;
    *job = m_job;
    return true;
}

void BackgroundRender::Run() {
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
    m_done = true;
}

}  // namespace vyx::sim
