// The call sequences of two widely used capture applications, replayed as they make them,
// each of which must end in correct frames.
#include <gtest/gtest.h>

#include <cstdlib>
#include <limits>

#include "CameraAccess.h"
#include "CameraRig.h"
#include "CapturePin.h"
#include "ComApartment.h"
#include "StreamCapabilities.h"
#include "StreamHarness.h"

using namespace vyx::vyxcap::test;
using vyx::win::AvgTimePerFrame;
using vyx::win::BitmapHeader;
using vyx::win::MediaTypePtr;

namespace {

class AppReplay : public ::testing::Test {
protected:
    vyx::win::ComApartment m_apartment;
};

void ExpectFrames(StreamHarness& harness, VyxonCamera* camera, LONG width, LONG height, WORD bits,
                  REFERENCE_TIME interval) {
    const MediaTypePtr connected = harness.ConnectedType();
    ASSERT_TRUE(connected);
    const BITMAPINFOHEADER* header = BitmapHeader(*connected.Get());
    ASSERT_NE(header, nullptr);
    EXPECT_EQ(header->biWidth, width);
    EXPECT_EQ(header->biHeight, height);
    EXPECT_EQ(header->biBitCount, bits);
    const DWORD frameBytes = static_cast<DWORD>(width) * height * (bits / 8);
    EXPECT_EQ(header->biSizeImage, frameBytes);
    EXPECT_EQ(*AvgTimePerFrame(*connected.Get()), interval);

    ExpectWholeTimedFrames(harness.Capture(10), 10, static_cast<long>(frameBytes), ExpectedSampleDuration(camera));
}

}  // namespace

// FFmpeg's dshow input: capture pin by category, GetFormat, the GetStreamCaps loop, then
// SetFormat of a capability type in which only the size and the frame interval were
// written (biSizeImage still that of the capability), RenderStream without a category.
TEST_F(AppReplay, FfmpegSequenceDeliversTheRequestedSize) {
    CameraRig rig(L"Kestrel 1C");
    ASSERT_TRUE(rig.Ready());
    StreamHarness harness(rig.CreateFilter());
    VyxonCamera* camera = CameraOf(harness.Device(), rig.Model());
    ASSERT_NE(camera, nullptr);
    ASSERT_EQ(vyx::vyxcap::PinCategory(harness.CapturePin()), PIN_CATEGORY_CAPTURE);
    IAMStreamConfig* config = harness.Config();

    MediaTypePtr current;
    ASSERT_EQ(config->GetFormat(current.Put()), S_OK);
    int count = 0, size = 0;
    ASSERT_EQ(config->GetNumberOfCapabilities(&count, &size), S_OK);
    ASSERT_EQ(size, static_cast<int>(sizeof(VIDEO_STREAM_CONFIG_CAPS)));
    // -pixel_format bgr24 -video_size 640x480 -framerate 15, written into the type of the
    // first RGB24 capability that allows 15 fps (the full sensor), so biSizeImage is stale.
    MediaTypePtr chosen;
    for (int i = 0; i < count && !chosen; ++i) {
        MediaTypePtr type;
        VIDEO_STREAM_CONFIG_CAPS caps{};
        ASSERT_EQ(config->GetStreamCaps(i, type.Put(), reinterpret_cast<BYTE*>(&caps)), S_OK);
        if (type->subtype != MEDIASUBTYPE_RGB24) continue;
        if (666666 < caps.MinFrameInterval || 666666 > caps.MaxFrameInterval) continue;
        chosen = std::move(type);
    }
    ASSERT_TRUE(chosen);
    BITMAPINFOHEADER* header = BitmapHeader(*chosen.Get());
    const DWORD staleSize = header->biSizeImage;
    header->biWidth = 640;
    header->biHeight = 480;
    *AvgTimePerFrame(*chosen.Get()) = 666666;
    ASSERT_NE(staleSize, 640u * 480 * 3) << "the size field really is stale";
    ASSERT_EQ(config->SetFormat(chosen.Get()), S_OK);

    harness.AcceptSubtype(GUID_NULL);
    ASSERT_EQ(harness.Builder()->RenderStream(nullptr, nullptr, harness.CapturePin(), harness.Grabber(),
                                              harness.Renderer()),
              S_OK);
    ExpectFrames(harness, camera, 640, 480, 24, 666666);
}

// OBS's DirectShow capture: GetFormat, the capability closest to the wanted size made the
// format with SetFormat before connecting, RenderStream in the capture category.
TEST_F(AppReplay, ObsSequenceDeliversTheClosestCapability) {
    CameraRig rig(L"Kestrel 1C");
    ASSERT_TRUE(rig.Ready());
    StreamHarness harness(rig.CreateFilter());
    VyxonCamera* camera = CameraOf(harness.Device(), rig.Model());
    ASSERT_NE(camera, nullptr);
    IAMStreamConfig* config = harness.Config();

    MediaTypePtr current;
    ASSERT_EQ(config->GetFormat(current.Put()), S_OK);
    // Wanted: 1000 x 700 RGB24 at 30 fps, which the camera does not list exactly.
    const auto capabilities = vyx::vyxcap::ReadCapabilities(config);
    const vyx::vyxcap::StreamCapability* closest = nullptr;
    long best = std::numeric_limits<long>::max();
    for (const auto& capability : capabilities) {
        if (!capability.type || capability.type->subtype != MEDIASUBTYPE_RGB24) continue;
        const BITMAPINFOHEADER* header = BitmapHeader(*capability.type.Get());
        const long distance = std::labs(header->biWidth - 1000) + std::labs(std::labs(header->biHeight) - 700);
        if (distance < best) {
            best = distance;
            closest = &capability;
        }
    }
    ASSERT_NE(closest, nullptr);
    MediaTypePtr type = MediaTypePtr::Copy(*closest->type.Get());
    const LONG width = BitmapHeader(*type.Get())->biWidth;
    const LONG height = BitmapHeader(*type.Get())->biHeight;
    *AvgTimePerFrame(*type.Get()) = 333333;
    ASSERT_EQ(config->SetFormat(type.Get()), S_OK);

    harness.AcceptSubtype(MEDIASUBTYPE_RGB24);
    ASSERT_EQ(harness.Builder()->RenderStream(&PIN_CATEGORY_CAPTURE, &MEDIATYPE_Video, harness.Device(),
                                              harness.Grabber(), harness.Renderer()),
              S_OK);
    ExpectFrames(harness, camera, width, height, 24, 333333);
}
