// Media types as applications see them, CheckMediaType's verdicts, real connections that
// configure the camera, IAMStreamConfig's choice and lock, and the obs-host rule.
#include <gtest/gtest.h>

#include <string>

#include "ChildProcess.h"
#include "FilterTestSupport.h"
#include "ModelDescriptor.h"
#include "OutputFormats.h"
#include "SimulatedBus.h"

using namespace vyx::test;
using vyx::FormatEntry;

namespace {
class Negotiation : public ::testing::Test {
protected:
    void SetUp() override {
        vyx::sim::bus::UnplugAll();
        RemoveSettingsFile();
        m_camera = std::make_unique<PluggedCamera>();
        ASSERT_EQ(CreateFilter(&m_filter), S_OK);
        ASSERT_EQ(m_filter.As(&m_config), S_OK);
        m_stream = StreamOf(m_filter.Get());
        m_cam = CameraOf(m_filter.Get());
        CameraProp prop{};
        m_cam->GetTheProp(&prop);
        m_color = prop.isColorCamera;
    }

    ComApartment m_com;
    std::unique_ptr<PluggedCamera> m_camera;
    ComPtr<IBaseFilter> m_filter;
    ComPtr<IAMStreamConfig> m_config;
    vyx::CVCameraStream* m_stream = nullptr;
    VyxonCamera* m_cam = nullptr;
    bool m_color = false;
};

int CountOfferedTypes(IPin* pin) {
    ComPtr<IEnumMediaTypes> types;
    if (FAILED(pin->EnumMediaTypes(&types))) return -1;
    int count = 0;
    for (AM_MEDIA_TYPE* type = nullptr; types->Next(1, &type, nullptr) == S_OK; type = nullptr) {
        DeleteMediaType(type);
        ++count;
    }
    return count;
}

CMediaType TypeOf(const vyx::CVCameraStream* stream, int position) {
    CMediaType type;
    const_cast<vyx::CVCameraStream*>(stream)->GetMediaType(position, &type);
    return type;
}

VIDEOINFOHEADER* Info(CMediaType& type) {
    return reinterpret_cast<VIDEOINFOHEADER*>(type.Format());
}

bool IsSubtype(const CMediaType& type, const GUID& subtype) {
    return IsEqualGUID(*type.Subtype(), subtype);
}

std::wstring SelfPath() {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    return path;
}

// The exit code, or the start or wait error with the top bit set.
DWORD RunAndWait(const std::wstring& exe, const std::wstring& arguments) {
    constexpr DWORD kTimeoutMs = 120000;
    DWORD code = 0;
    const DWORD error = vyx::win::RunChildProcess(L"\"" + exe + L"\" " + arguments, kTimeoutMs, code,
                                                  vyx::win::ChildProcessOptions::Program(exe));
    return error == ERROR_SUCCESS ? code : error | 0x80000000u;
}
}  // namespace

