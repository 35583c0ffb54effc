// Format negotiation without COM or a graph: the format list's bin and size ladder, the
// offered types of every format kind, verdicts on proposed types, the stored connection
// type, the format choice and its lock, capabilities, frame-rate lists and limits, and the
// obs-host rule.
#include <gtest/gtest.h>

#include <dshow.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <utility>
#include <vector>

#include "FormatNegotiation.h"
#include "FrameRates.h"
#include "MediaTypePtr.h"
#include "OutputFormats.h"
#include "ResolutionLadder.h"

namespace vyx::test {
namespace {
// 1280 x 960 and 12 ladder sizes; bin 3 adds 424 x 320, bins 2 and 4 add nothing new.
constexpr auto kSizes = MakeResolutionList<1280, 960>();
constexpr int kSizeCount = static_cast<int>(kSizes.size());
constexpr FrameRateRange kCameraRange{60, 1};

VIDEOINFOHEADER* Info(const AM_MEDIA_TYPE& type) {
    return win::VideoInfoHeader(type);
}

// A pin's negotiation over the configuration of a freshly opened camera with bins 1 to 4.
struct Pin {
    StreamConfiguration config;
    FormatList formats{kSizes.data(), kSizeCount};
    bool color;
    FormatNegotiation negotiation;

    explicit Pin(bool isColor, bool obsHost = false, std::initializer_list<int> offered = {0, 1, 2, 3, 4})
        : color(isColor), negotiation(obsHost) {
        config.outputFormatIndex = color ? kOutputRGB24 : kOutputRGB8;
        config.imageFormat = color ? IMG_RGB24 : IMG_RAW8;
        config.width = 1280;
        config.height = 960;
        CameraProp prop{};
        prop.isColorCamera = color;
        for (int bin = 1; bin <= 4; ++bin) prop.supportedBins[bin - 1] = bin;
        int i = 0;
        for (int f : offered) prop.supportedFormats[i++] = f;
        prop.supportedFormats[i] = -1;
        formats.Build(prop);
    }

    CoreView View() const { return {config, formats, color}; }

    CMediaType Offered(int position) const {
        CMediaType type;
        EXPECT_EQ(negotiation.OfferedType(View(), position, &type), S_OK) << position;
        return type;
    }

    std::vector<CMediaType> AllOffered() const {
        std::vector<CMediaType> types;
        for (CMediaType type; negotiation.OfferedType(View(), static_cast<int>(types.size()), &type) == S_OK;)
            types.push_back(type);
        return types;
    }

