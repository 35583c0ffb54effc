// The simulated sky responds like a camera's: exposure, gain, offset, binning (average,
// sum, in the sensor or on the host), stars as points, guide pulses moving the field,
// the colour pattern and white balance, the automatic controls and the sensor modes.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "CameraTestSupport.h"

namespace {

using vyx::sim::test::CameraPtr;

struct Raw16 {
    int width = 0, height = 0;
    std::vector<std::uint16_t> pixels;  // top-down
    std::uint16_t At(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};

Raw16 ReadRaw16(VyxonCamera& camera) {
    Raw16 frame;
    EXPECT_TRUE(camera.GetImgSize(&frame.width, &frame.height));
    frame.pixels.resize(static_cast<size_t>(frame.width) * frame.height);
    EXPECT_TRUE(camera.GetImageData(reinterpret_cast<unsigned char*>(frame.pixels.data()),
                                    static_cast<int>(frame.pixels.size() * 2), 10000));
    return frame;
}

double Median(std::vector<double> values) {
    std::nth_element(values.begin(), values.begin() + values.size() / 2, values.end());
    return values[values.size() / 2];
}

// Median of the pixels of one 2x2 phase (all pixels when phase is -1).
double MedianOf(const Raw16& f, int phase = -1) {
    std::vector<double> values;
    for (int y = 0; y < f.height; ++y)
        for (int x = 0; x < f.width; ++x)
            if (phase < 0 || ((y & 1) * 2 + (x & 1)) == phase) values.push_back(f.At(x, y));
    return Median(values);
}

// Robust noise: median absolute deviation, scaled to a standard deviation.
double Noise(const Raw16& f) {
    const double median = MedianOf(f);
    std::vector<double> deviations;
    for (std::uint16_t v : f.pixels) deviations.push_back(std::abs(v - median));
    return 1.4826 * Median(deviations);
}

class CameraImage : public testing::Test {
protected:
    CameraPtr Open(const std::wstring& model, bool paced = false) {
        CameraPtr camera = vyx::sim::test::PlugAndOpen(model, L"I1");
        if (!paced) {
            EXPECT_EQ(vyx::sim::bus::SetSwitch(vyx::sim::test::InstanceOf(model, L"I1"), vyx::sim::bus::kSwitchNoPacing, 1),
                      static_cast<DWORD>(ERROR_SUCCESS));
        }
        return camera;
    }
    // A paced monochrome camera streaming 16-bit frames of stars bright enough to match.
    CameraPtr OpenStarField() {
        CameraPtr camera = Open(L"Osprey 7M", true);
        const bool streaming = camera && camera->SetImgFormat(IMG_RAW16) && camera->SetImgSize(800, 600) &&
                               camera->SetExposure(50000, false) && camera->SetGain(300, false) &&
                               camera->StartVideoStream();
        return streaming ? std::move(camera) : CameraPtr();
    }
    // ADU of the offset on the 16-bit scale of a 14-bit (cooled) camera.
    static double Offset16(int offset) { return offset * 4.0; }
    vyx::sim::test::CleanBus bus;
};

TEST_F(CameraImage, BrightnessFollowsExposureGainOffsetAndBinning) {
    CameraPtr camera = Open(L"Heron 9M");
    ASSERT_TRUE(camera);
    int offset = 0;
    ASSERT_TRUE(camera->GetOffset(&offset));
    ASSERT_TRUE(camera->SetImgFormat(IMG_RAW16));
    ASSERT_TRUE(camera->SetImgSize(640, 480));
    ASSERT_TRUE(camera->SetExposure(2000000, false));
    ASSERT_TRUE(camera->SetGain(150, false));
    ASSERT_TRUE(camera->StartVideoStream());
    const double sky = MedianOf(ReadRaw16(*camera)) - Offset16(offset);
    ASSERT_GT(sky, 300.0);

    ASSERT_TRUE(camera->SetExposure(8000000, false));
    EXPECT_NEAR((MedianOf(ReadRaw16(*camera)) - Offset16(offset)) / sky, 4.0, 0.4);
    ASSERT_TRUE(camera->SetExposure(2000000, false));
    ASSERT_TRUE(camera->SetGain(210, false));  // +6 dB
    EXPECT_NEAR((MedianOf(ReadRaw16(*camera)) - Offset16(offset)) / sky, 2.0, 0.2);
    ASSERT_TRUE(camera->SetGain(150, false));
    ASSERT_TRUE(camera->SetOffset(offset + 40));
    EXPECT_NEAR(MedianOf(ReadRaw16(*camera)) - Offset16(offset + 40), sky, 0.1 * sky);
    ASSERT_TRUE(camera->SetOffset(offset));

    // Averaging bins keep the level, summing bins add four pixels up.
    ASSERT_TRUE(camera->SetBin(2));
    ASSERT_TRUE(camera->SetBinSumEnable(false));
    EXPECT_NEAR((MedianOf(ReadRaw16(*camera)) - Offset16(offset)) / sky, 1.0, 0.15);
    ASSERT_TRUE(camera->SetBinSumEnable(true));
    EXPECT_NEAR((MedianOf(ReadRaw16(*camera)) - Offset16(offset)) / sky, 4.0, 0.6);

    // With almost no light, read noise dominates: one read in the sensor, four on the host.
    int max = 0, min = 0, def = 0;
    ASSERT_TRUE(camera->GetExposureRange(&max, &min, &def));
    ASSERT_TRUE(camera->SetExposure(min, false));
    ASSERT_TRUE(camera->SetHardBinEnable(false));
    const double hostNoise = Noise(ReadRaw16(*camera));
    ASSERT_TRUE(camera->SetHardBinEnable(true));
    const double sensorNoise = Noise(ReadRaw16(*camera));
    EXPECT_GT(hostNoise, 1.5 * sensorNoise);
}

TEST_F(CameraImage, StarsArePointsWithSoftEdgesAboveTheSky) {
    CameraPtr camera = Open(L"Heron 9M");
    ASSERT_TRUE(camera);
    ASSERT_TRUE(camera->SetImgFormat(IMG_RAW16));
    ASSERT_TRUE(camera->SetImgSize(1024, 768));  // about a hundred stars
    ASSERT_TRUE(camera->SetExposure(2000000, false));
    ASSERT_TRUE(camera->SetGain(150, false));
    ASSERT_TRUE(camera->StartVideoStream());
    const Raw16 f = ReadRaw16(*camera);
    const double sky = MedianOf(f);
    const double noise = Noise(f);
    int stars = 0, softStars = 0;
    for (int y = 3; y < f.height - 3; ++y) {
        for (int x = 3; x < f.width - 3; ++x) {
            const int v = f.At(x, y);
            if (v < sky + 30 * noise) continue;
            bool peak = true;
            for (int dy = -1; dy <= 1 && peak; ++dy)
                for (int dx = -1; dx <= 1; ++dx)
                    if ((dx || dy) && f.At(x + dx, y + dy) >= v) peak = false;
            if (!peak) continue;
            ++stars;
            // A star spreads over its neighbours; a hot pixel does not.
            if (f.At(x + 1, y) > sky + 3 * noise && f.At(x, y + 1) > sky + 3 * noise &&
                f.At(x + 3, y + 3) < f.At(x + 1, y + 1))
                ++softStars;
        }
    }
    EXPECT_GE(stars, 20);
    EXPECT_GE(softStars, stars * 2 / 3);
}

struct Shift {
    int dx, dy;
};

// Movement of the field from `before` to `after`: the best match of a central crop.
Shift FieldShift(const Raw16& before, const Raw16& after) {
    Shift best{0, 0};
    double bestSad = 1e300;
    for (int dy = -16; dy <= 16; ++dy) {
        for (int dx = -16; dx <= 16; ++dx) {
            double sad = 0;
            for (int y = 40; y < before.height - 40; y += 2)
                for (int x = 40; x < before.width - 40; x += 2)
                    sad += std::abs(static_cast<int>(after.At(x + dx, y + dy)) - static_cast<int>(before.At(x, y)));
            if (sad < bestSad) {
                bestSad = sad;
                best = {dx, dy};
            }
        }
    }
    return best;
}

TEST_F(CameraImage, GuidePulsesMoveTheFieldTheirWay) {
    CameraPtr camera = OpenStarField();
    ASSERT_TRUE(camera);
    // Paced frames are taken when they arrive: the second read is exposed after the call.
    auto freshFrame = [&] {
        ReadRaw16(*camera);
        return ReadRaw16(*camera);
    };
    const Raw16 start = freshFrame();
    ASSERT_TRUE(camera->GuidePulse(GUIDE_WEST, 1000));
    Sleep(1200);
    const Raw16 west = freshFrame();
    const Shift moved = FieldShift(start, west);
    EXPECT_GE(moved.dx, 3);  // west moves the field right
    EXPECT_LE(std::abs(moved.dy), 1);  // matching whole pixels of an undersampled field

    ASSERT_TRUE(camera->GuidePulse(GUIDE_NORTH, 1000));
    Sleep(1200);
    const Raw16 north = freshFrame();
    const Shift up = FieldShift(west, north);
    EXPECT_LE(up.dy, -3);  // north moves it up
    EXPECT_LE(std::abs(up.dx), 1);
}

TEST_F(CameraImage, DriftSwitchMovesTheFieldSlowly) {
    CameraPtr camera = OpenStarField();
    ASSERT_TRUE(camera);
    ReadRaw16(*camera);
    const Raw16 still = ReadRaw16(*camera);
    Sleep(2000);
    ReadRaw16(*camera);
    EXPECT_EQ(FieldShift(still, ReadRaw16(*camera)).dx, 0);  // no drift unless asked for

    // 4 pixels a second from now on: a drift counted from the camera's start would have
    // moved the field by 10 pixels or more at once.
    ASSERT_EQ(vyx::sim::bus::SetSwitch(vyx::sim::test::InstanceOf(L"Osprey 7M", L"I1"), vyx::sim::bus::kSwitchDrift, 4000),
              static_cast<DWORD>(ERROR_SUCCESS));
    ReadRaw16(*camera);
    const Raw16 before = ReadRaw16(*camera);
    EXPECT_LE(std::abs(FieldShift(still, before).dx), 4);
    Sleep(2000);
    ReadRaw16(*camera);
    const Shift drifted = FieldShift(before, ReadRaw16(*camera));
    EXPECT_GE(drifted.dx, 6);
    EXPECT_GE(drifted.dy, 1);  // a little in declination too
}

TEST_F(CameraImage, ColourFramesCarryTheBayerPatternAndWhiteBalance) {
    CameraPtr camera = Open(L"Osprey 2C");
    ASSERT_TRUE(camera);
    ASSERT_TRUE(camera->SetImgFormat(IMG_RAW16));
    ASSERT_TRUE(camera->SetImgSize(640, 480));
    ASSERT_TRUE(camera->SetExposure(4000000, false));
    ASSERT_TRUE(camera->SetGain(250, false));
    // Equal channel gains show the filters' own response.
    int max = 0, min = 0, red = 0, green = 0, blue = 0;
    ASSERT_TRUE(camera->GetWhiteBalanceRange(&max, &min, &red, &green, &blue));
    red = green = blue = 50;
    ASSERT_TRUE(camera->SetWhiteBalance(red, green, blue, false));
    ASSERT_TRUE(camera->StartVideoStream());
    int offset = 0;
    ASSERT_TRUE(camera->GetOffset(&offset));
    const double black = offset * 16.0;  // 12-bit converter on the 16-bit scale

    // The region starts on even coordinates: R G / G B.
    Raw16 f = ReadRaw16(*camera);
    const double r = MedianOf(f, 0) - black, g1 = MedianOf(f, 1) - black, g2 = MedianOf(f, 2) - black,
                 b = MedianOf(f, 3) - black;
    EXPECT_NEAR(g1 / g2, 1.0, 0.05);
    EXPECT_LT(b / g1, 0.8);  // the blue filter passes the least

    ASSERT_TRUE(camera->SetWhiteBalance(red * 2 - 1, green, blue / 2, false));
    f = ReadRaw16(*camera);
    EXPECT_NEAR((MedianOf(f, 0) - black) / r, (red * 2 - 1) / static_cast<double>(red), 0.15);
    EXPECT_NEAR((MedianOf(f, 3) - black) / b, (blue / 2) / static_cast<double>(blue), 0.1);
    EXPECT_NEAR((MedianOf(f, 1) - black) / g1, 1.0, 0.1);

    // Automatic white balance greys the background of the demosaiced picture.
    ASSERT_TRUE(camera->SetImgFormat(IMG_RGB24));
    ASSERT_TRUE(camera->SetWhiteBalance(0, 0, 0, true));
    std::vector<unsigned char> rgb(640 * 480 * 3);
    double channel[3] = {};
    for (int i = 0; i < 200; ++i) {
        ASSERT_TRUE(camera->GetImageData(rgb.data(), static_cast<int>(rgb.size()), 2000));
        for (int c = 0; c < 3; ++c) {
            std::vector<double> values;
            for (size_t p = c; p < rgb.size(); p += 3 * 7) values.push_back(rgb[p]);
            channel[c] = Median(values);
        }
        if (std::abs(channel[2] / channel[1] - 1.0) < 0.08 && std::abs(channel[0] / channel[1] - 1.0) < 0.08) break;
        Sleep(10);
    }
    EXPECT_NEAR(channel[2] / channel[1], 1.0, 0.1);  // R over G (B, G, R bytes)
    EXPECT_NEAR(channel[0] / channel[1], 1.0, 0.1);  // B over G
}

TEST_F(CameraImage, AutomaticExposureAndGainSettleOnTheTarget) {
    CameraPtr camera = Open(L"Osprey 2C");
    ASSERT_TRUE(camera);
    ASSERT_TRUE(camera->SetImgFormat(IMG_RAW8));
    ASSERT_TRUE(camera->SetImgSize(320, 240));
    int target = 0, max = 0, min = 0;
    ASSERT_TRUE(camera->GetTargetBrightnessRange(&max, &min, &target));
    ASSERT_TRUE(camera->SetAutoExpMax(30000));
    ASSERT_TRUE(camera->StartVideoStream());
    std::vector<unsigned char> frame(320 * 240);

    auto settle = [&] {
        double mean = 0;
        for (int i = 0; i < 300; ++i) {
            EXPECT_TRUE(camera->GetImageData(frame.data(), static_cast<int>(frame.size()), 2000));
            std::vector<double> values(frame.begin(), frame.end());
            mean = Median(values);
            if (std::abs(mean / target - 1.0) < 0.1) break;
            Sleep(10);
        }
        return mean;
    };
    ASSERT_TRUE(camera->SetExposure(1000, true));
    EXPECT_NEAR(settle() / target, 1.0, 0.2);
    int exposure = 0;
    bool automatic = false;
    ASSERT_TRUE(camera->GetExposure(&exposure, &automatic));
    EXPECT_TRUE(automatic);
    EXPECT_GT(exposure, 1000);
    EXPECT_LT(exposure, 30000000);

    // Gain alone, from an exposure that leaves the frame dark at the lowest gain.
    ASSERT_TRUE(camera->SetExposure(2000000, false));
    int gainMax = 0, gainMin = 0, gainDef = 0;
    ASSERT_TRUE(camera->GetGainRange(&gainMax, &gainMin, &gainDef));
    ASSERT_TRUE(camera->SetAutoGainMax(gainMax));
    ASSERT_TRUE(camera->SetGain(gainMin, true));
    EXPECT_NEAR(settle() / target, 1.0, 0.2);
    int gain = 0;
    ASSERT_TRUE(camera->GetGain(&gain, &automatic));
    EXPECT_GT(gain, gainMin);

    // A limit below what the target needs holds the gain at the limit.
    ASSERT_TRUE(camera->SetAutoGainMax(gainMin + 10));
    ASSERT_TRUE(camera->SetGain(gainMin, true));
    settle();
    ASSERT_TRUE(camera->GetGain(&gain, &automatic));
    EXPECT_EQ(gain, gainMin + 10);
}

TEST_F(CameraImage, SensorModesAndPresetsArePlausible) {
    CameraPtr camera = Open(L"Kestrel 3C");
    ASSERT_TRUE(camera);
    int g[4] = {}, o[4] = {};
    ASSERT_TRUE(camera->GetGainsAndOffsets(&g[0], &g[1], &g[2], &g[3], &o[0], &o[1], &o[2], &o[3]));
    int gainMax = 0, gainMin = 0, def = 0, offsetMax = 0, offsetMin = 0;
    ASSERT_TRUE(camera->GetGainRange(&gainMax, &gainMin, &def));
    ASSERT_TRUE(camera->GetOffsetRange(&offsetMax, &offsetMin, &def));
    for (int i = 0; i < 4; ++i) {
        EXPECT_GE(g[i], gainMin);
        EXPECT_LE(g[i], gainMax);
        EXPECT_GE(o[i], offsetMin);
        EXPECT_LE(o[i], offsetMax);
        if (i > 0) {
            EXPECT_LE(g[i - 1], g[i]);  // dynamic range first, lowest noise last
        }
    }

    ASSERT_TRUE(camera->SetImgFormat(IMG_RAW16));
    ASSERT_TRUE(camera->SetImgSize(640, 480));
    ASSERT_TRUE(camera->SetExposure(4000000, false));
    ASSERT_TRUE(camera->SetGain(g[1], false));
    ASSERT_TRUE(camera->StartVideoStream());
    int offset = 0;
    ASSERT_TRUE(camera->GetOffset(&offset));
    const double normal = MedianOf(ReadRaw16(*camera)) - offset * 16.0;
    ASSERT_TRUE(camera->SetSensorMode(1));  // HighGain
    int mode = -1;
    ASSERT_TRUE(camera->GetSensorMode(&mode));
    EXPECT_EQ(mode, 1);
    EXPECT_NEAR((MedianOf(ReadRaw16(*camera)) - offset * 16.0) / normal, 2.5, 0.4);
}

}  // namespace
