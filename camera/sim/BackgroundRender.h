// Renders the variants of one scene on a thread of its own, so that the stream's producer
// keeps composing frames of the previous scene meanwhile instead of stalling for several
// frame times.
//
// Threads: the constructor, Start, Finish, SwapVariants and the destructor belong to the producer.
// Between Start and the worker's end the worker alone touches m_renderer, m_job and
// m_variants; m_done tells the producer that the worker has let go of them.
#pragma once

#include <atomic>
#include <thread>
#include <utility>

#include "FrameVariants.h"
#include "SceneRenderer.h"

namespace vyx::sim {

class BackgroundRender {
public:
    BackgroundRender(const ModelTraits& traits, const SkyField& sky) : m_renderer(traits, sky) {}
    // Waits for a rendering in progress to end (it gives up after its current variant).
    ~BackgroundRender();
    BackgroundRender(const BackgroundRender&) = delete;
    BackgroundRender& operator=(const BackgroundRender&) = delete;

    bool Busy() const { return m_thread.joinable(); }
    // Starts rendering the variants of the job's scene; false when busy or when no thread
    // can be created.
    bool Start(const FrameJob& job);
    // When the rendering has ended: gives the job whose scene it shows and returns true; a
    // rendering that ran out of memory is dropped and gives false. False while the
    // rendering runs or when none was started.
    bool Finish(FrameJob* job);
    // Exchanges the finished variants with `variants`.
    void SwapVariants(FrameVariants* variants) { std::swap(*variants, m_variants); }

private:
    void Run();

    SceneRenderer m_renderer;
    FrameJob m_job;
    FrameVariants m_variants;
    bool m_failed = false;
    std::atomic<bool> m_done{false};
    std::atomic<bool> m_abandon{false};
    std::thread m_thread;
};

}  // namespace vyx::sim
