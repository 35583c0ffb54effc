#include "FrameStream.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <system_error>

namespace vyx::sim {
namespace {

constexpr std::size_t kMaxSpares = 2;
// Arrivals the camera keeps while the newest frame waits for its reader, as a driver's
// second buffer does; only arrivals beyond them are lost.
constexpr long long kHeldArrivals = 1;
// Unpaced, the producer renders at most a tenth of the time.
constexpr int kUnpacedSpacing = 10;

}  // namespace

FrameStream::FrameStream(FrameSource& source, std::unique_ptr<FrameRenderer> renderer)
    : m_source(source), m_renderer(std::move(renderer)) {}

FrameStream::~FrameStream() { Stop(); }

bool FrameStream::Render(Frame& frame, std::uint64_t index, RenderedFrame* rendered) {
    m_source.PrepareFrame(&rendered->job, &rendered->frameTimeUs, &rendered->noPacing);
    rendered->job.frameIndex = index;
    try {
        frame.data.resize(FrameBytes(rendered->job.settings));
        m_renderer->Render(rendered->job, frame.data.data(), &rendered->stats);
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

bool FrameStream::RenderFirst(CameraSettings* settings) {
    std::shared_ptr<Frame> frame;
    try {
        frame = std::make_shared<Frame>();
    } catch (const std::bad_alloc&) {
        return false;
    }
    RenderedFrame rendered;
    if (!Render(*frame, m_nextIndex, &rendered)) return false;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        ++m_nextIndex;
        frame->generation = m_generation;
        m_pending = std::move(frame);
    }
    m_source.FramePublished(rendered.job, rendered.stats);
    *settings = rendered.job.settings;
    return true;
}

bool FrameStream::Start(long long frameTimeUs, bool noPacing, bool keepFirst) {
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_frameTimeUs = std::max<long long>(frameTimeUs, 1);
        m_noPacing = noPacing;
        m_nextArrival = Clock::now() + FrameTime();
        if (!keepFirst) m_pending.reset();
        if (m_noPacing && m_pending) Publish(std::move(m_pending));
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
        m_held = 0;
        m_frameTimeUs = std::max<long long>(frameTimeUs, 1);
        m_nextArrival = Clock::now() + FrameTime();
    }
    m_changed.notify_all();
}

bool FrameStream::Collectable() const {
    return m_latest && m_latest->generation == m_generation && (m_fresh || m_noPacing);
}

bool FrameStream::PendingCurrent() const { return m_pending && m_pending->generation == m_generation; }

void FrameStream::Publish(std::shared_ptr<Frame> frame) {
    if (m_latest && m_spares.size() < kMaxSpares) m_spares.push_back(std::move(m_latest));
    m_latest = std::move(frame);
    m_fresh = true;
}

void FrameStream::CatchUp(Clock::time_point now) {
    if (m_noPacing) {
        if (PendingCurrent()) Publish(std::move(m_pending));
        return;
    }
    if (now < m_nextArrival) return;
    const long long arrivals = 1 + (now - m_nextArrival) / FrameTime();
    if (PendingCurrent()) {
        // The composed frame arrives; an uncollected one before it is lost. Arrivals the
        // producer was too late to have a frame for are held while there is room.
        m_dropped += (m_fresh ? 1 : 0) + Hold(arrivals - 1);
        Publish(std::move(m_pending));
    } else if (m_fresh) {
        // The reader is late: the camera holds what arrives meanwhile while it has room.
        m_dropped += Hold(arrivals);
    } else {
        // The producer is still composing: it counts what passed when its frame arrives.
        return;
    }
    m_nextArrival += arrivals * FrameTime();
}

long long FrameStream::Hold(long long arrivals) {
    const long long held = std::min(arrivals, kHeldArrivals - m_held);
    m_held += held;
    return arrivals - held;
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
        const Clock::time_point waking = Clock::now();
        CatchUp(waking);
        const bool current = m_latest && m_latest->generation == m_generation;
        if (PendingCurrent()) {
            // Composed ahead: it arrives at its time, handed over by whoever looks first.
            m_changed.wait_until(lock, m_nextArrival);
            continue;
        }
        if (current && m_fresh) {
            m_awaitingCollection = true;
            m_changed.wait(lock);
            m_awaitingCollection = false;
            continue;
        }
        // Unpaced: a first frame of new settings at once, later ones spaced out while
        // readers take the newest again.
        if (m_noPacing && current && waking < m_nextArrival) {
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
        RenderedFrame rendered;
        const bool ok = Render(*frame, index, &rendered);

        lock.lock();
        if (!ok) {
            m_failed = true;
            break;
        }
        const Clock::time_point now = Clock::now();
        SetPacing(rendered.noPacing, now);
        m_frameTimeUs = std::max<long long>(rendered.frameTimeUs, 1);
        if (generation != m_generation) continue;  // the settings changed meanwhile
        frame->generation = generation;
        if (m_noPacing) {
            Publish(std::move(frame));
            m_nextArrival = renderStart + kUnpacedSpacing * (now - renderStart);
        } else if (m_held > 0) {
            // A held arrival: it came while its reader was late, so it is ready at once.
            --m_held;
            Publish(std::move(frame));
        } else {
            // Kept until its arrival, so that a late start or a slow composition of this
            // frame does not shorten the time its reader has to collect it.
            if (m_pending && m_spares.size() < kMaxSpares) m_spares.push_back(std::move(m_pending));
            m_pending = std::move(frame);
            CatchUp(now);
        }
        m_changed.notify_all();
        lock.unlock();
        m_source.FramePublished(rendered.job, rendered.stats);
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
            CatchUp(now);
            if (Collectable()) {
                frame = m_latest;
                m_fresh = false;
                wakeProducer = m_awaitingCollection;
                break;
            }
            if (now >= deadline) return ReadResult::kTimeout;
            // A frame composed ahead arrives at its time without a signal.
            m_changed.wait_until(lock, PendingCurrent() ? std::min(deadline, m_nextArrival) : deadline);
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
    CatchUp(Clock::now());
    return !m_stop && !m_failed && Collectable();
}

int FrameStream::Dropped() {
    std::lock_guard<std::mutex> lock(m_lock);
    CatchUp(Clock::now());
    return static_cast<int>(std::min<long long>(m_dropped, 0x7FFFFFFF));
}

}  // namespace vyx::sim
