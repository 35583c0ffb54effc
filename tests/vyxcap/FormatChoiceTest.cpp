#include <gtest/gtest.h>

#include <windows.h>
#include <dshow.h>

#include "FormatChoice.h"
#include "SubtypeName.h"
#include "ToolError.h"

using namespace vyx::vyxcap;
using vyx::win::AvgTimePerFrame;
using vyx::win::BitmapHeader;
using vyx::win::MediaTypePtr;

namespace {

GUID Fourcc(const char code[4]) {
    GUID guid = MEDIASUBTYPE_YUY2;
    guid.Data1 = static_cast<unsigned char>(code[0]) | static_cast<unsigned char>(code[1]) << 8 |
                 static_cast<unsigned char>(code[2]) << 16 | static_cast<unsigned long>(static_cast<unsigned char>(code[3])) << 24;
    return guid;
}

StreamCapability Capability(const GUID& subtype, LONG width, LONG height, WORD bits, DWORD compression,
                            REFERENCE_TIME minInterval = 5000, REFERENCE_TIME maxInterval = 10000000) {
    VIDEOINFOHEADER header{};
    header.AvgTimePerFrame = 333333;
    header.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    header.bmiHeader.biWidth = width;
    header.bmiHeader.biHeight = height;
    header.bmiHeader.biBitCount = bits;
    header.bmiHeader.biCompression = compression;
    header.bmiHeader.biSizeImage = FrameBytes(header.bmiHeader, width, height);
    AM_MEDIA_TYPE type{};
    type.majortype = MEDIATYPE_Video;
    type.subtype = subtype;
    type.formattype = FORMAT_VideoInfo;
    type.bFixedSizeSamples = TRUE;
    type.lSampleSize = header.bmiHeader.biSizeImage;
    type.cbFormat = sizeof header;
    type.pbFormat = reinterpret_cast<BYTE*>(&header);
    StreamCapability capability;
    capability.type = MediaTypePtr::Copy(type);
    capability.caps.guid = FORMAT_VideoInfo;
    capability.caps.InputSize = capability.caps.MinOutputSize = capability.caps.MaxOutputSize = {width, height};
    capability.caps.MinFrameInterval = minInterval;
    capability.caps.MaxFrameInterval = maxInterval;
    return capability;
}

std::vector<StreamCapability> CameraList() {
    std::vector<StreamCapability> list;
    list.push_back(Capability(MEDIASUBTYPE_RGB24, 3216, 2208, 24, BI_RGB));
    list.push_back(Capability(MEDIASUBTYPE_RGB24, 1920, 1080, 24, BI_RGB));
    list.push_back(Capability(MEDIASUBTYPE_YUY2, 1920, 1080, 16, MAKEFOURCC('Y', 'U', 'Y', '2')));
    list.push_back(Capability(Fourcc("Y16 "), 640, 480, 16, MAKEFOURCC('Y', '1', '6', ' '), 166667, 10000000));
    list.push_back(Capability(Fourcc("Y800"), 640, 480, 8, BI_RGB));
    return list;
}

int Chosen(const std::vector<StreamCapability>& list, const FormatRequest& request,
           const AM_MEDIA_TYPE* current = nullptr) {
    return ChooseFormat(list, request, current).capabilityIndex;
}

}  // namespace

TEST(SubtypeNames, NameRgbTypesFourccsAndOtherGuids) {
    EXPECT_EQ(SubtypeName(MEDIASUBTYPE_RGB24), L"RGB24");
    EXPECT_EQ(SubtypeName(MEDIASUBTYPE_RGB8), L"RGB8");
    EXPECT_EQ(SubtypeName(MEDIASUBTYPE_YUY2), L"YUY2");
    EXPECT_EQ(SubtypeName(Fourcc("Y16 ")), L"Y16");
    EXPECT_EQ(SubtypeName(Fourcc("Y800")), L"Y800");
    GUID odd = Fourcc("Y800");
    odd.Data4[7] ^= 1;
    EXPECT_EQ(SubtypeName(odd).front(), L'{');
    EXPECT_EQ(SubtypeName(Fourcc("\x01YUV")).front(), L'{') << "unprintable codes are not names";
}

