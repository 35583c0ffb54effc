// The media source's conversions against the reference frames: every conversion on an
// uneven picture (so a row or column out of place shows), the range limits, and the
// argument checks of ConvertFrame.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "FrameConversion.h"
#include "ReferenceFrames.h"

namespace {
using namespace vyx::mf;
using namespace vyx::test;

constexpr int kWidth = 12;
constexpr int kHeight = 6;

ColourPicture MakeColourPicture() {
    ColourPicture picture;
    std::uint32_t seed = 12345;
    for (int i = 0; i < kWidth * kHeight; ++i) {
        seed = seed * 1103515245u + 12345u;
        picture.push_back({static_cast<int>(seed >> 8 & 0xFF), static_cast<int>(seed >> 16 & 0xFF),
                           static_cast<int>(seed >> 24 & 0xFF)});
    }
    picture[0] = {0, 0, 0};      // the extremes, in the top-left block
    picture[1] = {255, 255, 255};
    return picture;
}

GreyPicture MakeGreyPicture() {
    GreyPicture picture;
    for (int i = 0; i < kWidth * kHeight; ++i) picture.push_back((i * 37 + 11) % 256);
    picture[0] = 0;
    picture[1] = 255;
    return picture;
}

// The camera's layout: rows bottom-up, pixels B, G, R.
std::vector<BYTE> CameraBgr(const ColourPicture& picture) {
    std::vector<BYTE> frame;
    for (int y = kHeight - 1; y >= 0; --y)
        for (int x = 0; x < kWidth; ++x) {
            const Bgr& p = picture[static_cast<std::size_t>(y * kWidth + x)];
            frame.insert(frame.end(), {static_cast<BYTE>(p.b), static_cast<BYTE>(p.g), static_cast<BYTE>(p.r)});
        }
    return frame;
}

std::vector<BYTE> CameraGrey(const GreyPicture& picture) {
    std::vector<BYTE> frame;
    for (int y = kHeight - 1; y >= 0; --y)
        for (int x = 0; x < kWidth; ++x) frame.push_back(static_cast<BYTE>(picture[static_cast<std::size_t>(y * kWidth + x)]));
    return frame;
}

std::vector<BYTE> Convert(Conversion conversion, const std::vector<BYTE>& source) {
    std::vector<BYTE> output(OutputBytes(conversion, kWidth, kHeight), 0xCD);
    EXPECT_EQ(ConvertFrame(conversion, source.data(), source.size(), output.data(), output.size(), kWidth, kHeight),
              S_OK);
    return output;
}

TEST(FrameConversion, ColourFramesAgreeWithTheReferenceWithinRounding) {
    const ColourPicture picture = MakeColourPicture();
    const std::vector<BYTE> camera = CameraBgr(picture);
    EXPECT_EQ(Convert(Conversion::Rgb24ToRgb32, camera), ReferenceRgb32(picture, kWidth, kHeight));
    EXPECT_LE(LargestDifference(Convert(Conversion::Rgb24ToNv12, camera), ReferenceNv12(picture, kWidth, kHeight)), 2);
    EXPECT_LE(LargestDifference(Convert(Conversion::Rgb24ToYuy2, camera), ReferenceYuy2(picture, kWidth, kHeight)), 2);

    // Black and white reach the ends of studio range exactly, with neutral chroma.
    const std::vector<BYTE> nv12 = Convert(Conversion::Rgb24ToNv12, camera);
    EXPECT_EQ(nv12[0], 16);
    EXPECT_EQ(nv12[1], 235);
}

TEST(FrameConversion, GreyFramesAreLumaWithNeutralChroma) {
    const GreyPicture picture = MakeGreyPicture();
    const std::vector<BYTE> camera = CameraGrey(picture);
    EXPECT_EQ(Convert(Conversion::Grey8ToNv12, camera), ReferenceGreyNv12(picture, kWidth, kHeight));
    EXPECT_EQ(Convert(Conversion::Grey8ToYuy2, camera), ReferenceGreyYuy2(picture, kWidth, kHeight));
    std::vector<BYTE> grey(picture.begin(), picture.end());
    EXPECT_EQ(Convert(Conversion::Grey8ToL8, camera), grey);
}

TEST(FrameConversion, RefusesSizesAndBuffersItCannotFill) {
    std::vector<BYTE> source(kWidth * kHeight * 3), output(kWidth * kHeight * 4);
    EXPECT_EQ(ConvertFrame(Conversion::Rgb24ToNv12, nullptr, source.size(), output.data(), output.size(), kWidth, kHeight),
              E_POINTER);
    EXPECT_EQ(ConvertFrame(Conversion::Rgb24ToNv12, source.data(), source.size(), nullptr, output.size(), kWidth, kHeight),
              E_POINTER);
    EXPECT_EQ(ConvertFrame(Conversion::Direct, source.data(), source.size(), output.data(), output.size(), kWidth, kHeight),
              E_INVALIDARG);
    EXPECT_EQ(ConvertFrame(Conversion::Rgb24ToYuy2, source.data(), source.size(), output.data(), output.size(), 11, 4),
              E_INVALIDARG);  // odd width: half a chroma pair
    EXPECT_EQ(ConvertFrame(Conversion::Rgb24ToNv12, source.data(), source.size(), output.data(), output.size(), 12, 5),
              E_INVALIDARG);  // odd height: half a chroma row
    EXPECT_EQ(ConvertFrame(Conversion::Rgb24ToYuy2, source.data(), source.size(), output.data(), output.size(), 12, 5),
              S_OK);
    EXPECT_EQ(ConvertFrame(Conversion::Rgb24ToRgb32, source.data(), source.size() - 1, output.data(), output.size(),
                           kWidth, kHeight),
              E_INVALIDARG);
    EXPECT_EQ(ConvertFrame(Conversion::Rgb24ToRgb32, source.data(), source.size(), output.data(), output.size() - 1,
                           kWidth, kHeight),
              E_INVALIDARG);
    EXPECT_EQ(ConvertFrame(Conversion::Grey8ToL8, source.data(), source.size(), output.data(), output.size(), 0, kHeight),
              E_INVALIDARG);
}

}  // namespace
