// ICameraInstance, IAMVideoControl, IAMDroppedFrames and IKsPropertySet as the pages and
// applications use them, each change checked against the simulated camera.
#include <gtest/gtest.h>

#include <algorithm>

#include "FilterFixture.h"
#include "FilterTestSupport.h"
#include "ModelDescriptor.h"
#include "SimulatedBus.h"

using namespace vyx::test;

namespace {
class PinInterfaces : public FilterFixture {
protected:
    void SetUp() override {
        FilterFixture::SetUp();
        if (HasFatalFailure()) return;
        ASSERT_EQ(m_filter->QueryInterface(vyx::g_ModelDescriptor.cameraInstanceIid, &m_instance), S_OK);
        m_instance->GetCamera(&m_cam);
        ASSERT_NE(m_cam, nullptr);
    }

    int IndexOf(int width, int height) const {
        for (int i = 0; i < vyx::g_ModelDescriptor.resolutionCount; ++i)
            if (vyx::g_ModelDescriptor.resolutions[i] == vyx::Resolution{width, height}) return i;
        return -1;
    }

    ComPtr<ICameraInstance> m_instance;
    VyxonCamera* m_cam = nullptr;
};
}  // namespace

TEST_F(PinInterfaces, ImageSizeIndexLimitsAndBinnedSizes) {
    const int last = vyx::g_ModelDescriptor.resolutionCount - 1;
    int index = -1;
    EXPECT_EQ(m_instance->GetImgSizeIndex(nullptr), E_POINTER);
    ASSERT_EQ(m_instance->GetImgSizeIndex(&index), S_OK);
    EXPECT_EQ(index, 0);
    EXPECT_EQ(m_instance->SetImgSizeIndex(-1), E_INVALIDARG);
    EXPECT_EQ(m_instance->SetImgSizeIndex(last + 1), E_INVALIDARG);
    ASSERT_EQ(m_instance->SetImgSizeIndex(last), S_OK);
    m_instance->GetImgSizeIndex(&index);
    EXPECT_EQ(index, last);
    int width = 0, height = 0;
    m_cam->GetImgSize(&width, &height);
    EXPECT_EQ(width, vyx::g_ModelDescriptor.resolutions[last].width);

    const int entry = IndexOf(1280, 720);
    ASSERT_GE(entry, 0);
    ASSERT_EQ(m_instance->SetImgSizeIndex(entry), S_OK);
    ASSERT_EQ(m_instance->SetBin(2), S_OK);
    m_cam->GetImgSize(&width, &height);
    EXPECT_EQ(width, 640);
    EXPECT_EQ(height, 360);
    ASSERT_EQ(m_instance->SetBin(3), S_OK);
    m_cam->GetImgSize(&width, &height);
    EXPECT_EQ(width, 424);
    EXPECT_EQ(height, 240);
    int bin = 0;
    m_cam->GetBin(&bin);
    EXPECT_EQ(bin, 3);
    ASSERT_EQ(m_instance->SetBin(1), S_OK);
    ASSERT_EQ(m_instance->SetImgSizeIndex(entry), S_OK);
    m_cam->GetImgSize(&width, &height);
    EXPECT_EQ(width, 1280);

    EXPECT_EQ(m_instance->SetBin(0), E_INVALIDARG);
    EXPECT_EQ(m_instance->SetBin(5), E_INVALIDARG);
    EXPECT_EQ(m_instance->SetBin(-1), E_INVALIDARG);

    // A refused size stores nothing.
    m_camera->SetSwitch(vyx::sim::bus::kSwitchRefuseSetImgSize, 1);
    EXPECT_EQ(m_instance->SetImgSizeIndex(0), E_FAIL);
    m_instance->GetImgSizeIndex(&index);
    EXPECT_EQ(index, entry);
    m_camera->SetSwitch(vyx::sim::bus::kSwitchRefuseSetImgSize, 0);

    // The configuration chosen here is what the pin reports and offers first.
    ComPtr<IAMStreamConfig> config;
    ASSERT_EQ(m_filter.As(&config), S_OK);
    MediaTypePtr current;
    ASSERT_EQ(config->GetFormat(current.Put()), S_OK);
    EXPECT_EQ(Info(current)->bmiHeader.biWidth, 1280);
    EXPECT_EQ(Info(current)->bmiHeader.biHeight, 720);
}