TEST(FormatChoice, TakesTheFirstCapabilityThatFitsInListOrder) {
    const auto list = CameraList();
    EXPECT_EQ(Chosen(list, {}), 0) << "nothing asked, nothing current: the first";
    EXPECT_EQ(Chosen(list, {L"yuy2"}), 2) << "subtype names in any case";
    EXPECT_EQ(Chosen(list, {L"RGB24", 1920, 1080}), 1);
    EXPECT_EQ(Chosen(list, {L"", 640, 480}), 3) << "size alone: the device's first of that size";
    EXPECT_EQ(Chosen(list, {L"Y800", 640, 480}), 4);
    EXPECT_EQ(Chosen(list, {L"y16"}), 3);
    // The current type stands for an empty request; unlisted current types fall back.
    EXPECT_EQ(Chosen(list, {}, list[2].type.Get()), 2);
    const auto stray = Capability(MEDIASUBTYPE_RGB32, 800, 600, 32, BI_RGB);
    EXPECT_EQ(Chosen(list, {}, stray.type.Get()), 0);
    EXPECT_EQ(Chosen(list, {L"Y800"}, list[2].type.Get()), 4) << "a request beats the current type";
}

TEST(FormatChoice, RefusesWhatIsNotOfferedAndFillsTheFrameInterval) {
    const auto list = CameraList();
    for (const FormatRequest& request : {FormatRequest{L"MJPG"}, FormatRequest{L"RGB24", 640, 480},
                                         FormatRequest{L"", 1000, 1000}, FormatRequest{L"Y16", 0, 0, 100}}) {
        try {
            ChooseFormat(list, request, nullptr);
            ADD_FAILURE() << "accepted a format that is not offered";
        } catch (const ToolError& error) {
            EXPECT_EQ(error.ExitCode(), kExitFailure);
            EXPECT_EQ(std::string(error.what()).rfind("format not offered: ", 0), 0u) << error.what();
        }
    }
    EXPECT_THROW(ChooseFormat({}, {}, nullptr), ToolError);

    const ChosenFormat fast = ChooseFormat(list, {L"RGB24", 1920, 1080, 50}, nullptr);
    EXPECT_EQ(*AvgTimePerFrame(*fast.type.Get()), 200000);
    EXPECT_EQ(FrameIntervalForFps(29.97), 333667);
    const ChosenFormat slow = ChooseFormat(list, {L"Y16", 640, 480, 6}, nullptr);
    EXPECT_EQ(*AvgTimePerFrame(*slow.type.Get()), 1666667);
    // The chosen type is a copy: the device's list stays as it was.
    EXPECT_EQ(*AvgTimePerFrame(*list[1].type.Get()), 333333);

    auto zero = CameraList();
    *AvgTimePerFrame(*zero[0].type.Get()) = 0;
    EXPECT_EQ(*AvgTimePerFrame(*ChooseFormat(zero, {}, nullptr).type.Get()), 5000)
        << "a zero frame interval takes the fastest the device offers";
}

TEST(FormatChoice, FitsSizesWithinAScalingRangeAndResizesTheFrame) {
    std::vector<StreamCapability> list;
    list.push_back(Capability(MEDIASUBTYPE_YUY2, 640, 480, 16, MAKEFOURCC('Y', 'U', 'Y', '2')));
    list[0].caps.MinOutputSize = {160, 120};
    list[0].caps.MaxOutputSize = {1280, 960};
    list[0].caps.OutputGranularityX = 8;
    list[0].caps.OutputGranularityY = 4;
    list.push_back(Capability(MEDIASUBTYPE_RGB24, 322, 240, 24, BI_RGB));
    list[1].caps.MinOutputSize = {2, 2};
    list[1].caps.MaxOutputSize = {400, 400};
    list[1].caps.OutputGranularityX = 1;
    list[1].caps.OutputGranularityY = 1;

    const ChosenFormat yuy2 = ChooseFormat(list, {L"", 800, 600}, nullptr);
    EXPECT_EQ(yuy2.capabilityIndex, 0);
    const BITMAPINFOHEADER* header = BitmapHeader(*yuy2.type.Get());
    EXPECT_EQ(header->biWidth, 800);
    EXPECT_EQ(header->biHeight, 600);
    EXPECT_EQ(header->biSizeImage, 800u * 600 * 2);
    EXPECT_EQ(yuy2.type->lSampleSize, 800u * 600 * 2);
    EXPECT_THROW(ChooseFormat(list, {L"YUY2", 804, 600}, nullptr), ToolError) << "off the 8-pixel step";
    EXPECT_THROW(ChooseFormat(list, {L"YUY2", 1288, 600}, nullptr), ToolError) << "beyond the maximum";

    const ChosenFormat rgb = ChooseFormat(list, {L"RGB24", 3, 5}, nullptr);
    EXPECT_EQ(BitmapHeader(*rgb.type.Get())->biSizeImage, 12u * 5) << "RGB rows are padded to 32 bits";
}
