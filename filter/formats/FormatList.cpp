#include "FormatList.h"

#include <algorithm>

#include "OutputFormats.h"

namespace vyx {
namespace {
struct Offer {
    std::int32_t outputFormatIndex;
    std::int32_t imageFormat;
};

// On a monochrome camera both 8-bit outputs come from the one 8-bit raw image format.
constexpr Offer kColorOffers[] = {
    {kOutputRGB24, IMG_RGB24}, {kOutputYUY2, IMG_YUY2}, {kOutputRGB8, IMG_RAW8},
    {kOutputY16, IMG_RAW16},   {kOutputY800, IMG_Y8},
};
constexpr Offer kMonoOffers[] = {{kOutputRGB8, IMG_RAW8}, {kOutputY800, IMG_RAW8}, {kOutputY16, IMG_RAW16}};

constexpr std::size_t kMaxBins = sizeof(CameraProp::supportedBins) / sizeof(CameraProp::supportedBins[0]);
constexpr std::size_t kMaxFormats = sizeof(CameraProp::supportedFormats) / sizeof(CameraProp::supportedFormats[0]);

bool ListsFormat(const CameraProp& prop, std::int32_t imageFormat) {
    for (std::size_t i = 0; i < kMaxFormats && prop.supportedFormats[i] != -1; ++i)
        if (prop.supportedFormats[i] == imageFormat) return true;
    return false;
}

std::vector<std::int32_t> SortedBins(const CameraProp& prop) {
    std::vector<std::int32_t> bins;
    for (std::size_t i = 0; i < kMaxBins && prop.supportedBins[i] != 0; ++i)
        if (prop.supportedBins[i] > 0) bins.push_back(prop.supportedBins[i]);
    std::sort(bins.begin(), bins.end());
    bins.erase(std::unique(bins.begin(), bins.end()), bins.end());
    return bins;
}
}  // namespace

FormatList::FormatList(const Resolution* resolutions, std::int32_t resolutionCount)
    : m_resolutions(resolutions), m_resolutionCount(resolutions ? resolutionCount : 0) {}

void FormatList::Build(const CameraProp& prop) {
    const std::vector<std::int32_t> bins = SortedBins(prop);
    auto offer = [&](const Offer& o) {
        if (!ListsFormat(prop, o.imageFormat)) return;
        for (std::int32_t bin : bins) {
            const std::int32_t last = bin == 1 ? m_resolutionCount : std::min<std::int32_t>(1, m_resolutionCount);
            for (std::int32_t r = 0; r < last; ++r) {
                const FormatEntry entry{o.outputFormatIndex, bin, r, o.imageFormat};
                const Resolution size = FrameSize(entry);
                const bool offered = std::any_of(m_entries.begin(), m_entries.end(), [&](const FormatEntry& e) {
                    return e.outputFormatIndex == o.outputFormatIndex && FrameSize(e) == size;
                });
                if (!offered) m_entries.push_back(entry);
            }
        }
    };
    if (prop.isColorCamera)
        for (const Offer& o : kColorOffers) offer(o);
    else
        for (const Offer& o : kMonoOffers) offer(o);
}

Resolution FormatList::FrameSize(const FormatEntry& entry) const {
    if (entry.resolutionIndex < 0 || entry.resolutionIndex >= m_resolutionCount) return {0, 0};
    return FrameSizeAtBin(m_resolutions[entry.resolutionIndex], entry.bin);
}

std::int32_t FormatList::Find(const GUID& subtype, LONG width, LONG height, bool checkBitCount, WORD bitCount) const {
    const std::int32_t formatIndex = OutputFormatIndexOf(subtype);
    if (formatIndex < 0) return -1;
    if (checkBitCount && OutputFormatAt(formatIndex)->bitCount != bitCount) return -1;
    for (std::int32_t i = 0; i < Size(); ++i) {
        const FormatEntry& e = At(i);
        if (e.outputFormatIndex != formatIndex) continue;
        const Resolution size = FrameSize(e);
        if (size.width == width && size.height == height) return i;
    }
    return -1;
}

bool FormatList::Offers(const GUID& subtype) const {
    const std::int32_t formatIndex = OutputFormatIndexOf(subtype);
    return std::any_of(m_entries.begin(), m_entries.end(),
                       [&](const FormatEntry& e) { return e.outputFormatIndex == formatIndex; });
}

std::int32_t FormatList::FindPreferred(bool color) const {
    const std::int32_t wanted = color ? kOutputRGB24 : kOutputY800;
    for (std::int32_t i = 0; i < Size(); ++i) {
        const FormatEntry& e = At(i);
        if (e.bin == 1 && e.resolutionIndex == 0 && e.outputFormatIndex == wanted) return i;
    }
    return -1;
}

}  // namespace vyx