TEST_F(PinInterfaces, ImageFormatRecordsItsOutputAndLocksNegotiation) {
    ComPtr<IAMStreamConfig> config;
    ASSERT_EQ(m_filter.As(&config), S_OK);
    CameraProp prop{};
    m_cam->GetTheProp(&prop);
    for (ImageFormat format : {IMG_Y8, IMG_RAW8}) {
        // 8-bit mono is a colour camera's own format; a monochrome one refuses it.
        if (format == IMG_Y8 && !prop.isColorCamera) {
            EXPECT_EQ(m_instance->SetImgFormat(format), E_FAIL);
            continue;
        }
        ASSERT_EQ(m_instance->SetImgFormat(format), S_OK);
        ImageFormat set{};
        m_cam->GetImgFormat(&set);
        EXPECT_EQ(set, format);
        MediaTypePtr current;
        ASSERT_EQ(config->GetFormat(current.Put()), S_OK);
        EXPECT_TRUE(IsEqualGUID(current->subtype, MEDIASUBTYPE_RGB8)) << format;
        EXPECT_EQ(Info(current)->bmiHeader.biBitCount, 8);
    }
    ASSERT_EQ(m_instance->SetImgFormat(IMG_RAW16), S_OK);
    MediaTypePtr y16;
    ASSERT_EQ(config->GetFormat(y16.Put()), S_OK);
    EXPECT_EQ(y16->subtype.Data1, 0x20363159u);

    // Locked: one offered type, the current configuration.
    ComPtr<IEnumMediaTypes> types;
    ASSERT_EQ(OutputPin(m_filter.Get())->EnumMediaTypes(&types), S_OK);
    AM_MEDIA_TYPE* offered[2] = {};
    ULONG fetched = 0;
    EXPECT_EQ(types->Next(2, offered, &fetched), S_FALSE);
    ASSERT_EQ(fetched, 1u);
    EXPECT_EQ(offered[0]->subtype.Data1, 0x20363159u);
    DeleteMediaType(offered[0]);

    m_camera->SetSwitch(vyx::sim::bus::kSwitchRefuseSetImgFormat, 1);
    EXPECT_EQ(m_instance->SetImgFormat(IMG_RAW8), E_FAIL);
    m_camera->SetSwitch(vyx::sim::bus::kSwitchRefuseSetImgFormat, 0);
    MediaTypePtr unchanged;
    ASSERT_EQ(config->GetFormat(unchanged.Put()), S_OK);
    EXPECT_EQ(unchanged->subtype.Data1, 0x20363159u);
}

TEST_F(PinInterfaces, SettersAreRefusedWhileStreaming) {
    Graph graph;
    ASSERT_EQ(MakeConnectedGraph(m_filter.Get(), &graph), S_OK);
    ASSERT_TRUE(SUCCEEDED(graph.control->Run()));
    OAFilterState state;
    graph.control->GetState(5000, &state);
    int width = 0, height = 0, bin = 0;
    m_cam->GetImgSize(&width, &height);
    m_cam->GetBin(&bin);
    EXPECT_EQ(m_instance->SetImgSizeIndex(1), VFW_E_NOT_STOPPED);
    EXPECT_EQ(m_instance->SetBin(2), VFW_E_NOT_STOPPED);
    EXPECT_EQ(m_instance->SetImgFormat(IMG_RAW16), VFW_E_NOT_STOPPED);
    int afterWidth = 0, afterHeight = 0, afterBin = 0;
    m_cam->GetImgSize(&afterWidth, &afterHeight);
    m_cam->GetBin(&afterBin);
    EXPECT_EQ(afterWidth, width);
    EXPECT_EQ(afterBin, bin);
    graph.control->Stop();
    EXPECT_EQ(m_instance->SetBin(2), S_OK);
}

