// A sample of the types the camera offers connects as an application connects it, and ten
// samples arrive with the type's size, gap-free times from 0, sync points and the duration
// the camera's timing gives. The filter's component tests run every offered type; here
// each subtype's first and last capability (its largest and smallest size) go through the
// platform's graph, alternately through SetFormat and through a plain connection.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <set>
#include <string>
#include <vector>

#include "CameraAccess.h"
#include "CameraRig.h"
#include "ComApartment.h"
#include "StreamCapabilities.h"
#include "StreamHarness.h"
#include "SubtypeName.h"
#include "Text.h"

using namespace vyx::vyxcap::test;
using vyx::win::BitmapHeader;

namespace {

constexpr int kFrames = 10;

class OfferedTypes : public ::testing::TestWithParam<const wchar_t*> {
protected:
    vyx::win::ComApartment m_apartment;
};

std::string Describe(const AM_MEDIA_TYPE& type, size_t index, bool throughSetFormat) {
    const BITMAPINFOHEADER* header = BitmapHeader(type);
    return "capability " + std::to_string(index) + " " + vyx::vyxcap::Narrow(vyx::vyxcap::SubtypeName(type.subtype)) + " " +
           std::to_string(header->biWidth) + "x" + std::to_string(header->biHeight) +
           (throughSetFormat ? " through SetFormat" : " through a plain connection");
}

// Indices, in GetStreamCaps order, of the first and the last capability of each subtype.
std::vector<size_t> SampledCapabilities(const std::vector<vyx::vyxcap::StreamCapability>& capabilities) {
    std::set<size_t> sampled;
    for (const auto& capability : capabilities) {
        const auto same = [&](const vyx::vyxcap::StreamCapability& c) { return c.type->subtype == capability.type->subtype; };
        sampled.insert(std::find_if(capabilities.begin(), capabilities.end(), same) - capabilities.begin());
        sampled.insert(capabilities.rend() - std::find_if(capabilities.rbegin(), capabilities.rend(), same) - 1);
    }
    return {sampled.begin(), sampled.end()};
}

}  // namespace

TEST_P(OfferedTypes, EachSubtypesLargestAndSmallestConnectAndDeliverTenTimedFrames) {
    CameraRig rig(GetParam());
    ASSERT_TRUE(rig.Ready());
    StreamHarness harness(rig.CreateFilter());
    VyxonCamera* camera = CameraOf(harness.Device(), rig.Model());
    ASSERT_NE(camera, nullptr);
    // 2^-7 s (8 ms), shorter than the power-on exposure, set as an application does: the
    // frames come at the pace of the readout.
    Microsoft::WRL::ComPtr<IAMCameraControl> cameraControl;
    ASSERT_EQ(harness.Device()->QueryInterface(IID_PPV_ARGS(&cameraControl)), S_OK);
    ASSERT_EQ(cameraControl->Set(CameraControl_Exposure, -7, CameraControl_Flags_Manual), S_OK);
    const auto capabilities = vyx::vyxcap::ReadCapabilities(harness.Config());
    ASSERT_GT(capabilities.size(), 1u);
    for (const auto& capability : capabilities) ASSERT_TRUE(capability.type);
    const std::vector<size_t> sampled = SampledCapabilities(capabilities);
    ASSERT_GE(sampled.size(), 2u);

    bool throughSetFormat = true;
    for (const size_t i : sampled) {
        const AM_MEDIA_TYPE& offered = *capabilities[i].type.Get();
        const BITMAPINFOHEADER& expected = *BitmapHeader(offered);
        SCOPED_TRACE(Describe(offered, i, throughSetFormat));
        const HRESULT connect =
            throughSetFormat ? harness.ConnectThroughSetFormat(offered) : harness.ConnectDirect(offered);
        ASSERT_EQ(connect, S_OK);
        const auto connected = harness.ConnectedType();
        ASSERT_TRUE(connected);
        EXPECT_EQ(connected->subtype, offered.subtype);
        const BITMAPINFOHEADER* header = BitmapHeader(*connected.Get());
        ASSERT_NE(header, nullptr);
        EXPECT_EQ(header->biWidth, expected.biWidth);
        EXPECT_EQ(header->biHeight, expected.biHeight);
        EXPECT_EQ(header->biBitCount, expected.biBitCount);
        EXPECT_EQ(header->biSizeImage, expected.biSizeImage);

        ExpectWholeTimedFrames(harness.Capture(kFrames), kFrames, static_cast<long>(expected.biSizeImage),
                               ExpectedSampleDuration(camera));
        harness.Disconnect();
        throughSetFormat = !throughSetFormat;
    }
}

INSTANTIATE_TEST_SUITE_P(ColourAndMonochrome, OfferedTypes, ::testing::Values(L"Kestrel 1C", L"Kestrel 1M"),
                         [](const auto& info) { return info.index == 0 ? "Colour" : "Monochrome"; });
