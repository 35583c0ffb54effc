// OBS's call sequence from a host that the filter recognises as OBS: this program's file
// name contains "obs64" (64-bit) or "obs32" (32-bit), as OBS's own executables do. Such a
// host is offered the full sensor alone, RGB24 on a colour camera and Y800 on a
// monochrome one, and must receive exactly that.
#include <gtest/gtest.h>

#include "CameraAccess.h"
#include "CameraRig.h"
#include "ComApartment.h"
#include "StreamCapabilities.h"
#include "StreamHarness.h"
#include "SubtypeName.h"

using namespace vyx::vyxcap::test;
using vyx::win::BitmapHeader;
using vyx::win::MediaTypePtr;

namespace {

class ObsHost : public ::testing::TestWithParam<const wchar_t*> {
protected:
    vyx::win::ComApartment m_apartment;
};

}  // namespace

TEST_P(ObsHost, SeesOneFullSensorFormatAndReceivesIt) {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    ASSERT_NE(std::wstring(path).find(sizeof(void*) == 8 ? L"obs64" : L"obs32"), std::wstring::npos);

    CameraRig rig(GetParam());
    ASSERT_TRUE(rig.Ready());
    StreamHarness harness(rig.CreateFilter());
    VyxonCamera* camera = CameraOf(harness.Device(), rig.Model());
    ASSERT_NE(camera, nullptr);
    IAMStreamConfig* config = harness.Config();
    const std::wstring subtype = rig.Model().color ? L"RGB24" : L"Y800";
    const LONG width = rig.Model().sensorWidth / 4 * 4;
    const LONG height = rig.Model().sensorHeight / 2 * 2;

    MediaTypePtr current;
    ASSERT_EQ(config->GetFormat(current.Put()), S_OK);
    EXPECT_EQ(vyx::vyxcap::SubtypeName(current->subtype), subtype);
    EXPECT_EQ(BitmapHeader(*current.Get())->biWidth, width);
    const auto capabilities = vyx::vyxcap::ReadCapabilities(config);
    ASSERT_EQ(capabilities.size(), 1u);
    const MediaTypePtr& only = capabilities[0].type;
    ASSERT_TRUE(only);
    EXPECT_EQ(vyx::vyxcap::SubtypeName(only->subtype), subtype);
    EXPECT_EQ(BitmapHeader(*only.Get())->biWidth, width);
    EXPECT_EQ(BitmapHeader(*only.Get())->biHeight, height);

    MediaTypePtr type = MediaTypePtr::Copy(*only.Get());
    *vyx::win::AvgTimePerFrame(*type.Get()) = 333333;
    ASSERT_EQ(config->SetFormat(type.Get()), S_OK);
    harness.AcceptSubtype(type->subtype);
    ASSERT_EQ(harness.Builder()->RenderStream(&PIN_CATEGORY_CAPTURE, &MEDIATYPE_Video, harness.Device(),
                                              harness.Grabber(), harness.Renderer()),
              S_OK);
    const MediaTypePtr connected = harness.ConnectedType();
    ASSERT_TRUE(connected);
    EXPECT_EQ(connected->subtype, only->subtype);
    const DWORD frameBytes = BitmapHeader(*only.Get())->biSizeImage;
    EXPECT_EQ(BitmapHeader(*connected.Get())->biSizeImage, frameBytes);

    ExpectWholeTimedFrames(harness.Capture(10), 10, static_cast<long>(frameBytes), ExpectedSampleDuration(camera));
}

INSTANTIATE_TEST_SUITE_P(ColourAndMonochrome, ObsHost, ::testing::Values(L"Kestrel 1C", L"Kestrel 1M"),
                         [](const auto& info) { return info.index == 0 ? "Colour" : "Monochrome"; });