TEST_F(PinInterfaces, VideoControlFlipsAndFrameRates) {
    ComPtr<IAMVideoControl> control;
    ASSERT_EQ(m_filter.As(&control), S_OK);
    LONG caps = 0, mode = -1;
    ASSERT_EQ(control->GetCaps(nullptr, &caps), S_OK);
    EXPECT_EQ(caps, 3);
    ASSERT_EQ(control->GetMode(nullptr, &mode), S_OK);
    EXPECT_EQ(mode, 0);
    EXPECT_EQ(control->SetMode(nullptr, 3), E_NOTIMPL);
    EXPECT_EQ(control->SetMode(nullptr, 0), E_NOTIMPL);
    ASSERT_EQ(control->SetMode(nullptr, 2), S_OK);
    control->GetMode(nullptr, &mode);
    EXPECT_EQ(mode, 2);
    ASSERT_EQ(control->SetMode(nullptr, 1), S_OK);
    control->GetMode(nullptr, &mode);
    EXPECT_EQ(mode, 3);
    bool horizontal = false, vertical = false;
    m_cam->GetImgFlip(&horizontal, &vertical);
    EXPECT_TRUE(horizontal);
    EXPECT_TRUE(vertical);
    // Switched off behind the pin's back: GetMode reads the camera.
    m_cam->SetImgFlip(false, true);
    control->GetMode(nullptr, &mode);
    EXPECT_EQ(mode, 2);

    // The list of a format stays inside its capability's range from the camera's
    // frame-rate range, within the unit by which the list truncates and the capability rounds
    // up: a camera whose top rate is 60 lists 60 (the decisions and the fallback are
    // FormatNegotiationTest's).
    m_camera->SetSwitch(vyx::sim::bus::kSwitchMaxFrameRate, 60);
    ComPtr<IAMStreamConfig> config;
    ASSERT_EQ(m_filter.As(&config), S_OK);
    int count = 0, capsSize = 0;
    ASSERT_EQ(config->GetNumberOfCapabilities(&count, &capsSize), S_OK);
    MediaTypePtr type;
    VIDEO_STREAM_CONFIG_CAPS capability{};
    ASSERT_EQ(config->GetStreamCaps(count - 1, type.Put(), reinterpret_cast<BYTE*>(&capability)), S_OK);
    EXPECT_EQ(capability.MinFrameInterval, 166667);
    LONG listed = -1;
    LONGLONG* durations = nullptr;
    ASSERT_EQ(control->GetFrameRateList(nullptr, count - 1, capability.InputSize, &listed, &durations), S_OK);
    ASSERT_GT(listed, 0);
    EXPECT_EQ(durations[listed - 1], 166666) << "the top rate, 60 frames per second";
    EXPECT_LE(durations[0], capability.MaxFrameInterval);
    CoTaskMemFree(durations);
    // The fastest interval available is the capability's, never 0 (applications divide by it).
    LONGLONG fastest = 0;
    ASSERT_EQ(control->GetMaxAvailableFrameRate(nullptr, count - 1, capability.InputSize, &fastest), S_OK);
    EXPECT_EQ(fastest, capability.MinFrameInterval);
    EXPECT_EQ(control->GetMaxAvailableFrameRate(nullptr, count, capability.InputSize, &fastest), E_INVALIDARG);
    m_camera->SetSwitch(vyx::sim::bus::kSwitchMaxFrameRate, 0);
    LONG size = -1;
    LONGLONG* rates = reinterpret_cast<LONGLONG*>(1);
    EXPECT_EQ(control->GetFrameRateList(nullptr, count, SIZE{640, 480}, &size, &rates), E_INVALIDARG);
    EXPECT_EQ(size, 0);
    EXPECT_EQ(rates, nullptr);


    // Before any frame, the rate the camera's format and exposure allow: the frame time when
    // it is the longer (a short exposure), else the exposure; never the exposure alone.
    for (const int exposureUs : {64, 2000000}) {
        ASSERT_TRUE(m_cam->SetExposure(exposureUs, false));
        long long frameUs = 0;
        float fps = 0;
        ASSERT_TRUE(m_cam->GetFrameTime(&frameUs, &fps));
        LONGLONG frame = -1;
        ASSERT_EQ(control->GetCurrentActualFrameRate(nullptr, &frame), S_OK);
        EXPECT_EQ(frame, 10 * std::max<LONGLONG>(frameUs, exposureUs)) << exposureUs;
    }
}

