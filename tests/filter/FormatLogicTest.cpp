// The pure parts of negotiation: the format list, the output formats, the capability
// record and the frame-rate limit of a requested interval.
#include <gtest/gtest.h>

#include <dshow.h>

#include <cstring>
#include <set>
#include <utility>
#include <vector>

#include "FormatList.h"
#include "OutputFormats.h"
#include "ResolutionLadder.h"
#include "StreamCaps.h"

namespace {
using vyx::FormatEntry;
using vyx::FormatList;
using vyx::Resolution;

CameraProp MakeProp(bool color, std::initializer_list<int> bins, std::initializer_list<int> formats) {
    CameraProp prop{};
    prop.isColorCamera = color;
    int i = 0;
    for (int b : bins) prop.supportedBins[i++] = b;
    i = 0;
    for (int f : formats) prop.supportedFormats[i++] = f;
    prop.supportedFormats[i] = -1;
    return prop;
}

constexpr auto k1280x960 = vyx::MakeResolutionList<1280, 960>();
constexpr auto k3216x2208 = vyx::MakeResolutionList<3216, 2208>();

std::vector<Resolution> SizesOf(const FormatList& list, int outputFormat) {
    std::vector<Resolution> sizes;
    for (int i = 0; i < list.Size(); ++i)
        if (list.At(i).outputFormatIndex == outputFormat) sizes.push_back(list.FrameSize(list.At(i)));
    return sizes;
}
}  // namespace

TEST(FormatList, BinnedSizesRoundDownAndDuplicatesOfTheSameOutputAreDropped) {
    FormatList list(k1280x960.data(), static_cast<int>(k1280x960.size()));
    list.Build(MakeProp(true, {1, 2, 3, 4}, {2}));
    // Bin 1 offers the whole list; bin 2 (640x480) and bin 4 (320x240) are already
    // offered; bin 3 gives 1280/3 = 426 -> 424 and 960/3 = 320.
    ASSERT_EQ(list.Size(), static_cast<int>(k1280x960.size()) + 1);
    const FormatEntry& last = list.At(list.Size() - 1);
    EXPECT_EQ(last, (FormatEntry{vyx::kOutputRGB24, 3, 0, IMG_RGB24}));
    EXPECT_EQ(list.FrameSize(last), (Resolution{424, 320}));
    for (int i = 0; i + 1 < list.Size(); ++i) EXPECT_EQ(list.At(i).bin, 1) << i;

    // Rounding of other entries: 1000x1000 at bin 3 and 1920x1080 at bin 2.
    EXPECT_EQ(vyx::FrameSizeAtBin({1000, 1000}, 3), (Resolution{332, 332}));
    EXPECT_EQ(vyx::FrameSizeAtBin({1920, 1080}, 2), (Resolution{960, 540}));

    // Bins are sorted and de-duplicated; zero ends the list, negatives are skipped.
    FormatList unsorted(k3216x2208.data(), static_cast<int>(k3216x2208.size()));
    unsorted.Build(MakeProp(true, {4, -2, 2, 1, 2, 0, 3}, {2}));
    const std::vector<Resolution> sizes = SizesOf(unsorted, vyx::kOutputRGB24);
    ASSERT_EQ(sizes.size(), k3216x2208.size() + 2);  // bins 1, 2, 4: bin 3 comes after the 0
    EXPECT_EQ(sizes[sizes.size() - 2], (Resolution{1608, 1104}));
    EXPECT_EQ(sizes.back(), (Resolution{804, 552}));
}

