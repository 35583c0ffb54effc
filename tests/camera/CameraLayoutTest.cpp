// Frame sizes and byte layouts of every ImageFormat, with the test-pattern switch: row
// order, colour byte order, 16-bit byte order, YUY2 packing, flips, region start, and
// that a frame never spills past the buffer it is given.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "CameraTestSupport.h"
#include "TestPattern.h"

namespace {

using vyx::sim::test::CameraPtr;
namespace pattern = vyx::sim::bus::pattern;

struct Shape {
    int width, height, bin, startX, startY;
    bool flipH, flipV;
};

int Bpp(ImageFormat f) { return f == IMG_RGB24 ? 3 : (f == IMG_RAW16 || f == IMG_YUY2) ? 2 : 1; }

// The frame a DirectShow consumer expects, built pixel by pixel from the picture.
std::vector<std::uint8_t> ExpectedFrame(ImageFormat format, const Shape& s) {
    const int bpp = Bpp(format);
    std::vector<std::uint8_t> frame(static_cast<size_t>(s.width) * s.height * bpp);
    const bool bottomUp = format == IMG_RAW8 || format == IMG_Y8 || format == IMG_RGB24;
    for (int y = 0; y < s.height; ++y) {
        const int v = s.startY + (s.flipV ? s.height - 1 - y : y);
        const int row = bottomUp ? s.height - 1 - y : y;
        for (int x = 0; x < s.width; ++x) {
            const int u = s.startX + (s.flipH ? s.width - 1 - x : x);
            std::uint8_t* p = &frame[(static_cast<size_t>(row) * s.width + x) * bpp];
            switch (format) {
            case IMG_RAW16:
                p[0] = static_cast<std::uint8_t>(pattern::Grey16(u, v) & 0xFF);
                p[1] = static_cast<std::uint8_t>(pattern::Grey16(u, v) >> 8);
                break;
            case IMG_RGB24:
                p[0] = pattern::Blue(u, v);
                p[1] = pattern::Green(u, v);
                p[2] = pattern::Red(u, v);
                break;
            case IMG_YUY2: {
                p[0] = pattern::Grey8(u, v);
                const int left = s.startX + (s.flipH ? s.width - 1 - (x & ~1) : (x & ~1));
                p[1] = (x & 1) == 0 ? pattern::PairU(left, v) : pattern::PairV(left, v);
                break;
            }
            default:
                p[0] = pattern::Grey8(u, v);
                break;
            }
        }
    }
    return frame;
}

void Configure(VyxonCamera& camera, ImageFormat format, const Shape& s) {
    ASSERT_TRUE(camera.SetBin(s.bin));
    ASSERT_TRUE(camera.SetImgSize(s.width, s.height));
    ASSERT_TRUE(camera.SetImgStartPos(s.startX, s.startY));
    ASSERT_TRUE(camera.SetImgFlip(s.flipH, s.flipV));
    ASSERT_TRUE(camera.SetImgFormat(format));
}

// Reads one frame into a buffer with guard bytes after it and checks both.
void CheckFrame(VyxonCamera& camera, ImageFormat format, const Shape& s) {
    SCOPED_TRACE(testing::Message() << "format " << format << " " << s.width << "x" << s.height << " bin " << s.bin
                                    << " start " << s.startX << "," << s.startY << " flip " << s.flipH << s.flipV);
    Configure(camera, format, s);
    int w = 0, h = 0, bin = 0;
    ASSERT_TRUE(camera.GetImgSize(&w, &h));
    ASSERT_TRUE(camera.GetBin(&bin));
    EXPECT_EQ(w, s.width);
    EXPECT_EQ(h, s.height);
    EXPECT_EQ(bin, s.bin);
    const std::vector<std::uint8_t> expected = ExpectedFrame(format, s);
    std::vector<std::uint8_t> buffer(expected.size() + 64, 0xEE);
    ASSERT_TRUE(camera.GetImageData(buffer.data(), static_cast<int>(buffer.size()), 2000));
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), buffer.begin())) << "frame differs";
    for (size_t i = expected.size(); i < buffer.size(); ++i) ASSERT_EQ(buffer[i], 0xEE) << "written past the frame";
}

class CameraLayout : public testing::Test {
protected:
    void Open(const std::wstring& model) {
        camera = vyx::sim::test::PlugAndOpen(model, L"L1");
        ASSERT_TRUE(camera);
        const std::wstring instance = vyx::sim::test::InstanceOf(model, L"L1");
        ASSERT_EQ(vyx::sim::bus::SetSwitch(instance, vyx::sim::bus::kSwitchTestPattern, 1), static_cast<DWORD>(ERROR_SUCCESS));
        ASSERT_EQ(vyx::sim::bus::SetSwitch(instance, vyx::sim::bus::kSwitchNoPacing, 1), static_cast<DWORD>(ERROR_SUCCESS));
        ASSERT_TRUE(camera->StartVideoStream());
    }
    vyx::sim::test::CleanBus bus;
    CameraPtr camera;
};