TEST_F(Negotiation, OfferedTypesDescribeEveryFormatListEntry) {
    int count = 0, size = 0;
    ASSERT_EQ(m_config->GetNumberOfCapabilities(&count, &size), S_OK);
    EXPECT_EQ(size, static_cast<int>(sizeof(VIDEO_STREAM_CONFIG_CAPS)));
    EXPECT_EQ(size, 128);
    ComPtr<IPin> pin = OutputPin(m_filter.Get());
    EXPECT_EQ(CountOfferedTypes(pin.Get()), count);
    ASSERT_GT(count, 0);

    CMediaType first = TypeOf(m_stream, 0);
    EXPECT_TRUE(IsSubtype(first, m_color ? MEDIASUBTYPE_RGB24 : MEDIASUBTYPE_RGB8));
    EXPECT_EQ(Info(first)->bmiHeader.biWidth, vyx::g_ModelDescriptor.sensorWidth / 4 * 4);
    bool sawY800 = false, sawY16 = false;
    for (int i = 0; i < count; ++i) {
        CMediaType type = TypeOf(m_stream, i);
        const VIDEOINFOHEADER* info = Info(type);
        const BITMAPINFOHEADER& header = info->bmiHeader;
        const bool grey = IsSubtype(type, MEDIASUBTYPE_RGB8) || IsSubtype(type, vyx::kSubtypeY800);
        EXPECT_TRUE(IsEqualGUID(*type.Type(), MEDIATYPE_Video));
        EXPECT_TRUE(IsEqualGUID(*type.FormatType(), FORMAT_VideoInfo));
        EXPECT_EQ(type.FormatLength(), grey ? 1112u : 88u) << i;
        EXPECT_EQ(info->AvgTimePerFrame, 333333);
        EXPECT_EQ(header.biSize, 40u);
        EXPECT_EQ(header.biPlanes, 1);
        EXPECT_EQ(header.biWidth % 4, 0);
        EXPECT_GT(header.biHeight, 0);
        EXPECT_EQ(header.biBitCount, vyx::ExpectedBitCount(*type.Subtype()));
        EXPECT_EQ(header.biSizeImage, static_cast<DWORD>(header.biWidth * header.biHeight * header.biBitCount / 8));
        EXPECT_EQ(type.GetSampleSize(), header.biSizeImage);
        EXPECT_TRUE(type.IsFixedSize());
        EXPECT_FALSE(type.IsTemporalCompressed());
        EXPECT_EQ(header.biClrUsed, grey ? 256u : 0u);
        if (grey) {
            const RGBQUAD* palette = reinterpret_cast<const RGBQUAD*>(type.Format() + 88);
            EXPECT_EQ(palette[0].rgbRed, 0);
            EXPECT_EQ(palette[200].rgbBlue, 200);
            EXPECT_EQ(palette[255].rgbGreen, 255);
            EXPECT_EQ(palette[255].rgbReserved, 0);
        }
        if (IsSubtype(type, vyx::kSubtypeY800)) {
            sawY800 = true;
            EXPECT_EQ(header.biCompression, static_cast<DWORD>(BI_RGB));
        }
        if (IsSubtype(type, vyx::kSubtypeY16)) {
            sawY16 = true;
            EXPECT_EQ(header.biCompression, 0x20363159u);
            if (header.biWidth == 640 && header.biHeight == 480) {
                EXPECT_EQ(header.biSizeImage, 614400u);
            }
        }
    }
    EXPECT_TRUE(sawY800);
    EXPECT_TRUE(sawY16);
    // Colour cameras offer "Y800" last, monochrome ones "Y16 " last.
    CMediaType last = TypeOf(m_stream, count - 1);
    EXPECT_TRUE(IsSubtype(last, m_color ? vyx::kSubtypeY800 : vyx::kSubtypeY16));

    CMediaType beyond;
    EXPECT_EQ(m_stream->GetMediaType(count, &beyond), VFW_S_NO_MORE_ITEMS);
    EXPECT_EQ(m_stream->GetMediaType(-1, &beyond), E_INVALIDARG);
    EXPECT_EQ(m_stream->GetMediaType(0, nullptr), E_POINTER);
}

TEST_F(Negotiation, CheckMediaTypeRefusesWhatTheCameraCannotProduce) {
    CMediaType good = TypeOf(m_stream, 0);
    EXPECT_EQ(m_stream->CheckMediaType(&good), S_OK);
    EXPECT_EQ(m_stream->CheckMediaType(nullptr), E_POINTER);

    CMediaType wrongBits(good);
    Info(wrongBits)->bmiHeader.biBitCount = 32;
    EXPECT_EQ(m_stream->CheckMediaType(&wrongBits), E_INVALIDARG);
    CMediaType noInterval(good);
    Info(noInterval)->AvgTimePerFrame = 0;
    EXPECT_EQ(m_stream->CheckMediaType(&noInterval), E_INVALIDARG);
    CMediaType topDown(good);
    Info(topDown)->bmiHeader.biHeight = -Info(topDown)->bmiHeader.biHeight;
    EXPECT_EQ(m_stream->CheckMediaType(&topDown), E_INVALIDARG);
    CMediaType oddSize(good);
    Info(oddSize)->bmiHeader.biWidth += 4;
    EXPECT_EQ(m_stream->CheckMediaType(&oddSize), E_INVALIDARG);
    CMediaType variable(good);
    variable.SetVariableSize();
    EXPECT_EQ(m_stream->CheckMediaType(&variable), E_INVALIDARG);
    CMediaType audio(good);
    audio.SetType(&MEDIATYPE_Audio);
    EXPECT_EQ(m_stream->CheckMediaType(&audio), E_INVALIDARG);
    CMediaType shortFormat(good);
    shortFormat.ReallocFormatBuffer(87);
    EXPECT_EQ(m_stream->CheckMediaType(&shortFormat), E_INVALIDARG);
    CMediaType noFormat(good);
    noFormat.ResetFormatBuffer();
    EXPECT_EQ(m_stream->CheckMediaType(&noFormat), E_INVALIDARG);
    CMediaType rgb32(good);
    rgb32.SetSubtype(&MEDIASUBTYPE_RGB32);
    Info(rgb32)->bmiHeader.biBitCount = 32;
    EXPECT_EQ(m_stream->CheckMediaType(&rgb32), E_INVALIDARG);

    // SetMediaType of a type that does not resolve changes nothing.
    EXPECT_EQ(m_stream->SetMediaType(&wrongBits), E_INVALIDARG);
    EXPECT_EQ(m_stream->SetMediaType(&noInterval), E_INVALIDARG);
}

