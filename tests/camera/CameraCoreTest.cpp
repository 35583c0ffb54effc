// Pure parts of the simulator with time passed in: the cooler's physics and the guide
// relays. Also the PNG writer that the tools share.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "CoolerModel.h"
#include "GuideState.h"
#include "PngWriter.h"

namespace {

using vyx::sim::CoolerInputs;
using vyx::sim::CoolerModel;

CoolerInputs Cooling(int target, int fan = 100, int heater = 0) {
    CoolerInputs in;
    in.hasCooler = true;
    in.coolerOn = true;
    in.targetTemperature = target;
    in.fanPower = fan;
    in.lensHeaterPower = heater;
    return in;
}

TEST(CoolerModel, ApproachesTheTargetAtARateThePowerAndFanAllow) {
    CoolerModel cooler(35.0);
    EXPECT_DOUBLE_EQ(cooler.Temperature(), CoolerModel::kAmbient);
    EXPECT_EQ(cooler.PowerPercent(), 0);

    // Full power at first, then it eases off as the sensor nears the target.
    cooler.Advance(5, Cooling(-10));
    EXPECT_EQ(cooler.PowerPercent(), 100);
    double previous = cooler.Temperature();
    EXPECT_LT(previous, CoolerModel::kAmbient);
    for (int second = 0; second < 600; second += 30) {
        cooler.Advance(30, Cooling(-10));
        EXPECT_LE(cooler.Temperature(), previous + 0.05);
        previous = cooler.Temperature();
    }
    EXPECT_NEAR(cooler.Temperature(), -10.0, 0.5);
    EXPECT_GT(cooler.PowerPercent(), 10);
    EXPECT_LT(cooler.PowerPercent(), 100);

    // Without the fan the same minute of cooling achieves less.
    CoolerModel fanned(35.0), still(35.0);
    fanned.Advance(60, Cooling(-20, 100));
    still.Advance(60, Cooling(-20, 0));
    EXPECT_LT(fanned.Temperature(), still.Temperature() - 3.0);

    // A target beyond the cooler's reach: full power, and the sensor settles short of it.
    CoolerModel weak(35.0);
    weak.Advance(3600, Cooling(-40));
    EXPECT_EQ(weak.PowerPercent(), 100);
    EXPECT_GT(weak.Temperature(), -40.0);
    EXPECT_LT(weak.Temperature(), -10.0);

    // The lens heater warms the surroundings the cooler works against.
    CoolerModel heated(35.0);
    heated.Advance(3600, Cooling(-40, 100, 100));
    EXPECT_GT(heated.Temperature(), weak.Temperature() + 1.0);

    // Switched off, the sensor warms back to its surroundings.
    CoolerInputs off = Cooling(-10);
    off.coolerOn = false;
    cooler.Advance(600, off);
    EXPECT_EQ(cooler.PowerPercent(), 0);
    EXPECT_GT(cooler.Temperature(), CoolerModel::kAmbient);

    // A camera without a cooler never cools, whatever it is told.
    CoolerModel uncooled(0.0);
    CoolerInputs none = Cooling(-10);
    none.hasCooler = false;
    uncooled.Advance(600, none);
    EXPECT_GE(uncooled.Temperature(), CoolerModel::kAmbient);
    uncooled.Advance(-5, none);  // time never runs backwards
    uncooled.Advance(0, none);
    EXPECT_GE(uncooled.Temperature(), CoolerModel::kAmbient);
}

TEST(GuideState, PulsesMoveTheFieldWhileTheirRelayIsClosed) {
    vyx::sim::GuideState guide(10.0);  // pixels per second
    double dx = 0, dy = 0;
    guide.Offset(100.0, &dx, &dy);
    EXPECT_EQ(dx, 0.0);
    EXPECT_EQ(dy, 0.0);

    guide.Pulse(GUIDE_WEST, 1.0, 0.5);
    guide.Offset(1.2, &dx, &dy);
    EXPECT_NEAR(dx, 2.0, 1e-9);  // part-way through
    guide.Offset(5.0, &dx, &dy);
    EXPECT_NEAR(dx, 5.0, 1e-9);

    // East cancels west; north and south act on the other axis.
    guide.Pulse(GUIDE_EAST, 6.0, 0.2);
    guide.Pulse(GUIDE_NORTH, 6.0, 0.3);
    guide.Offset(10.0, &dx, &dy);
    EXPECT_NEAR(dx, 3.0, 1e-9);
    EXPECT_NEAR(dy, -3.0, 1e-9);

    // A new pulse on a line replaces what was left of the previous one.
    guide.Pulse(GUIDE_SOUTH, 20.0, 10.0);
    guide.Pulse(GUIDE_SOUTH, 20.5, 0.1);
    guide.Offset(40.0, &dx, &dy);
    EXPECT_NEAR(dy, -3.0 + 5.0 + 1.0, 1e-9);
}

// Reads back a PNG of stored deflate blocks, checking every checksum on the way.
struct DecodedPng {
    int width = 0, height = 0, colorType = -1;
    std::vector<std::uint8_t> pixels;
};

std::uint32_t Big32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) << 24 | p[1] << 16 | p[2] << 8 | p[3];
}

