#pragma once
// The standard size ladder from which every build's resolution list is drawn, and the
// rule that turns a list entry and a bin factor into camera and media-type dimensions.
#include <array>
#include <cstddef>
#include <cstdint>

namespace vyx {

struct Resolution {
    std::int32_t width;
    std::int32_t height;
    friend constexpr bool operator==(const Resolution&, const Resolution&) = default;
};

// Not sorted by area: this order is the order of the offered media types.
inline constexpr std::array<Resolution, 22> kStandardLadder = {{
    {3840, 2160}, {2560, 1440}, {2048, 1080}, {2000, 2000}, {1920, 1200}, {1600, 1200},
    {1920, 1080}, {1600, 900},  {1440, 900},  {1000, 1000}, {1280, 800},  {1280, 720},
    {1024, 768},  {1024, 600},  {960, 960},   {800, 800},   {800, 600},   {500, 500},
    {800, 480},   {640, 480},   {480, 320},   {320, 240},
}};

// Entry 0 is the sensor itself, then every ladder size that fits inside it.
constexpr std::int32_t ResolutionCount(std::int32_t sensorWidth, std::int32_t sensorHeight) {
    std::int32_t count = 1;
    for (const Resolution& r : kStandardLadder)
        if (r.width <= sensorWidth && r.height <= sensorHeight) ++count;
    return count;
}

constexpr Resolution ResolutionAt(std::int32_t sensorWidth, std::int32_t sensorHeight, std::int32_t index) {
    if (index == 0) return {sensorWidth, sensorHeight};
    std::int32_t seen = 0;
    for (const Resolution& r : kStandardLadder)
        if (r.width <= sensorWidth && r.height <= sensorHeight && ++seen == index) return r;
    return {0, 0};
}

template <std::int32_t SensorWidth, std::int32_t SensorHeight>
constexpr auto MakeResolutionList() {
    std::array<Resolution, ResolutionCount(SensorWidth, SensorHeight)> list{};
    for (std::size_t i = 0; i < list.size(); ++i)
        list[i] = ResolutionAt(SensorWidth, SensorHeight, static_cast<std::int32_t>(i));
    return list;
}

// Width truncated to a multiple of 4 and height to a multiple of 2, as every consumer
// of binned frames (camera, media types, region of interest) expects.
constexpr Resolution FrameSizeAtBin(Resolution entry, std::int32_t bin) {
    if (bin < 1) bin = 1;
    return {(entry.width / bin) / 4 * 4, (entry.height / bin) / 2 * 2};
}

}  // namespace vyx
