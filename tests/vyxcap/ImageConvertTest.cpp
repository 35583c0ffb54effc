#include <gtest/gtest.h>

#include <windows.h>
#include <dshow.h>

#include <cstring>
#include <vector>

#include "FourccSubtype.h"
#include "ImageConvert.h"
#include "ToolError.h"

using namespace vyx::vyxcap;

namespace {

// A media type with a VIDEOINFOHEADER and an optional palette behind it.
class TestType {
public:
    TestType(const GUID& subtype, LONG width, LONG height, WORD bits, DWORD compression,
             const std::vector<RGBQUAD>& palette = {}) {
        m_block.resize(sizeof(VIDEOINFOHEADER) + palette.size() * sizeof(RGBQUAD));
        auto* header = reinterpret_cast<VIDEOINFOHEADER*>(m_block.data());
        header->bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        header->bmiHeader.biWidth = width;
        header->bmiHeader.biHeight = height;
        header->bmiHeader.biBitCount = bits;
        header->bmiHeader.biCompression = compression;
        header->bmiHeader.biClrUsed = static_cast<DWORD>(palette.size());
        if (!palette.empty())
            std::memcpy(m_block.data() + sizeof(VIDEOINFOHEADER), palette.data(), palette.size() * sizeof(RGBQUAD));
        m_type.majortype = MEDIATYPE_Video;
        m_type.subtype = subtype;
        m_type.formattype = FORMAT_VideoInfo;
        m_type.cbFormat = static_cast<ULONG>(m_block.size());
        m_type.pbFormat = m_block.data();
    }
    const AM_MEDIA_TYPE& get() const { return m_type; }

private:
    std::vector<BYTE> m_block;
    AM_MEDIA_TYPE m_type{};
};

Image Convert(const TestType& type, const std::vector<std::uint8_t>& data) {
    return ConvertToImage(type.get(), data.data(), data.size());
}

}  // namespace

TEST(ImageConvert, FlipsBottomUpRgbAndKeepsTopDownRows) {
    // 1 x 2 RGB24, rows padded to 4 bytes; the first row in memory is the bottom one.
    const TestType bottomUp(MEDIASUBTYPE_RGB24, 1, 2, 24, BI_RGB);
    const Image flipped = Convert(bottomUp, {1, 2, 3, 0, 4, 5, 6, 0});
    EXPECT_EQ(flipped.channels, 3);
    EXPECT_EQ(flipped.pixels, (std::vector<std::uint8_t>{6, 5, 4, 3, 2, 1})) << "top row first, R G B";

    const TestType topDown(MEDIASUBTYPE_RGB24, 1, -2, 24, BI_RGB);
    EXPECT_EQ(Convert(topDown, {1, 2, 3, 0, 4, 5, 6, 0}).pixels, (std::vector<std::uint8_t>{3, 2, 1, 6, 5, 4}));

    const TestType rgb32(MEDIASUBTYPE_RGB32, 2, 1, 32, BI_RGB);
    EXPECT_EQ(Convert(rgb32, {1, 2, 3, 255, 4, 5, 6, 255}).pixels,
              (std::vector<std::uint8_t>{3, 2, 1, 6, 5, 4}));

    // Eight-bit grey declared with BI_RGB runs bottom-up like RGB; rows padded to 4 bytes.
    const TestType y800(FourccSubtype(MAKEFOURCC('Y', '8', '0', '0')), 2, 2, 8, BI_RGB);
    const Image grey = Convert(y800, {10, 20, 0, 0, 30, 40, 0, 0});
    EXPECT_EQ(grey.channels, 1);
    EXPECT_EQ(grey.pixels, (std::vector<std::uint8_t>{30, 40, 10, 20}));
}