bool DecodeStoredPng(const std::vector<std::uint8_t>& file, DecodedPng* out) {
    static const std::uint8_t signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    if (file.size() < 8 || std::memcmp(file.data(), signature, 8) != 0) return false;
    std::vector<std::uint8_t> zlib;
    size_t at = 8;
    bool ended = false;
    while (at + 12 <= file.size() && !ended) {
        const std::uint32_t length = Big32(&file[at]);
        if (at + 12 + length > file.size()) return false;
        const std::string type(reinterpret_cast<const char*>(&file[at + 4]), 4);
        const std::uint8_t* data = &file[at + 8];
        if (vyx::png::Crc32(&file[at + 4], 4 + length) != Big32(data + length)) return false;
        if (type == "IHDR") {
            out->width = static_cast<int>(Big32(data));
            out->height = static_cast<int>(Big32(data + 4));
            if (data[8] != 8) return false;
            out->colorType = data[9];
        } else if (type == "IDAT") {
            zlib.insert(zlib.end(), data, data + length);
        } else if (type == "IEND") {
            ended = true;
        }
        at += 12 + length;
    }
    if (!ended || zlib.size() < 6 || ((zlib[0] << 8) | zlib[1]) % 31 != 0 || (zlib[0] & 0x0F) != 8) return false;
    std::vector<std::uint8_t> raw;
    size_t z = 2;
    for (bool last = false; !last;) {
        if (z + 5 > zlib.size() || (zlib[z] & 0x06) != 0) return false;  // stored blocks only
        last = zlib[z] & 1;
        const unsigned len = zlib[z + 1] | zlib[z + 2] << 8;
        const unsigned nlen = zlib[z + 3] | zlib[z + 4] << 8;
        if ((len ^ 0xFFFF) != nlen || z + 5 + len > zlib.size()) return false;
        raw.insert(raw.end(), &zlib[z + 5], &zlib[z + 5] + len);
        z += 5 + len;
    }
    if (z + 4 != zlib.size() || vyx::png::Adler32(raw.data(), raw.size()) != Big32(&zlib[z])) return false;
    const int channels = out->colorType == 2 ? 3 : 1;
    const size_t row = static_cast<size_t>(out->width) * channels;
    if (raw.size() != (row + 1) * out->height) return false;
    for (int y = 0; y < out->height; ++y) {
        if (raw[y * (row + 1)] != 0) return false;
        out->pixels.insert(out->pixels.end(), &raw[y * (row + 1) + 1], &raw[y * (row + 1) + 1] + row);
    }
    return true;
}