TEST_F(Negotiation, EveryOfferedTypeConnectsAndConfiguresTheCamera) {
    for (const CLSID& downstream : {CLSID_NullRenderer, CLSID_SampleGrabber}) {
        Graph graph;
        ASSERT_EQ(MakeGraph(m_filter.Get(), downstream, &graph), S_OK);
        std::vector<CMediaType> types = StreamCapsTypes(m_filter.Get());
        ASSERT_FALSE(types.empty());
        const size_t step = IsEqualCLSID(downstream, CLSID_NullRenderer) ? 1 : 7;
        for (size_t i = 0; i < types.size(); i += step) {
            CMediaType& type = types[i];
            ASSERT_EQ(graph.Connect(&type), S_OK) << i;
            const VIDEOINFOHEADER* info = Info(type);
            int width = 0, height = 0, bin = 0;
            ImageFormat format{};
            m_cam->GetImgSize(&width, &height);
            m_cam->GetBin(&bin);
            m_cam->GetImgFormat(&format);
            EXPECT_EQ(width, info->bmiHeader.biWidth) << i;
            EXPECT_EQ(height, info->bmiHeader.biHeight) << i;
            const std::int32_t index = vyx::OutputFormatIndexOf(*type.Subtype());
            const std::int32_t expectedFormat = index == vyx::kOutputRGB24 ? IMG_RGB24
                                                : index == vyx::kOutputYUY2 ? IMG_YUY2
                                                : index == vyx::kOutputY16  ? IMG_RAW16
                                                : index == vyx::kOutputY800 && m_color ? IMG_Y8
                                                                                       : IMG_RAW8;
            EXPECT_EQ(format, expectedFormat) << i;
            const int binnedWidth = vyx::g_ModelDescriptor.sensorWidth / bin;
            EXPECT_LE(width, binnedWidth) << i;
            int limit = -1;
            m_cam->GetFrameRateLimit(&limit);
            EXPECT_EQ(limit, 0) << i;  // no interval was requested

            AM_MEDIA_TYPE connected{};
            ASSERT_EQ(graph.output->ConnectionMediaType(&connected), S_OK);
            EXPECT_TRUE(IsEqualGUID(connected.subtype, *type.Subtype()));
            FreeMediaType(connected);
            graph.Disconnect();
        }
    }
}

