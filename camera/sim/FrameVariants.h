// A few complete renderings of one scene (the same settings, field and temperature) that
// differ only in their noise. Once all exist, a frame is composed of their rows, each row
// taken from the rendering that the frame's index picks for it: every frame shows new
// noise, yet costs one copy of the frame instead of a rendering.
// Used only by the stream's producer thread, through FrameRenderer.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "SensorReadout.h"

namespace vyx::sim {

class FrameVariants {
public:
    static constexpr int kCount = 3;

    void Clear() { m_ready = 0; }
    bool Complete() const { return m_ready == kCount; }
    // The buffer for the next rendering, `bytes` long. Throws std::bad_alloc.
    std::uint8_t* NextBuffer(std::size_t bytes);
    // The buffer NextBuffer gave now holds a rendering with these statistics.
    void Add(const FrameStats& stats) { m_stats[m_ready++] = stats; }
    // Frame `index`, `rows` rows of `stride` bytes each, from the complete set.
    void Compose(std::uint64_t index, int rows, std::size_t stride, std::uint8_t* out, FrameStats* stats) const;

private:
    std::array<std::vector<std::uint8_t>, kCount> m_frames;
    std::array<FrameStats, kCount> m_stats;
    int m_ready = 0;
};

}  // namespace vyx::sim
