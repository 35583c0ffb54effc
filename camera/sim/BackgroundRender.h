// Renders the variants of one scene on a worker thread of its own, so that the stream's
// producer keeps composing frames of the previous scene meanwhile instead of stalling for
// several frame times. The worker lives as long as the object: creating a thread while
// streaming costs the producer several milliseconds of a frame's time (and more under
// load), so the producer only hands it jobs.
//
// Threads: the constructor, Start, Finish, SwapVariants and the destructor belong to the
// producer. Between Start and the worker's m_done the worker alone touches m_renderer,
// m_job, m_variants and m_failed; m_lock guards the hand-over (m_requested, m_stop).
#pragma once

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <utility>

#include "FrameVariants.h"
#include "SceneRenderer.h"

namespace vyx::sim {

class BackgroundRender {
public:
    // Starts the worker; when no thread can be created, Start refuses every job.
    BackgroundRender(const ModelTraits& traits, const SkyField& sky);
    // Ends the worker; a rendering in progress gives up after its current variant.
    ~BackgroundRender();
    BackgroundRender(const BackgroundRender&) = delete;
    BackgroundRender& operator=(const BackgroundRender&) = delete;

    // A job was started and not yet taken by Finish.
    bool Busy() const { return m_busy; }
    // Starts rendering the variants of the job's scene; false when busy or without a worker.
    bool Start(const FrameJob& job);
    // When the rendering has ended: gives the job whose scene it shows and returns true; a
    // rendering that ran out of memory is dropped and gives false. False while the
    // rendering runs or when none was started.
    bool Finish(FrameJob* job);
    // Exchanges the finished variants with `variants`.
    void SwapVariants(FrameVariants* variants) { std::swap(*variants, m_variants); }

private:
    void Run();
    void RenderJob();

    SceneRenderer m_renderer;
    FrameJob m_job;
    FrameVariants m_variants;
    bool m_failed = false;
    bool m_busy = false;  // producer only
    std::mutex m_lock;
    std::condition_variable m_wake;
    bool m_requested = false;
    bool m_stop = false;
    std::atomic<bool> m_done{false};
    std::atomic<bool> m_abandon{false};
    std::thread m_thread;  // last: the worker starts once everything above exists
};

}  // namespace vyx::sim
