#include "FrameVariants.h"

#include <cstring>

namespace vyx::sim {
namespace {

// Which rendering row `row` of frame `index` comes from: a mix of both (SplitMix64's
// finaliser), so neighbouring frames and rows choose independently.
int VariantOf(std::uint64_t index, int row) {
    std::uint64_t z = index * 0x9E3779B97F4A7C15ull + static_cast<std::uint64_t>(row);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return static_cast<int>((z ^ (z >> 31)) % FrameVariants::kCount);
}

}  // namespace

std::uint8_t* FrameVariants::NextBuffer(std::size_t bytes) {
    std::vector<std::uint8_t>& frame = m_frames[m_ready];
    frame.resize(bytes);
    return frame.data();
}

void FrameVariants::Compose(std::uint64_t index, int rows, std::size_t stride, std::uint8_t* out,
                            FrameStats* stats) const {
    for (int r = 0; r < rows; ++r) {
        const std::size_t offset = static_cast<std::size_t>(r) * stride;
        std::memcpy(out + offset, m_frames[VariantOf(index, r)].data() + offset, stride);
    }
    if (stats) *stats = m_stats[index % kCount];
}

}  // namespace vyx::sim
