// The video stream of one open camera: a producer thread renders frames at the camera's
// pace into a small pool of buffers; readers copy the newest complete frame.
//
// Pace: frame k arrives at the previous arrival plus the frame time. Once the newest frame
// is collected, the producer renders the next one at once and keeps it pending until its
// arrival; whichever thread looks first after that time (a reader or the producer) hands
// it over, so the producer's wake-up and rendering take nothing from the time the reader
// has to collect the frame. An arrival while the newest frame still waits for its reader
// is held, as a camera's second buffer holds it, and its frame is ready as soon as the
// reader has collected the one before; an arrival beyond that is dropped. So a reader, or
// a whole process, that stalls for less than two frame times loses nothing. Drops are
// counted lazily, and the producer renders nothing nobody collects. Without pacing a
// frame is always ready: a reader gets the newest frame, again if nothing newer exists;
// the producer renders the next one behind it but busies itself at most a tenth of the
// time, so a benchmark of the readers is not competing with the simulator for the
// processor.
// Whether pacing is on is the camera's switch as of the latest rendered frame.
//
// Threads: Run is the producer thread; RenderFirst runs once, before Start, on the thread
// that starts the stream; Start, Stop, Invalidate, Read, IsReady and Dropped may be
// called from any thread. m_lock guards every field below it; the
// renderer and the frame source run outside the lock. A reader copies out of a frame it
// holds a reference to, so the producer never writes a buffer that is being read.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "FrameRenderer.h"

namespace vyx::sim {

// What the stream asks of its camera, outside the stream's lock.
class FrameSource {
public:
    virtual ~FrameSource() = default;
    // The settings and scene of the next frame, its frame time, and whether pacing is off.
    virtual void PrepareFrame(FrameJob* job, long long* frameTimeUs, bool* noPacing) = 0;
    // Feedback for the automatic controls, after a frame was rendered for the current settings.
    virtual void FramePublished(const FrameJob& job, const FrameStats& stats) = 0;
};

class FrameStream {
public:
    enum class ReadResult { kOk, kTimeout, kStopped, kFailed };

    FrameStream(FrameSource& source, std::unique_ptr<FrameRenderer> renderer);
    ~FrameStream();
    FrameStream(const FrameStream&) = delete;
    FrameStream& operator=(const FrameStream&) = delete;

    // Renders the first frame on the calling thread, before the producer runs, and gives
    // the settings it shows; false when memory runs out. Calls the frame source.
    bool RenderFirst(CameraSettings* settings);
    // Starts the producer; the first frame arrives a frame time from now. keepFirst false
    // discards a frame RenderFirst made (its settings changed since), so the producer
    // renders anew. False when the thread cannot be created.
    bool Start(long long frameTimeUs, bool noPacing, bool keepFirst);
    void Stop();
    // The settings changed: the frame in progress and any unread frame are discarded and
    // the exposure starts again.
    void Invalidate(long long frameTimeUs);

    ReadResult Read(std::uint8_t* buffer, std::size_t bytes, int timeoutMs);
    bool IsReady();
    int Dropped();

private:
    using Clock = std::chrono::steady_clock;
    struct Frame {
        std::vector<std::uint8_t> data;
        std::uint64_t generation = 0;
    };

    // A frame rendered for the source's settings of the moment, and what came with them.
    struct RenderedFrame {
        FrameJob job;
        long long frameTimeUs = 1;
        bool noPacing = false;
        FrameStats stats;
    };

    void Run();
    // Renders frame number index into frame, outside the lock; false when memory runs out.
    bool Render(Frame& frame, std::uint64_t index, RenderedFrame* rendered);
    std::shared_ptr<Frame> TakeBuffer();
    // Hands over a pending frame whose arrival has passed and counts the drops up to now.
    void CatchUp(Clock::time_point now);
    void Publish(std::shared_ptr<Frame> frame);
    // Holds as many of the given arrivals as there is room for; gives the number lost.
    long long Hold(long long arrivals);
    void SetPacing(bool noPacing, Clock::time_point now);
    bool Collectable() const;
    bool PendingCurrent() const;
    Clock::duration FrameTime() const { return std::chrono::microseconds(m_frameTimeUs); }

    FrameSource& m_source;
    std::unique_ptr<FrameRenderer> m_renderer;  // producer thread only
    std::thread m_thread;

    std::mutex m_lock;
    std::condition_variable m_changed;
    bool m_stop = false;
    bool m_failed = false;
    bool m_noPacing = false;
    std::uint64_t m_generation = 0;
    std::uint64_t m_nextIndex = 0;
    long long m_frameTimeUs = 1;
    Clock::time_point m_nextArrival;  // of m_pending, or of the frame the producer renders
    std::shared_ptr<Frame> m_pending;  // rendered, not yet arrived
    std::shared_ptr<Frame> m_latest;
    bool m_fresh = false;  // m_latest was published and not yet collected
    long long m_held = 0;  // arrivals held for a late reader, still to be rendered
    bool m_awaitingCollection = false;  // the producer waits, untimed, for m_latest's reader
    std::vector<std::shared_ptr<Frame>> m_spares;
    long long m_dropped = 0;
};

}  // namespace vyx::sim