TEST_F(CameraLayout, ColourCameraProducesEveryFormatAtSeveralSizesAndBins) {
    Open(L"Osprey 2C");  // 1920 x 1080, bins 1, 2, 4
    const Shape shapes[] = {
        {1920, 1080, 1, 0, 0, false, false},  {640, 480, 1, 640, 300, false, false},
        {640, 480, 1, 3, 5, true, false},     {960, 540, 2, 0, 0, false, true},
        {320, 240, 2, 17, 33, true, true},    {480, 270, 4, 0, 0, false, false},
        {8, 4, 4, 472, 266, true, false},
    };
    for (ImageFormat format : {IMG_RAW8, IMG_RAW16, IMG_RGB24, IMG_Y8, IMG_YUY2})
        for (const Shape& s : shapes) CheckFrame(*camera, format, s);
}

TEST_F(CameraLayout, MonoCameraProducesItsFormatsAndRefusesOthers) {
    Open(L"Heron 9M");  // 4144 x 2822, bins 1 to 4, RAW8 and RAW16 only
    const Shape shapes[] = {
        {4144, 2822, 1, 0, 0, false, false},
        {1280, 720, 3, 100, 200, true, true},
        {1032, 700, 4, 2, 1, false, true},
    };
    for (ImageFormat format : {IMG_RAW8, IMG_RAW16})
        for (const Shape& s : shapes) CheckFrame(*camera, format, s);
    for (ImageFormat format : {IMG_RGB24, IMG_Y8, IMG_YUY2, static_cast<ImageFormat>(5),
                               static_cast<ImageFormat>(-1)})
        EXPECT_FALSE(camera->SetImgFormat(format));
    ImageFormat current = IMG_YUY2;
    ASSERT_TRUE(camera->GetImgFormat(&current));
    EXPECT_EQ(current, IMG_RAW16);
}

TEST_F(CameraLayout, RefusesImpossibleGeometryAndKeepsTheCurrentOne) {
    Open(L"Osprey 2C");
    const Shape good{640, 480, 2, 10, 20, false, false};
    Configure(*camera, IMG_RGB24, good);
    EXPECT_FALSE(camera->SetBin(3));    // not one of this model's bins
    EXPECT_FALSE(camera->SetBin(0));
    EXPECT_FALSE(camera->SetImgSize(964, 480));   // wider than the sensor at bin 2
    EXPECT_FALSE(camera->SetImgSize(642, 480));   // width not a multiple of 4
    EXPECT_FALSE(camera->SetImgSize(640, 481));   // odd height
    EXPECT_FALSE(camera->SetImgSize(0, 480));
    EXPECT_FALSE(camera->SetImgSize(-640, -480));
    EXPECT_FALSE(camera->SetImgStartPos(321, 0));  // region would leave the sensor
    EXPECT_FALSE(camera->SetImgStartPos(-1, 0));
    CheckFrame(*camera, IMG_RGB24, good);

    // A larger bin shrinks a frame that no longer fits; a smaller one keeps it.
    ASSERT_TRUE(camera->SetBin(1));
    ASSERT_TRUE(camera->SetImgSize(1920, 1080));
    ASSERT_TRUE(camera->SetBin(4));
    int w = 0, h = 0, x = -1, y = -1;
    ASSERT_TRUE(camera->GetImgSize(&w, &h));
    ASSERT_TRUE(camera->GetImgStartPos(&x, &y));
    EXPECT_EQ(w, 480);
    EXPECT_EQ(h, 270);
    EXPECT_EQ(x, 0);
    EXPECT_EQ(y, 0);
}

TEST_F(CameraLayout, ShortBufferGetsOnlyItsOwnSize) {
    Open(L"Osprey 2C");
    const Shape s{640, 480, 1, 0, 0, false, false};
    Configure(*camera, IMG_RGB24, s);
    const std::vector<std::uint8_t> expected = ExpectedFrame(IMG_RGB24, s);
    std::vector<std::uint8_t> buffer(2000, 0xEE);
    ASSERT_TRUE(camera->GetImageData(buffer.data(), 1000, 2000));
    EXPECT_TRUE(std::equal(buffer.begin(), buffer.begin() + 1000, expected.begin()));
    for (size_t i = 1000; i < buffer.size(); ++i) ASSERT_EQ(buffer[i], 0xEE);
    EXPECT_FALSE(camera->GetImageData(buffer.data(), 0, 2000));
    EXPECT_FALSE(camera->GetImageData(buffer.data(), -1, 2000));
    EXPECT_FALSE(camera->GetImageData(nullptr, 1000, 2000));
    EXPECT_FALSE(camera->GetImageData(buffer.data(), 1000, -1));
}

}  // namespace
