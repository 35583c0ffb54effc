#include "FrameStream.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <system_error>

namespace vyx::sim {
namespace {

constexpr std::size_t kMaxSpares = 2;
// Unpaced, the producer renders at most a tenth of the time.
constexpr int kUnpacedSpacing = 10;

}  // namespace

FrameStream::FrameStream(FrameSource& source, std::unique_ptr<FrameRenderer> renderer)
    : m_source(source), m_renderer(std::move(renderer)) {}

FrameStream::~FrameStream() { Stop(); }

bool FrameStream::Start(long long frameTimeUs, bool noPacing) {
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_frameTimeUs = std::max<long long>(frameTimeUs, 1);
        m_noPacing = noPacing;
        m_nextArrival = Clock::now() + FrameTime();
    }
    try {
        m_thread = std::thread(&FrameStream::Run, this);
    } catch (const std::system_error&) {
        return false;
    }
    return true;
}

void FrameStream::Stop() {
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_stop = true;
    }
    m_changed.notify_all();
    if (m_thread.joinable()) m_thread.join();
}

void FrameStream::Invalidate(long long frameTimeUs) {
    {
        std::lock_guard<std::mutex> lock(m_lock);
        ++m_generation;
        m_fresh = false;
        m_frameTimeUs = std::max<long long>(frameTimeUs, 1);
        m_nextArrival = Clock::now() + FrameTime();
    }
    m_changed.notify_all();
}

bool FrameStream::Collectable() const {
    return m_latest && m_latest->generation == m_generation && (m_fresh || m_noPacing);
}

void FrameStream::CountDrops(Clock::time_point now) {
    if (m_noPacing || !m_fresh || now < m_nextArrival) return;
    // Each arrival replaced the uncollected frame.
    const long long arrivals = 1 + (now - m_nextArrival) / FrameTime();
    m_dropped += arrivals;
    m_nextArrival += arrivals * FrameTime();
}

void FrameStream::SetPacing(bool noPacing, Clock::time_point now) {
    if (noPacing == m_noPacing) return;
    m_noPacing = noPacing;
    if (!noPacing) m_nextArrival = now + FrameTime();
}

std::shared_ptr<FrameStream::Frame> FrameStream::TakeBuffer() {
    // A spare nobody else references can be written; readers hold their own reference.
    for (auto it = m_spares.begin(); it != m_spares.end(); ++it) {
        if (it->use_count() == 1) {
            std::shared_ptr<Frame> frame = std::move(*it);
            m_spares.erase(it);
            return frame;
        }
    }
    return std::make_shared<Frame>();
}

void FrameStream::Run() {
    std::unique_lock<std::mutex> lock(m_lock);
    while (!m_stop && !m_failed) {
        const bool current = m_latest && m_latest->generation == m_generation;
        if (current && m_fresh) {
            m_awaitingCollection = true;
            m_changed.wait(lock);
            m_awaitingCollection = false;
            continue;
        }
        // Paced: wait for the next arrival. Unpaced: a first frame of new settings at
        // once, later ones spaced out while readers take the newest again.
        if ((!m_noPacing || current) && Clock::now() < m_nextArrival) {
            m_changed.wait_until(lock, m_nextArrival);
            continue;
        }
        const std::uint64_t generation = m_generation;
        const std::uint64_t index = m_nextIndex++;
        std::shared_ptr<Frame> frame;
        try {
            frame = TakeBuffer();
        } catch (const std::bad_alloc&) {
            m_failed = true;
            break;
        }
        lock.unlock();

        const Clock::time_point renderStart = Clock::now();
        FrameJob job;
        long long frameTimeUs = 1;
        bool noPacing = false;
        m_source.PrepareFrame(&job, &frameTimeUs, &noPacing);
        job.frameIndex = index;
        FrameStats stats;
        bool rendered = true;
        try {
            frame->data.resize(FrameBytes(job.settings));
            m_renderer->Render(job, frame->data.data(), &stats);
        } catch (const std::bad_alloc&) {
            rendered = false;
        }

        lock.lock();
        if (!rendered) {
            m_failed = true;
            break;
        }
        const Clock::time_point now = Clock::now();
        SetPacing(noPacing, now);
        m_frameTimeUs = std::max<long long>(frameTimeUs, 1);
        if (generation != m_generation) continue;  // the settings changed meanwhile
        frame->generation = generation;
        if (m_latest && m_spares.size() < kMaxSpares) m_spares.push_back(std::move(m_latest));
        m_latest = std::move(frame);
        m_fresh = true;
        if (m_noPacing) {
            m_nextArrival = renderStart + kUnpacedSpacing * (now - renderStart);
        } else {
            // Arrivals that passed while a slow render ran were lost as well.
            m_nextArrival += FrameTime();
            if (now >= m_nextArrival) {
                const long long missed = 1 + (now - m_nextArrival) / FrameTime();
                m_dropped += missed;
                m_nextArrival += missed * FrameTime();
            }
        }
        m_changed.notify_all();
        lock.unlock();
        m_source.FramePublished(job, stats);
        lock.lock();
    }
    m_changed.notify_all();
}

FrameStream::ReadResult FrameStream::Read(std::uint8_t* buffer, std::size_t bytes, int timeoutMs) {
    std::shared_ptr<Frame> frame;
    bool wakeProducer = false;
    {
        std::unique_lock<std::mutex> lock(m_lock);
        const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(std::max(timeoutMs, 0));
        for (;;) {
            if (m_stop) return ReadResult::kStopped;
            if (m_failed) return ReadResult::kFailed;
            const Clock::time_point now = Clock::now();
            CountDrops(now);
            if (Collectable()) {
                frame = m_latest;
                m_fresh = false;
                wakeProducer = m_awaitingCollection;
                break;
            }
            if (now >= deadline) return ReadResult::kTimeout;
            m_changed.wait_until(lock, deadline);
        }
    }
    // Only a producer waiting for this collection needs waking; its other waits are timed.
    // A needless wake-up costs each frame a round trip to the Wine server and a thread switch.
    if (wakeProducer) m_changed.notify_all();
    std::memcpy(buffer, frame->data.data(), std::min(bytes, frame->data.size()));
    return ReadResult::kOk;
}

bool FrameStream::IsReady() {
    std::lock_guard<std::mutex> lock(m_lock);
    CountDrops(Clock::now());
    return !m_stop && !m_failed && Collectable();
}

int FrameStream::Dropped() {
    std::lock_guard<std::mutex> lock(m_lock);
    CountDrops(Clock::now());
    return static_cast<int>(std::min<long long>(m_dropped, 0x7FFFFFFF));
}

}  // namespace vyx::sim