TEST(FormatList, OfferingOrderOfColourAndMonochromeCameras) {
    const int n = static_cast<int>(k1280x960.size());
    FormatList color(k1280x960.data(), n);
    color.Build(MakeProp(true, {1}, {0, 1, 2, 3, 4}));
    ASSERT_EQ(color.Size(), 5 * n);
    const int colorOrder[] = {vyx::kOutputRGB24, vyx::kOutputYUY2, vyx::kOutputRGB8, vyx::kOutputY16, vyx::kOutputY800};
    const int colorImage[] = {IMG_RGB24, IMG_YUY2, IMG_RAW8, IMG_RAW16, IMG_Y8};
    for (int f = 0; f < 5; ++f)
        for (int r = 0; r < n; ++r)
            EXPECT_EQ(color.At(f * n + r), (FormatEntry{colorOrder[f], 1, r, colorImage[f]})) << f << "/" << r;

    // A monochrome camera listing 8- and 16-bit raw: RGB8, then "Y800" from the same
    // 8-bit raw, then "Y16 ".
    FormatList mono(k1280x960.data(), n);
    mono.Build(MakeProp(false, {1}, {0, 1}));
    ASSERT_EQ(mono.Size(), 3 * n);
    EXPECT_EQ(mono.At(0), (FormatEntry{vyx::kOutputRGB8, 1, 0, IMG_RAW8}));
    EXPECT_EQ(mono.At(n), (FormatEntry{vyx::kOutputY800, 1, 0, IMG_RAW8}));
    EXPECT_EQ(mono.At(2 * n), (FormatEntry{vyx::kOutputY16, 1, 0, IMG_RAW16}));

    // Formats the camera does not list are not offered; an empty list offers nothing.
    FormatList partial(k1280x960.data(), n);
    partial.Build(MakeProp(true, {1}, {0, 2}));
    EXPECT_EQ(partial.Size(), 2 * n);
    EXPECT_EQ(partial.At(n).outputFormatIndex, vyx::kOutputRGB8);
    FormatList none(k1280x960.data(), n);
    none.Build(MakeProp(true, {1, 2}, {}));
    EXPECT_EQ(none.Size(), 0);
    EXPECT_EQ(none.FindPreferred(true), -1);
}

TEST(FormatList, MatchingAndThePreferredEntry) {
    const int n = static_cast<int>(k1280x960.size());
    FormatList mono(k1280x960.data(), n);
    mono.Build(MakeProp(false, {1, 2}, {0, 1}));
    EXPECT_EQ(mono.FindPreferred(false), n);  // "Y800" at bin 1, full sensor
    EXPECT_EQ(mono.Find(vyx::kSubtypeY16, 640, 480, true, 16), mono.Find(vyx::kSubtypeY16, 640, 480, false, 0));
    EXPECT_GE(mono.Find(vyx::kSubtypeY16, 640, 480, true, 16), 2 * n);
    EXPECT_EQ(mono.Find(vyx::kSubtypeY16, 640, 480, true, 8), -1);
    EXPECT_EQ(mono.Find(MEDIASUBTYPE_RGB24, 640, 480, false, 0), -1);
    EXPECT_EQ(mono.Find(MEDIASUBTYPE_RGB8, 641, 480, false, 0), -1);
    EXPECT_TRUE(mono.Offers(vyx::kSubtypeY800));
    EXPECT_FALSE(mono.Offers(MEDIASUBTYPE_YUY2));

    FormatList color(k1280x960.data(), n);
    color.Build(MakeProp(true, {1}, {0, 2}));
    EXPECT_EQ(color.FindPreferred(true), 0);
    EXPECT_EQ(color.FindPreferred(false), -1);  // no "Y800" on offer
}

TEST(OutputFormats, SubtypesBitCountsAndCompression) {
    EXPECT_EQ(vyx::kSubtypeY16.Data1, 0x20363159u);
    EXPECT_EQ(vyx::kSubtypeY800.Data1, 0x30303859u);
    EXPECT_TRUE(IsEqualGUID(vyx::OutputFormatAt(vyx::kOutputYUY2)->subtype, MEDIASUBTYPE_YUY2));
    EXPECT_EQ(vyx::OutputFormatAt(vyx::kOutputY800)->compression, static_cast<DWORD>(BI_RGB));
    EXPECT_EQ(vyx::OutputFormatAt(vyx::kOutputY16)->compression, 0x20363159u);
    EXPECT_TRUE(vyx::OutputFormatAt(vyx::kOutputRGB8)->greyPalette);
    EXPECT_FALSE(vyx::OutputFormatAt(vyx::kOutputY16)->greyPalette);
    EXPECT_EQ(vyx::OutputFormatAt(-1), nullptr);
    EXPECT_EQ(vyx::OutputFormatAt(5), nullptr);
    EXPECT_EQ(vyx::ExpectedBitCount(MEDIASUBTYPE_RGB24), 24);
    EXPECT_EQ(vyx::ExpectedBitCount(MEDIASUBTYPE_RGB8), 8);
    EXPECT_EQ(vyx::ExpectedBitCount(vyx::kSubtypeY800), 8);
    EXPECT_EQ(vyx::ExpectedBitCount(vyx::kSubtypeY16), 16);
    EXPECT_EQ(vyx::ExpectedBitCount(MEDIASUBTYPE_RGB32), 0);
}