    CMediaType Choose(const CMediaType& proposed) {
        FormatChoice choice;
        EXPECT_EQ(negotiation.ChooseFormat(View(), &proposed, &choice), S_OK);
        negotiation.LockTo(choice, &config);
        return choice.type;
    }
};

bool Is(const AM_MEDIA_TYPE& type, const GUID& subtype) {
    return IsEqualGUID(type.subtype, subtype);
}

CMediaType FirstOf(const std::vector<CMediaType>& types, const GUID& subtype, LONG width) {
    for (const CMediaType& type : types)
        if (Is(type, subtype) && Info(type)->bmiHeader.biWidth == width) return type;
    ADD_FAILURE() << "no offered type of width " << width;
    return {};
}
}  // namespace

TEST(FormatNegotiation, BinsAreSortedAndDeduplicatedAndZeroEndsTheirList) {
    // Bins are sorted and de-duplicated; zero ends the list, negatives are skipped.
    constexpr auto sizes = MakeResolutionList<3216, 2208>();
    FormatList list(sizes.data(), static_cast<int>(sizes.size()));
    CameraProp prop{};
    prop.isColorCamera = true;
    const int bins[] = {4, -2, 2, 1, 2, 0, 3};
    std::copy(std::begin(bins), std::end(bins), prop.supportedBins);
    prop.supportedFormats[0] = IMG_RGB24;
    prop.supportedFormats[1] = -1;
    list.Build(prop);
    ASSERT_EQ(list.Size(), static_cast<int>(sizes.size()) + 2);  // bins 1, 2, 4: bin 3 comes after the 0
    EXPECT_EQ(list.At(list.Size() - 2), (FormatEntry{kOutputRGB24, 2, 0, IMG_RGB24}));
    EXPECT_EQ(list.FrameSize(list.At(list.Size() - 2)), (Resolution{1608, 1104}));
    EXPECT_EQ(list.FrameSize(list.At(list.Size() - 1)), (Resolution{804, 552}));
}

TEST(FormatNegotiation, OfferedTypesDescribeEveryFormatKindAndLadderEntry) {
    for (const bool color : {true, false}) {
        Pin pin(color);
        const std::vector<CMediaType> types = pin.AllOffered();
        // Colour: five formats of 13 sizes plus bin 3; monochrome: RGB8, "Y800" and "Y16 ".
        ASSERT_EQ(types.size(), static_cast<size_t>((color ? 5 : 3) * (kSizeCount + 1))) << color;
        const GUID colorOrder[] = {MEDIASUBTYPE_RGB24, MEDIASUBTYPE_YUY2, MEDIASUBTYPE_RGB8, kSubtypeY16, kSubtypeY800};
        const GUID monoOrder[] = {MEDIASUBTYPE_RGB8, kSubtypeY800, kSubtypeY16};
        for (size_t i = 0; i < types.size(); ++i)
            EXPECT_TRUE(Is(types[i], (color ? colorOrder : monoOrder)[i / (kSizeCount + 1)])) << i;
        for (const CMediaType& type : types) {
            const BITMAPINFOHEADER& header = Info(type)->bmiHeader;
            const bool grey = Is(type, MEDIASUBTYPE_RGB8) || Is(type, kSubtypeY800);
            EXPECT_TRUE(IsEqualGUID(type.majortype, MEDIATYPE_Video));
            EXPECT_TRUE(IsEqualGUID(type.formattype, FORMAT_VideoInfo));
            EXPECT_EQ(type.cbFormat, grey ? 1112u : 88u);
            EXPECT_EQ(Info(type)->AvgTimePerFrame, 333333);
            EXPECT_EQ(header.biSize, 40u);
            EXPECT_EQ(header.biPlanes, 1);
            EXPECT_EQ(header.biBitCount, ExpectedBitCount(type.subtype));
            EXPECT_EQ(header.biSizeImage, static_cast<DWORD>(header.biWidth * header.biHeight * header.biBitCount / 8));
            EXPECT_EQ(type.GetSampleSize(), header.biSizeImage);
            EXPECT_FALSE(type.IsTemporalCompressed());
            EXPECT_EQ(header.biClrUsed, grey ? 256u : 0u);
            const DWORD compression = Is(type, kSubtypeY16) ? 0x20363159u : Is(type, MEDIASUBTYPE_YUY2) ? 0x32595559u : 0u;
            EXPECT_EQ(header.biCompression, compression);
            const RGBQUAD grey200 = {200, 200, 200, 0};
            EXPECT_TRUE(!grey || std::memcmp(type.pbFormat + 88 + 200 * 4, &grey200, 4) == 0);
        }
        // Bin 1 offers the ladder in its order; bin 3's binned sensor comes last.
        EXPECT_EQ(Info(types[1])->bmiHeader.biWidth, kSizes[1].width);
        EXPECT_EQ(Info(types[kSizeCount])->bmiHeader.biWidth * Info(types[kSizeCount])->bmiHeader.biHeight, 424 * 320);
        EXPECT_EQ(Info(FirstOf(types, kSubtypeY16, 640))->bmiHeader.biSizeImage, 614400u);

        CMediaType beyond;
        EXPECT_EQ(pin.negotiation.OfferedType(pin.View(), static_cast<int>(types.size()), &beyond), VFW_S_NO_MORE_ITEMS);
        EXPECT_EQ(pin.negotiation.OfferedType(pin.View(), -1, &beyond), E_INVALIDARG);
        EXPECT_EQ(pin.negotiation.OfferedType(pin.View(), 0, nullptr), E_POINTER);
    }

    // Formats the camera does not list are not offered; with none, nothing is accepted.
    EXPECT_EQ(Pin(true, false, {0, 4}).AllOffered().size(), 2u * (kSizeCount + 1));
    Pin empty(true, false, {});
    CMediaType none;
    EXPECT_EQ(empty.negotiation.OfferedType(empty.View(), 0, &none), VFW_S_NO_MORE_ITEMS);
    EXPECT_EQ(empty.negotiation.Check(empty.View(), Pin(true).Offered(0)), E_INVALIDARG);
}

TEST(FormatNegotiation, CheckAcceptsOfferedTypesAndRefusesMalformedOnes) {
    Pin pin(true);
    for (const CMediaType& type : pin.AllOffered()) EXPECT_EQ(pin.negotiation.Check(pin.View(), type), S_OK);
    const CMediaType good = pin.Offered(0);

    std::vector<CMediaType> bad(12, good);
    bad[0].SetType(&MEDIATYPE_Audio);
    bad[1].SetSubtype(&MEDIASUBTYPE_RGB32);
    bad[2].SetFormatType(&FORMAT_VideoInfo2);
    bad[3].ReallocFormatBuffer(87);
    bad[4].ResetFormatBuffer();
    bad[5].SetVariableSize();
    Info(bad[6])->AvgTimePerFrame = 0;
    Info(bad[7])->AvgTimePerFrame = -1;
    Info(bad[8])->bmiHeader.biBitCount = 32;
    Info(bad[9])->bmiHeader.biHeight = -960;
    Info(bad[10])->bmiHeader.biWidth += 4;
    Info(bad[11])->bmiHeader.biWidth = -1280;
    for (size_t i = 0; i < bad.size(); ++i) EXPECT_EQ(pin.negotiation.Check(pin.View(), bad[i]), E_INVALIDARG) << i;

    // A monochrome camera offers no colour output.
    Pin mono(false);
    EXPECT_EQ(mono.negotiation.Check(mono.View(), FirstOf(pin.AllOffered(), MEDIASUBTYPE_YUY2, 640)), E_INVALIDARG);
    EXPECT_EQ(mono.negotiation.Check(mono.View(), FirstOf(mono.AllOffered(), kSubtypeY800, 640)), S_OK);
}

TEST(FormatNegotiation, StoredConnectionTypeHasTheEntrysSizeAndThePeersInterval) {
    Pin pin(true);
    const std::vector<CMediaType> types = pin.AllOffered();
    const CMediaType y16 = FirstOf(types, kSubtypeY16, 640);
    for (const DWORD proposed : {0u, 2u * 614400u, 100u}) {
        CMediaType peer(y16);
        Info(peer)->bmiHeader.biSizeImage = proposed;
        peer.SetSampleSize(proposed);
        Info(peer)->AvgTimePerFrame = 500000;
        ConnectionChoice choice;
        ASSERT_EQ(pin.negotiation.MatchConnection(pin.View(), &peer, &choice), S_OK) << proposed;
        EXPECT_EQ(Info(choice.type)->bmiHeader.biSizeImage, 614400u);
        EXPECT_EQ(choice.type.GetSampleSize(), 614400u);
        EXPECT_EQ(Info(choice.type)->AvgTimePerFrame, 500000);
        EXPECT_FALSE(choice.intervalRequested);
        EXPECT_EQ(choice.interval, 500000);
    }

    // After a choice with an interval, the requested interval limits the camera's rate
    // while the stored type keeps the peer's.
    CMediaType chosen = types[2];
    Info(chosen)->AvgTimePerFrame = 666666;
    pin.Choose(chosen);
    ConnectionChoice choice;
    Info(chosen)->AvgTimePerFrame = 400000;
    ASSERT_EQ(pin.negotiation.MatchConnection(pin.View(), &chosen, &choice), S_OK);
    EXPECT_TRUE(choice.intervalRequested);
    EXPECT_EQ(choice.interval, 666666);
    EXPECT_EQ(Info(choice.type)->AvgTimePerFrame, 400000);

    Info(chosen)->bmiHeader.biBitCount = 8;
    EXPECT_EQ(pin.negotiation.MatchConnection(pin.View(), &chosen, &choice), E_INVALIDARG);
    EXPECT_EQ(pin.negotiation.MatchConnection(pin.View(), nullptr, &choice), E_INVALIDARG);
    EXPECT_EQ(pin.negotiation.MatchConnection(pin.View(), &y16, nullptr), E_INVALIDARG);
}

TEST(FormatNegotiation, CameraInstanceConfigurationOutsideTheListResolvesToItself) {
    Pin pin(true);
    // Bin 2 at 1024 x 768 is 512 x 384, which the list does not hold.
    pin.config.bin = 2;
    pin.config.resolutionIndex = 3;
    pin.config.width = 512;
    pin.config.height = 384;
    CMediaType proposed;
    ASSERT_EQ(pin.negotiation.ConfiguredType(pin.View(), &proposed), S_OK);
    EXPECT_EQ(pin.negotiation.Check(pin.View(), proposed), E_INVALIDARG);
    pin.config.changed = true;
    ConnectionChoice choice;
    ASSERT_EQ(pin.negotiation.MatchConnection(pin.View(), &proposed, &choice), S_OK);
    EXPECT_EQ(choice.entry, (FormatEntry{kOutputRGB24, 2, 3, IMG_RGB24}));
    EXPECT_EQ(Info(choice.type)->bmiHeader.biSizeImage, 512u * 384u * 3u);
}

TEST(FormatNegotiation, ChosenFormatIsRepairedAndLocksNegotiationUntilUnlocked) {
    Pin pin(true);
    const std::vector<CMediaType> types = pin.AllOffered();
    const LONG version = pin.negotiation.TypeVersion();
    CMediaType current;
    ASSERT_EQ(pin.negotiation.CurrentFormat(pin.View(), &current), S_OK);
    EXPECT_TRUE(current == types[0]);  // the camera's configuration at 30 frames per second
    CMediaType proposed = FirstOf(types, MEDIASUBTYPE_YUY2, 800);
    // Only subtype and size select: a wrong bit count and a stale image size are repaired.
    Info(proposed)->bmiHeader.biBitCount = 32;
    Info(proposed)->bmiHeader.biSizeImage = 12345;
    Info(proposed)->AvgTimePerFrame = 666666;
    const CMediaType chosen = pin.Choose(proposed);
    EXPECT_EQ(pin.negotiation.TypeVersion(), version + 1);
    EXPECT_EQ(Info(chosen)->bmiHeader.biBitCount, 16);
    EXPECT_EQ(Info(chosen)->bmiHeader.biSizeImage, 800u * 800u * 2u);
    EXPECT_EQ(pin.config.imageFormat, IMG_YUY2);
    EXPECT_TRUE(pin.config.formatLocked);
    EXPECT_TRUE(pin.config.intervalRequested);

    // Locked: one offered type with the requested interval; other subtypes are refused.
    CMediaType offered = pin.Offered(0);
    EXPECT_TRUE(offered == chosen);
    EXPECT_EQ(Info(offered)->AvgTimePerFrame, 666666);
    ASSERT_EQ(pin.negotiation.CurrentFormat(pin.View(), &current), S_OK);
    EXPECT_TRUE(current == chosen);
    EXPECT_EQ(pin.negotiation.OfferedType(pin.View(), 1, &offered), VFW_S_NO_MORE_ITEMS);
    EXPECT_EQ(pin.negotiation.Check(pin.View(), types[0]), E_INVALIDARG);
    EXPECT_EQ(pin.negotiation.Check(pin.View(), FirstOf(types, MEDIASUBTYPE_YUY2, 640)), S_OK);

    // The end of streaming unlocks; a choice without an interval clears the request.
    pin.config.formatLocked = false;
    EXPECT_EQ(pin.AllOffered().size(), types.size());
    CMediaType plain = types[1];
    Info(plain)->AvgTimePerFrame = 0;
    EXPECT_EQ(Info(pin.Choose(plain))->AvgTimePerFrame, 333333);
    EXPECT_FALSE(pin.config.intervalRequested);
    EXPECT_EQ(Info(pin.Offered(0))->AvgTimePerFrame, 333333);
    EXPECT_EQ(pin.negotiation.TypeVersion(), version + 2);

    std::vector<CMediaType> bad(5, types[0]);
    Info(bad[0])->bmiHeader.biWidth = 4;
    bad[1].SetType(&MEDIATYPE_Audio);
    bad[2].SetFormatType(&FORMAT_VideoInfo2);
    bad[3].ReallocFormatBuffer(40);
    bad[4].SetSubtype(&MEDIASUBTYPE_RGB32);
    FormatChoice choice;
    for (size_t i = 0; i < bad.size(); ++i)
        EXPECT_EQ(pin.negotiation.ChooseFormat(pin.View(), &bad[i], &choice), VFW_E_INVALIDMEDIATYPE) << i;
    EXPECT_EQ(pin.negotiation.ChooseFormat(pin.View(), nullptr, &choice), VFW_E_INVALIDMEDIATYPE);
    EXPECT_EQ(pin.negotiation.TypeVersion(), version + 2);
}

TEST(FormatNegotiation, CapabilitiesAndFrameRateListsFollowTheFrameRateRange) {
    Pin pin(true);
    const int count = pin.negotiation.CapabilityCount(pin.View());
    ASSERT_EQ(count, 5 * (kSizeCount + 1));
    VIDEO_STREAM_CONFIG_CAPS caps{};
    CMediaType type;
    std::vector<LONGLONG> durations{1};
    for (const int index : {-1, count}) {
        EXPECT_EQ(pin.negotiation.Capability(pin.View(), index, kCameraRange, &type, &caps), E_INVALIDARG) << index;
        EXPECT_EQ(pin.negotiation.FrameDurations(pin.View(), index, kCameraRange, &durations), E_INVALIDARG) << index;
        EXPECT_TRUE(durations.empty());
    }
    EXPECT_EQ(pin.negotiation.Capability(pin.View(), 0, kCameraRange, &type, nullptr), E_POINTER);
    EXPECT_EQ(pin.negotiation.FrameDurations(pin.View(), 0, kCameraRange, nullptr), E_POINTER);

    // Unusable ranges fall back to 1..2000 frames per second.
    for (const auto& [max, min] : {std::pair{60, 0}, std::pair{5, 10}, std::pair{60, -1}}) {
        const FrameRateRange range = UsableFrameRateRange(true, max, min);
        EXPECT_EQ(range.maxFps, 2000) << max << "/" << min;
        EXPECT_EQ(range.minFps, 1) << max << "/" << min;
    }
    // RGB24 1280 x 960 with the fallback: the bit rate of 2000 frames is limited.
    std::memset(&caps, 0xCD, sizeof caps);
    ASSERT_EQ(pin.negotiation.Capability(pin.View(), 0, UsableFrameRateRange(false, 0, 0), &type, &caps), S_OK);
    EXPECT_TRUE(type == pin.Offered(0));
    EXPECT_TRUE(IsEqualGUID(caps.guid, FORMAT_VideoInfo));
    EXPECT_EQ(caps.InputSize.cx, 1280);
    EXPECT_EQ(caps.MaxOutputSize.cy, 960);
    EXPECT_EQ(caps.MinFrameInterval, 5000);
    EXPECT_EQ(caps.MaxFrameInterval, 10000000);
    EXPECT_EQ(caps.MinBitsPerSecond, 29491200);
    EXPECT_EQ(caps.MaxBitsPerSecond, 2147483647);
    EXPECT_EQ(caps.VideoStandard, 0u);
    EXPECT_EQ(caps.ShrinkTapsY, 0);
    ASSERT_EQ(pin.negotiation.FrameDurations(pin.View(), 0, UsableFrameRateRange(false, 0, 0), &durations), S_OK);
    EXPECT_EQ(durations, (std::vector<LONGLONG>{10000000, 333333, 166666, 100000, 66666, 50000, 40000, 33333, 20000,
                                                12500, 10000, 6666}));
    // "Y800" 640 x 480 with 1..60, rounded up so as never to promise more than 60; the
    // list's 60 (166666, truncated) is within one unit of it and listed.
    const int y800 = count - (kSizeCount + 1) + 10;
    ASSERT_EQ(pin.negotiation.Capability(pin.View(), y800, kCameraRange, &type, &caps), S_OK);
    EXPECT_EQ(caps.InputSize.cx, 640);
    EXPECT_EQ(caps.MinFrameInterval, 166667);
    EXPECT_EQ(caps.MinBitsPerSecond, 2457600);
    EXPECT_EQ(caps.MaxBitsPerSecond, 147456000);
    ASSERT_EQ(pin.negotiation.FrameDurations(pin.View(), y800, kCameraRange, &durations), S_OK);
    EXPECT_EQ(durations, (std::vector<LONGLONG>{10000000, 333333, 166666}));
    // The fastest interval available is the capability's, for the same indexes as the list.
    LONGLONG fastest = 0;
    ASSERT_EQ(pin.negotiation.FastestInterval(pin.View(), y800, kCameraRange, &fastest), S_OK);
    EXPECT_EQ(fastest, caps.MinFrameInterval);
    EXPECT_EQ(pin.negotiation.FastestInterval(pin.View(), count, kCameraRange, &fastest), E_INVALIDARG);
    EXPECT_EQ(pin.negotiation.FastestInterval(pin.View(), -1, kCameraRange, &fastest), E_INVALIDARG);
    ASSERT_EQ(pin.negotiation.FrameDurations(pin.View(), y800, {1000, 100}, &durations), S_OK);
    EXPECT_EQ(durations, (std::vector<LONGLONG>{100000, 66666, 50000, 40000, 33333, 20000, 12500, 10000}));
    // A range between two listed rates lists nothing.
    ASSERT_EQ(pin.negotiation.FrameDurations(pin.View(), y800, {45, 40}, &durations), S_OK);
    EXPECT_TRUE(durations.empty());
}

TEST(FormatNegotiation, FrameRateLimitOfARequestedInterval) {
    EXPECT_EQ(FrameRateLimitFor(333333, false, 0, 0), 30);
    EXPECT_EQ(FrameRateLimitFor(666666, false, 0, 0), 15);
    EXPECT_EQ(FrameRateLimitFor(400000, false, 0, 0), 25);
    // Clamped into the camera's range: first to the maximum, then up to the minimum.
    EXPECT_EQ(FrameRateLimitFor(333333, true, 20, 1), 20);
    EXPECT_EQ(FrameRateLimitFor(100000000, true, 60, 2), 2);
    EXPECT_EQ(FrameRateLimitFor(333333, true, 10, 15), 15);
    EXPECT_EQ(FrameRateLimitFor(0, true, 60, 1), 0);
    // One frame every 3 s (or slower) still limits: 0 would mean no limit at all, also where
    // the camera's range does not raise it (unread, or a minimum of 0).
    for (const long long interval : {20000001LL, 30000000LL, 600000000LL, LLONG_MAX}) {
        EXPECT_EQ(FrameRateLimitFor(interval, false, 0, 0), 1) << interval;
        EXPECT_EQ(FrameRateLimitFor(interval, true, 60, 0), 1) << interval;
    }
    EXPECT_EQ(FrameRateLimitFor(30000000, true, 60, 2), 2);
}

TEST(FormatNegotiation, ObsHostIsOfferedTheFullSensorAloneUntilAChoice) {
    for (const bool color : {true, false}) {
        Pin pin(color, true);
        const GUID& preferred = color ? MEDIASUBTYPE_RGB24 : kSubtypeY800;
        EXPECT_EQ(pin.negotiation.CapabilityCount(pin.View()), 1);
        const CMediaType offered = pin.Offered(0);
        EXPECT_TRUE(Is(offered, preferred));
        EXPECT_EQ(Info(offered)->bmiHeader.biWidth, 1280);
        CMediaType type;
        EXPECT_EQ(pin.negotiation.OfferedType(pin.View(), 1, &type), VFW_S_NO_MORE_ITEMS);
        VIDEO_STREAM_CONFIG_CAPS caps{};
        ASSERT_EQ(pin.negotiation.Capability(pin.View(), 0, kCameraRange, &type, &caps), S_OK);
        EXPECT_TRUE(type == offered);
        EXPECT_EQ(pin.negotiation.Capability(pin.View(), 1, kCameraRange, &type, &caps), E_INVALIDARG);
        ASSERT_EQ(pin.negotiation.CurrentFormat(pin.View(), &type), S_OK);
        EXPECT_TRUE(type == offered);

        // A choice wins over the rule.
        CMediaType small = offered;
        Info(small)->bmiHeader.biWidth = 320;
        Info(small)->bmiHeader.biHeight = 240;
        Info(small)->AvgTimePerFrame = 666666;
        pin.Choose(small);
        EXPECT_EQ(pin.config.imageFormat, color ? IMG_RGB24 : IMG_RAW8);  // both 8-bit outputs of mono from raw 8
        ASSERT_EQ(pin.negotiation.CurrentFormat(pin.View(), &type), S_OK);
        EXPECT_EQ(Info(type)->bmiHeader.biWidth, 320);
        EXPECT_EQ(Info(type)->AvgTimePerFrame, 666666);
    }

    // Without the preferred format on offer there is nothing to show.
    Pin partial(true, true, {0, 4});
    CMediaType type;
    VIDEO_STREAM_CONFIG_CAPS caps{};
    EXPECT_EQ(partial.negotiation.OfferedType(partial.View(), 0, &type), VFW_S_NO_MORE_ITEMS);
    EXPECT_EQ(partial.negotiation.Capability(partial.View(), 0, kCameraRange, &type, &caps), VFW_S_NO_MORE_ITEMS);
    EXPECT_EQ(partial.negotiation.CurrentFormat(partial.View(), &type), VFW_S_NO_MORE_ITEMS);
}

}  // namespace vyx::test