TEST_F(Negotiation, SetFormatLocksToTheChosenTypeUntilStreamingStops) {
    std::vector<CMediaType> types = StreamCapsTypes(m_filter.Get());
    ASSERT_GT(types.size(), 3u);
    CMediaType chosen = types[types.size() / 2];
    // Only subtype and size select: a wrong bit count and a stale image size are repaired.
    Info(chosen)->bmiHeader.biBitCount = 32;
    Info(chosen)->bmiHeader.biSizeImage = 12345;
    Info(chosen)->AvgTimePerFrame = 666666;
    EXPECT_EQ(m_config->SetFormat(&chosen), S_OK);

    MediaTypePtr current;
    ASSERT_EQ(m_config->GetFormat(current.Put()), S_OK);
    EXPECT_TRUE(IsEqualGUID(current->subtype, *chosen.Subtype()));
    EXPECT_EQ(Info(current)->AvgTimePerFrame, 666666);
    EXPECT_EQ(Info(current)->bmiHeader.biBitCount, vyx::ExpectedBitCount(*chosen.Subtype()));
    EXPECT_EQ(Info(current)->bmiHeader.biWidth, Info(chosen)->bmiHeader.biWidth);
    EXPECT_NE(Info(current)->bmiHeader.biSizeImage, 12345u);

    ComPtr<IPin> pin = OutputPin(m_filter.Get());
    EXPECT_EQ(CountOfferedTypes(pin.Get()), 1);
    CMediaType offered = TypeOf(m_stream, 0);
    EXPECT_EQ(Info(offered)->AvgTimePerFrame, 666666);
    CMediaType beyond;
    EXPECT_EQ(m_stream->GetMediaType(1, &beyond), VFW_S_NO_MORE_ITEMS);
    // Another subtype is refused while locked.
    for (CMediaType& other : types)
        if (!IsEqualGUID(*other.Subtype(), *chosen.Subtype())) {
            EXPECT_EQ(m_stream->CheckMediaType(&other), E_INVALIDARG);
            break;
        }

    // The connection sets the frame-rate limit from the requested interval.
    Graph graph;
    ASSERT_EQ(MakeGraph(m_filter.Get(), CLSID_NullRenderer, &graph), S_OK);
    ASSERT_EQ(graph.builder->Connect(graph.output.Get(), graph.input.Get()), S_OK);
    int limit = -1;
    m_cam->GetFrameRateLimit(&limit);
    EXPECT_EQ(limit, 15);
    // SetFormat while connected reconnects through the graph.
    CMediaType other = types[0];
    Info(other)->AvgTimePerFrame = 400000;
    EXPECT_EQ(m_config->SetFormat(&other), S_OK);
    AM_MEDIA_TYPE connected{};
    ASSERT_EQ(graph.output->ConnectionMediaType(&connected), S_OK);
    EXPECT_TRUE(IsEqualGUID(connected.subtype, *other.Subtype()));
    EXPECT_EQ(reinterpret_cast<VIDEOINFOHEADER*>(connected.pbFormat)->AvgTimePerFrame, 400000);
    FreeMediaType(connected);
    m_cam->GetFrameRateLimit(&limit);
    EXPECT_EQ(limit, 25);

    // A stop of streaming lifts the lock.
    ASSERT_TRUE(SUCCEEDED(graph.control->Run()));
    OAFilterState state;
    graph.control->GetState(5000, &state);
    graph.control->Stop();
    EXPECT_EQ(CountOfferedTypes(pin.Get()), static_cast<int>(types.size()));

    // A choice without an interval clears the request: no limit, the type's own interval.
    graph.Disconnect();
    CMediaType plain = types[1];
    Info(plain)->AvgTimePerFrame = 0;
    EXPECT_EQ(m_config->SetFormat(&plain), S_OK);
    ASSERT_EQ(m_config->GetFormat(current.Put()), S_OK);
    EXPECT_EQ(Info(current)->AvgTimePerFrame, 333333);
    ASSERT_EQ(graph.builder->Connect(graph.output.Get(), graph.input.Get()), S_OK);
    m_cam->GetFrameRateLimit(&limit);
    EXPECT_EQ(limit, 0);

    CMediaType unknown = types[0];
    Info(unknown)->bmiHeader.biWidth = 4;
    EXPECT_EQ(m_config->SetFormat(&unknown), VFW_E_INVALIDMEDIATYPE);
    EXPECT_EQ(m_config->SetFormat(nullptr), VFW_E_INVALIDMEDIATYPE);
}

TEST_F(Negotiation, StreamCapsIndexLimits) {
    int count = 0, size = 0;
    ASSERT_EQ(m_config->GetNumberOfCapabilities(&count, &size), S_OK);
    EXPECT_EQ(m_config->GetNumberOfCapabilities(nullptr, &size), E_POINTER);
    VIDEO_STREAM_CONFIG_CAPS caps{};
    for (int index : {-1, count}) {
        AM_MEDIA_TYPE* type = reinterpret_cast<AM_MEDIA_TYPE*>(1);
        EXPECT_EQ(m_config->GetStreamCaps(index, &type, reinterpret_cast<BYTE*>(&caps)), E_INVALIDARG) << index;
        EXPECT_EQ(type, nullptr);
    }
    MediaTypePtr type;
    EXPECT_EQ(m_config->GetStreamCaps(0, type.Put(), nullptr), E_POINTER);
    ASSERT_EQ(m_config->GetStreamCaps(count - 1, type.Put(), reinterpret_cast<BYTE*>(&caps)), S_OK);
    EXPECT_EQ(caps.InputSize.cx, Info(type)->bmiHeader.biWidth);
    EXPECT_EQ(caps.MaxOutputSize.cy, Info(type)->bmiHeader.biHeight);
    EXPECT_GT(caps.MinFrameInterval, 0);
    EXPECT_EQ(m_config->GetFormat(nullptr), E_POINTER);

    // A failed frame-rate range falls back to 1..2000 frames per second.
    m_camera->SetSwitch(vyx::sim::bus::kSwitchFailFrameRateRange, 1);
    MediaTypePtr fallback;
    ASSERT_EQ(m_config->GetStreamCaps(0, fallback.Put(), reinterpret_cast<BYTE*>(&caps)), S_OK);
    EXPECT_EQ(caps.MinFrameInterval, 5000);
    EXPECT_EQ(caps.MaxFrameInterval, 10000000);
    m_camera->SetSwitch(vyx::sim::bus::kSwitchFailFrameRateRange, 0);
    m_camera->SetSwitch(vyx::sim::bus::kSwitchFrameRateMinZero, 1);
    MediaTypePtr minZero;
    ASSERT_EQ(m_config->GetStreamCaps(0, minZero.Put(), reinterpret_cast<BYTE*>(&caps)), S_OK);
    EXPECT_EQ(caps.MinFrameInterval, 5000);
    EXPECT_EQ(caps.MaxFrameInterval, 10000000);
    m_camera->SetSwitch(vyx::sim::bus::kSwitchFrameRateMinZero, 0);
}