TEST(StreamCaps, IntervalsAndBitRatesFromTheFrameRateRange) {
    VIDEO_STREAM_CONFIG_CAPS caps;
    std::memset(&caps, 0xCD, sizeof caps);
    // RGB24 1920x1080 with the fallback range 1..2000.
    vyx::FillStreamCaps(1920, 1080, 6220800, vyx::UsableFrameRateRange(false, 60, 1), &caps);
    EXPECT_TRUE(IsEqualGUID(caps.guid, FORMAT_VideoInfo));
    EXPECT_EQ(caps.InputSize.cx, 1920);
    EXPECT_EQ(caps.MaxOutputSize.cy, 1080);
    EXPECT_EQ(caps.MinFrameInterval, 5000);
    EXPECT_EQ(caps.MaxFrameInterval, 10000000);
    EXPECT_EQ(caps.MinBitsPerSecond, 49766400);
    EXPECT_EQ(caps.MaxBitsPerSecond, 2147483647);
    EXPECT_EQ(caps.VideoStandard, 0u);
    EXPECT_EQ(caps.CropGranularityX, 0);
    EXPECT_EQ(caps.ShrinkTapsY, 0);

    // "Y800" 640x480 with a camera range of 1..60.
    vyx::FillStreamCaps(640, 480, 307200, vyx::UsableFrameRateRange(true, 60, 1), &caps);
    EXPECT_EQ(caps.MinFrameInterval, 166667);
    EXPECT_EQ(caps.MaxFrameInterval, 10000000);
    EXPECT_EQ(caps.MinBitsPerSecond, 2457600);
    EXPECT_EQ(caps.MaxBitsPerSecond, 147456000);

    // Unusable ranges fall back to 1..2000.
    for (auto [max, min] : {std::pair{60, 0}, std::pair{5, 10}, std::pair{60, -1}}) {
        const vyx::FrameRateRange range = vyx::UsableFrameRateRange(true, max, min);
        EXPECT_EQ(range.maxFps, 2000) << max << "/" << min;
        EXPECT_EQ(range.minFps, 1) << max << "/" << min;
    }
}

TEST(StreamCaps, FrameRateLimitOfARequestedInterval) {
    EXPECT_EQ(vyx::FrameRateLimitFor(333333, false, 0, 0), 30);
    EXPECT_EQ(vyx::FrameRateLimitFor(666666, false, 0, 0), 15);
    EXPECT_EQ(vyx::FrameRateLimitFor(400000, false, 0, 0), 25);
    // Clamped into the camera's range: first to the maximum, then up to the minimum.
    EXPECT_EQ(vyx::FrameRateLimitFor(333333, true, 20, 1), 20);
    EXPECT_EQ(vyx::FrameRateLimitFor(100000000, true, 60, 2), 2);
    EXPECT_EQ(vyx::FrameRateLimitFor(333333, true, 10, 15), 15);
    EXPECT_EQ(vyx::FrameRateLimitFor(0, true, 60, 1), 0);
}

TEST(StreamCaps, FrameRateListKeepsOnlyDurationsInsideTheRange) {
    using Durations = std::vector<LONGLONG>;
    // The fallback range 1..2000 keeps the whole list, in its order, without a 0.
    EXPECT_EQ(vyx::FrameDurationsWithin(vyx::UsableFrameRateRange(false, 0, 0)),
              (Durations{10000000, 333333, 166666, 100000, 66666, 50000, 40000, 33333, 20000, 12500, 10000, 6666}));
    // 1..60: 166666 (60 fps truncated) is just faster than the range's shortest, 166667.
    EXPECT_EQ(vyx::FrameDurationsWithin(vyx::UsableFrameRateRange(true, 60, 1)), (Durations{10000000, 333333}));
    EXPECT_EQ(vyx::FrameDurationsWithin(vyx::UsableFrameRateRange(true, 1000, 100)), (Durations{100000, 66666, 50000,
                                                                                           40000, 33333, 20000,
                                                                                           12500, 10000}));
    // A range between two listed rates lists nothing.
    EXPECT_TRUE(vyx::FrameDurationsWithin(vyx::UsableFrameRateRange(true, 45, 40)).empty());
}