TEST_F(PinInterfaces, CapturePinCategoryAndDroppedFrames) {
    ComPtr<IKsPropertySet> properties;
    ASSERT_EQ(OutputPin(m_filter.Get()).As(&properties), S_OK);
    GUID category = GUID_NULL;
    DWORD returned = 0;
    EXPECT_EQ(properties->Get(AMPROPSETID_Pin, AMPROPERTY_PIN_CATEGORY, nullptr, 0, nullptr, 0, &returned), S_OK);
    EXPECT_EQ(returned, 16u);
    ASSERT_EQ(properties->Get(AMPROPSETID_Pin, AMPROPERTY_PIN_CATEGORY, nullptr, 0, &category, sizeof category,
                              &returned), S_OK);
    EXPECT_TRUE(IsEqualGUID(category, PIN_CATEGORY_CAPTURE));
    EXPECT_EQ(properties->Get(AMPROPSETID_Pin, AMPROPERTY_PIN_CATEGORY, nullptr, 0, &category, 15, &returned),
              E_UNEXPECTED);
    EXPECT_EQ(properties->Get(AMPROPSETID_Pin, AMPROPERTY_PIN_CATEGORY, nullptr, 0, nullptr, 16, nullptr), E_POINTER);
    EXPECT_EQ(properties->Get(AMPROPSETID_Pin, AMPROPERTY_PIN_MEDIUM, nullptr, 0, &category, 16, &returned),
              E_PROP_ID_UNSUPPORTED);
    EXPECT_EQ(properties->Get(PIN_CATEGORY_CAPTURE, AMPROPERTY_PIN_CATEGORY, nullptr, 0, &category, 16, &returned),
              E_PROP_SET_UNSUPPORTED);
    DWORD support = 0;
    ASSERT_EQ(properties->QuerySupported(AMPROPSETID_Pin, AMPROPERTY_PIN_CATEGORY, &support), S_OK);
    EXPECT_EQ(support, static_cast<DWORD>(KSPROPERTY_SUPPORT_GET));
    EXPECT_EQ(properties->QuerySupported(AMPROPSETID_Pin, 7, &support), E_PROP_ID_UNSUPPORTED);
    EXPECT_EQ(properties->Set(AMPROPSETID_Pin, AMPROPERTY_PIN_CATEGORY, nullptr, 0, &category, 16), E_NOTIMPL);

    ComPtr<IAMDroppedFrames> dropped;
    ASSERT_EQ(m_filter.As(&dropped), S_OK);
    LONG count = -1;
    ASSERT_EQ(dropped->GetNumNotDropped(&count), S_OK);
    EXPECT_EQ(count, 0);
    count = -1;
    ASSERT_EQ(dropped->GetNumDropped(&count), S_OK);
    EXPECT_EQ(count, 0) << "a camera that never streamed dropped nothing";
    // No dropped frame is listed by number, and no size is averaged: both say so.
    LONG frames[4] = {-1, -1, -1, -1};
    LONG copied = -1;
    EXPECT_EQ(dropped->GetDroppedInfo(4, frames, &copied), S_OK);
    EXPECT_EQ(copied, 0);
    EXPECT_EQ(dropped->GetDroppedInfo(4, frames, nullptr), E_POINTER);
    LONG average = -1;
    EXPECT_EQ(dropped->GetAverageFrameSize(&average), S_OK);
    EXPECT_EQ(average, 0);
    EXPECT_EQ(dropped->GetAverageFrameSize(nullptr), E_POINTER);
}

TEST_F(PinInterfaces, TypeEnumeratorMadeBeforeSetFormatIsOutOfSync) {
    ComPtr<IPin> pin = OutputPin(m_filter.Get());
    ComPtr<IEnumMediaTypes> types;
    ASSERT_EQ(pin->EnumMediaTypes(&types), S_OK);
    std::vector<CMediaType> caps = StreamCapsTypes(m_filter.Get());
    ASSERT_GE(caps.size(), 2u);
    ComPtr<IAMStreamConfig> config;
    ASSERT_EQ(m_filter.As(&config), S_OK);
    ASSERT_EQ(config->SetFormat(&caps[1]), S_OK);

    AM_MEDIA_TYPE* type = nullptr;
    ULONG fetched = 0;
    EXPECT_EQ(types->Next(1, &type, &fetched), VFW_E_ENUM_OUT_OF_SYNC);
    EXPECT_EQ(fetched, 0u);
    ASSERT_EQ(types->Reset(), S_OK);
    ASSERT_EQ(types->Next(1, &type, &fetched), S_OK);
    EXPECT_TRUE(IsEqualGUID(type->subtype, *caps[1].Subtype()));
    DeleteMediaType(type);
}