TEST_F(Negotiation, ShortFormatBlocksAndMissingArgumentsAreRefused) {
    CMediaType type = TypeOf(m_stream, 0);
    CMediaType shortFormat(type);
    shortFormat.ReallocFormatBuffer(40);
    EXPECT_EQ(m_stream->CheckMediaType(&shortFormat), E_INVALIDARG);
    FormatEntry entry{};
    EXPECT_FALSE(m_stream->ResolveMediaType(nullptr, &entry));
    EXPECT_FALSE(m_stream->ResolveFormatSelection(&type, nullptr));
    EXPECT_EQ(m_config->SetFormat(&type), S_OK);
}

TEST_F(Negotiation, RefusedCameraSettingsFailTheConnection) {
    CMediaType type = TypeOf(m_stream, 1);
    for (const wchar_t* name : {vyx::sim::bus::kSwitchRefuseSetBin, vyx::sim::bus::kSwitchRefuseSetImgSize,
                                vyx::sim::bus::kSwitchRefuseSetImgFormat}) {
        m_camera->SetSwitch(name, 1);
        EXPECT_EQ(m_stream->SetMediaType(&type), E_FAIL);
        m_camera->SetSwitch(name, 0);
    }
    EXPECT_EQ(m_stream->SetMediaType(&type), S_OK);
}

// The same program, started under a file name containing "obs64", is an obs host.
TEST_F(Negotiation, ObsHostIsOfferedTheFullSensorAlone) {
    const std::wstring self = SelfPath();
    if (self.find(L"obs64") != std::wstring::npos) {
        int count = 0, size = 0;
        ASSERT_EQ(m_config->GetNumberOfCapabilities(&count, &size), S_OK);
        EXPECT_EQ(count, 1);
        EXPECT_EQ(size, 128);
        MediaTypePtr type;
        VIDEO_STREAM_CONFIG_CAPS caps{};
        ASSERT_EQ(m_config->GetStreamCaps(0, type.Put(), reinterpret_cast<BYTE*>(&caps)), S_OK);
        EXPECT_TRUE(IsEqualGUID(type->subtype, m_color ? MEDIASUBTYPE_RGB24 : vyx::kSubtypeY800));
        EXPECT_EQ(Info(type)->bmiHeader.biWidth, vyx::g_ModelDescriptor.sensorWidth / 4 * 4);
        MediaTypePtr second;
        EXPECT_EQ(m_config->GetStreamCaps(1, second.Put(), reinterpret_cast<BYTE*>(&caps)), E_INVALIDARG);
        MediaTypePtr format;
        ASSERT_EQ(m_config->GetFormat(format.Put()), S_OK);
        EXPECT_TRUE(IsEqualGUID(format->subtype, type->subtype));
        EXPECT_EQ(CountOfferedTypes(OutputPin(m_filter.Get()).Get()), 1);
        // The chosen format wins over the obs-host rule once locked.
        CMediaType last = TypeOf(m_stream, 0);
        Info(last)->bmiHeader.biWidth = 320;
        Info(last)->bmiHeader.biHeight = 240;
        Info(last)->AvgTimePerFrame = 666666;
        ASSERT_EQ(m_config->SetFormat(&last), S_OK);
        MediaTypePtr locked;
        ASSERT_EQ(m_config->GetFormat(locked.Put()), S_OK);
        EXPECT_EQ(Info(locked)->bmiHeader.biWidth, 320);
        EXPECT_EQ(Info(locked)->AvgTimePerFrame, 666666);
        return;
    }
    const std::wstring folder = self.substr(0, self.find_last_of(L'\\') + 1);
    const std::wstring obs = folder + L"obs64_" + self.substr(folder.size());
    ASSERT_TRUE(CopyFileW(self.c_str(), obs.c_str(), FALSE));
    m_filter.Reset();  // the child opens the camera itself
    m_config.Reset();
    const DWORD code = RunAndWait(obs, L"--gtest_filter=Negotiation.ObsHostIsOfferedTheFullSensorAlone");
    DeleteFileW(obs.c_str());
    EXPECT_EQ(code, 0u);
}