TEST(ImageConvert, ConvertsPalettesYuvAndSixteenBitGrey) {
    std::vector<RGBQUAD> greyPalette(256), colourPalette(256);
    for (int i = 0; i < 256; ++i) {
        greyPalette[i] = {BYTE(i), BYTE(i), BYTE(i), 0};
        colourPalette[i] = {BYTE(i), 0, BYTE(255 - i), 0};
    }
    const TestType greyRgb8(MEDIASUBTYPE_RGB8, 4, 1, 8, BI_RGB, greyPalette);
    const Image grey = Convert(greyRgb8, {0, 7, 128, 255});
    EXPECT_EQ(grey.channels, 1);
    EXPECT_EQ(grey.pixels, (std::vector<std::uint8_t>{0, 7, 128, 255}));
    const TestType colourRgb8(MEDIASUBTYPE_RGB8, 4, 1, 8, BI_RGB, colourPalette);
    const Image colour = Convert(colourRgb8, {0, 7, 128, 255});
    EXPECT_EQ(colour.channels, 3);
    EXPECT_EQ(std::vector<std::uint8_t>(colour.pixels.begin(), colour.pixels.begin() + 6),
              (std::vector<std::uint8_t>{255, 0, 0, 248, 0, 7}));

    // YUY2 is top-down whatever the sign of the height; studio-range white and black.
    const TestType yuy2(MEDIASUBTYPE_YUY2, 2, 2, 16, MAKEFOURCC('Y', 'U', 'Y', '2'));
    const Image yuv = Convert(yuy2, {235, 128, 16, 128, 81, 90, 81, 240});
    EXPECT_EQ(std::vector<std::uint8_t>(yuv.pixels.begin(), yuv.pixels.begin() + 6),
              (std::vector<std::uint8_t>{255, 255, 255, 0, 0, 0}));
    EXPECT_GE(yuv.pixels[6], 250) << "Y 81 U 90 V 240 is red";
    EXPECT_LE(yuv.pixels[7], 5);
    EXPECT_LE(yuv.pixels[8], 5);
    const TestType uyvy(FourccSubtype(MAKEFOURCC('U', 'Y', 'V', 'Y')), 2, 1, 16, MAKEFOURCC('U', 'Y', 'V', 'Y'));
    EXPECT_EQ(Convert(uyvy, {128, 235, 128, 16}).pixels, (std::vector<std::uint8_t>{255, 255, 255, 0, 0, 0}));

    // Sixteen-bit grey, little-endian, top-down, stretched between the 1st and 99.9th
    // percentiles so that a single hot pixel does not flatten the picture.
    const int width = 1000;
    const TestType y16(FourccSubtype(MAKEFOURCC('Y', '1', '6', ' ')), width, 1, 16, MAKEFOURCC('Y', '1', '6', ' '));
    std::vector<std::uint8_t> data(2 * width);
    for (int x = 0; x < width; ++x) {
        const int value = x == width - 1 ? 65535 : 1000 + x;
        data[2 * x] = value & 0xFF;
        data[2 * x + 1] = value >> 8;
    }
    const Image stretched = Convert(y16, data);
    EXPECT_EQ(stretched.channels, 1);
    EXPECT_EQ(stretched.pixels[0], 0);
    EXPECT_EQ(stretched.pixels[10], 0) << "the darkest percent is black";
    EXPECT_NEAR(stretched.pixels[500], 127, 2) << "the middle of the range is mid-grey";
    EXPECT_EQ(stretched.pixels[998], 255);
    EXPECT_EQ(stretched.pixels[999], 255) << "the hot pixel saturates, the rest keeps its contrast";
    const TestType flat(FourccSubtype(MAKEFOURCC('Y', '1', '6', ' ')), 2, 1, 16, MAKEFOURCC('Y', '1', '6', ' '));
    EXPECT_EQ(Convert(flat, {0x34, 0x12, 0x34, 0x12}).pixels.size(), 2u) << "a flat frame converts";
}

TEST(ImageConvert, RefusesUnknownLayoutsAndShortFrames) {
    const TestType mjpg(FourccSubtype(MAKEFOURCC('M', 'J', 'P', 'G')), 4, 4, 24, MAKEFOURCC('M', 'J', 'P', 'G'));
    EXPECT_FALSE(CanConvertToImage(mjpg.get()));
    EXPECT_THROW(Convert(mjpg, std::vector<std::uint8_t>(48)), ToolError);

    const TestType rgb(MEDIASUBTYPE_RGB24, 3, 2, 24, BI_RGB);
    EXPECT_TRUE(CanConvertToImage(rgb.get()));
    EXPECT_THROW(Convert(rgb, std::vector<std::uint8_t>(23)), ToolError) << "two padded rows need 24 bytes";
    EXPECT_NO_THROW(Convert(rgb, std::vector<std::uint8_t>(24)));
    EXPECT_THROW(ConvertToImage(rgb.get(), nullptr, 24), ToolError);

    const TestType wrongBits(MEDIASUBTYPE_RGB24, 2, 2, 16, BI_RGB);
    EXPECT_FALSE(CanConvertToImage(wrongBits.get()));
    const TestType oddYuy2(MEDIASUBTYPE_YUY2, 3, 2, 16, MAKEFOURCC('Y', 'U', 'Y', '2'));
    EXPECT_THROW(Convert(oddYuy2, std::vector<std::uint8_t>(64)), ToolError);
    const TestType noWidth(MEDIASUBTYPE_RGB24, 0, 2, 24, BI_RGB);
    EXPECT_FALSE(CanConvertToImage(noWidth.get()));

    AM_MEDIA_TYPE noBlock{};
    noBlock.majortype = MEDIATYPE_Video;
    noBlock.subtype = MEDIASUBTYPE_RGB24;
    noBlock.formattype = FORMAT_VideoInfo;
    EXPECT_FALSE(CanConvertToImage(noBlock));
    TestType shortBlock(MEDIASUBTYPE_RGB24, 2, 2, 24, BI_RGB);
    AM_MEDIA_TYPE truncated = shortBlock.get();
    truncated.cbFormat = sizeof(VIDEOINFOHEADER) - 1;
    EXPECT_FALSE(CanConvertToImage(truncated));
}