namespace {
// How many cameras of the product nobody holds open: each is opened, then freed again.
// Camera ids are list positions, which a plug may reorder, so every position is tried.
int OpenableCameras(std::int32_t productId, VyxonCamera** keepOne = nullptr) {
    int openable = 0;
    for (int i = 0; i < VyxonCamera::GetCamerasCount(); ++i) {
        CameraProp prop{};
        if (!VyxonCamera::GetCameraProp(i, &prop) || prop.productId != productId) continue;
        VyxonCamera* camera = VyxonCamera::CreateCamera(prop.cameraId);
        if (!camera) continue;
        if (!camera->OpenCamera()) {
            camera->Destory();
            continue;
        }
        ++openable;
        if (keepOne && !*keepOne) {
            *keepOne = camera;
            continue;
        }
        camera->CloseCamera();
        camera->Destory();
    }
    return openable;
}
}  // namespace

TEST_F(PinInterfaces, SetCameraTakesTheNewCameraClosesTheOldAndIsRefusedWhileStreaming) {
    CameraProp first{};
    ASSERT_TRUE(m_cam->GetTheProp(&first));
    EXPECT_EQ(OpenableCameras(first.productId), 0) << "the pin holds its camera open";

    PluggedCamera another(ModelName(), L"SECOND01");
    VyxonCamera* replacement = nullptr;
    ASSERT_EQ(OpenableCameras(first.productId, &replacement), 1);
    ASSERT_NE(replacement, nullptr);
    VyxonCamera* pagesCamera = nullptr;  // as a page holds it, from its activation on
    ASSERT_EQ(m_instance->GetCamera(&pagesCamera), S_OK);
    ASSERT_EQ(m_instance->SetCamera(replacement), S_OK);
    m_cam = nullptr;
    VyxonCamera* held = nullptr;
    ASSERT_EQ(m_instance->GetCamera(&held), S_OK);
    EXPECT_EQ(held, replacement);
    EXPECT_EQ(OpenableCameras(first.productId), 1) << "the replaced camera was closed";
    // The page's pointer stays callable while it holds the pin: closed, its calls fail.
    EXPECT_FALSE(pagesCamera->IsOpened());
    int gain = 0;
    bool gainAuto = false;
    EXPECT_FALSE(pagesCamera->GetGain(&gain, &gainAuto));
    // The control interfaces reach the new camera.
    ComPtr<IAMVideoProcAmp> amp;
    ASSERT_EQ(m_filter.As(&amp), S_OK);
    long minimum = 0, maximum = 0, step = 0, byDefault = 0, caps = 0;
    ASSERT_EQ(amp->GetRange(VideoProcAmp_Gain, &minimum, &maximum, &step, &byDefault, &caps), S_OK);
    ASSERT_EQ(amp->Set(VideoProcAmp_Gain, minimum + 1, VideoProcAmp_Flags_Manual), S_OK);
    ASSERT_TRUE(replacement->GetGain(&gain, &gainAuto));
    EXPECT_EQ(gain, minimum + 1);
    EXPECT_EQ(m_instance->SetCamera(replacement), S_OK);
    EXPECT_TRUE(replacement->IsOpened()) << "setting the same camera again keeps it";

    Graph graph;
    ASSERT_EQ(MakeConnectedGraph(m_filter.Get(), &graph), S_OK);
    ASSERT_TRUE(SUCCEEDED(graph.control->Run()));
    EXPECT_EQ(m_instance->SetCamera(nullptr), VFW_E_NOT_STOPPED);
    graph.control->Stop();
    ASSERT_EQ(m_instance->GetCamera(&held), S_OK);
    EXPECT_EQ(held, replacement);
    graph = Graph{};
    m_instance.Reset();
    m_filter.Reset();
}