TEST(PngWriter, ChecksumsMatchTheirStandardsAndImagesReadBack) {
    const std::uint8_t check[] = {'1', '2', '3', '4', '5', '6', '7', '8', '9'};
    EXPECT_EQ(vyx::png::Crc32(check, 9), 0xCBF43926u);
    const char* wiki = "Wikipedia";
    EXPECT_EQ(vyx::png::Adler32(reinterpret_cast<const std::uint8_t*>(wiki), 9), 0x11E60398u);
    EXPECT_EQ(vyx::png::Adler32(nullptr, 0), 1u);

    // Wider than one stored block per row, with a stride longer than the row.
    for (auto format : {vyx::png::PixelFormat::kGrey8, vyx::png::PixelFormat::kRgb24}) {
        const int channels = format == vyx::png::PixelFormat::kRgb24 ? 3 : 1;
        const int width = 30000, height = 5;
        const size_t stride = static_cast<size_t>(width) * channels + 7;
        std::vector<std::uint8_t> pixels(stride * height);
        for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = static_cast<std::uint8_t>(i * 7 + i / 251);
        const std::vector<std::uint8_t> file = vyx::png::Encode({width, height, format, pixels.data(), stride});
        DecodedPng decoded;
        ASSERT_TRUE(DecodeStoredPng(file, &decoded));
        EXPECT_EQ(decoded.width, width);
        EXPECT_EQ(decoded.height, height);
        EXPECT_EQ(decoded.colorType, channels == 3 ? 2 : 0);
        for (int y = 0; y < height; ++y)
            ASSERT_EQ(std::memcmp(&decoded.pixels[static_cast<size_t>(y) * width * channels], &pixels[y * stride],
                                  static_cast<size_t>(width) * channels),
                      0);
    }

    const std::uint8_t one = 0;
    EXPECT_TRUE(vyx::png::Encode({0, 1, vyx::png::PixelFormat::kGrey8, &one, 1}).empty());
    EXPECT_TRUE(vyx::png::Encode({1, -1, vyx::png::PixelFormat::kGrey8, &one, 1}).empty());
    EXPECT_TRUE(vyx::png::Encode({1, 1, vyx::png::PixelFormat::kGrey8, nullptr, 1}).empty());
    EXPECT_TRUE(vyx::png::Encode({2, 1, vyx::png::PixelFormat::kGrey8, &one, 1}).empty());  // stride short
    EXPECT_TRUE(vyx::png::Encode({60000, 60000, vyx::png::PixelFormat::kRgb24, &one, 180000}).empty());
}

TEST(PngWriter, WritesWholeFilesOrLeavesTheOldOne) {
    wchar_t folder[MAX_PATH];
    ASSERT_GT(GetTempPathW(MAX_PATH, folder), 0u);
    const std::wstring path = std::wstring(folder) + L"vyx_png_test.png";
    const std::uint8_t pixels[4] = {1, 2, 3, 4};
    ASSERT_EQ(vyx::png::WriteFile(path, {2, 2, vyx::png::PixelFormat::kGrey8, pixels, 2}),
              static_cast<DWORD>(ERROR_SUCCESS));
    WIN32_FILE_ATTRIBUTE_DATA before{};
    ASSERT_TRUE(GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &before));
    // An invalid image leaves the existing file as it was, and no partial file behind.
    EXPECT_EQ(vyx::png::WriteFile(path, {2, 2, vyx::png::PixelFormat::kGrey8, nullptr, 2}),
              static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    WIN32_FILE_ATTRIBUTE_DATA after{};
    ASSERT_TRUE(GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &after));
    EXPECT_EQ(after.nFileSizeLow, before.nFileSizeLow);
    EXPECT_EQ(GetFileAttributesW((path + L".partial").c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_NE(vyx::png::WriteFile(std::wstring(folder) + L"no-such-folder\\x.png",
                                  {2, 2, vyx::png::PixelFormat::kGrey8, pixels, 2}),
              static_cast<DWORD>(ERROR_SUCCESS));
    EXPECT_EQ(vyx::png::WriteFile(L"", {2, 2, vyx::png::PixelFormat::kGrey8, pixels, 2}),
              static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    DeleteFileW(path.c_str());
}

}  // namespace
