// The build's media source against a simulated camera showing the test pattern: every
// media type through the platform's source reader, the controls through IKsControl, and
// the live source's states, shutdown, unplug and a camera held elsewhere through its own
// interfaces.
#include <gtest/gtest.h>

#include <windows.h>
#include <mfapi.h>
#include <mferror.h>
#include <ksmedia.h>

#include <algorithm>
#include <set>
#include <string>
#include <thread>

#include "CameraSettings.h"
#include "FilterTestSupport.h"
#include "ModelDescriptor.h"
#include "SamplePool.h"
#include "SimulatedBus.h"
#include "SourceTestSupport.h"

namespace {
using namespace vyx::test;
namespace bus = vyx::sim::bus;

class MediaFoundation {
public:
    MediaFoundation() { m_result = MFStartup(MF_VERSION, MFSTARTUP_NOSOCKET); }
    ~MediaFoundation() {
        if (SUCCEEDED(m_result)) MFShutdown();
    }
    HRESULT Result() const { return m_result; }

private:
    HRESULT m_result;
};

bool IsColour() {
    const auto* row = bus::FindModel(ModelName());
    return row && row->color;
}

class MediaSourceTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(m_com.Result(), S_OK);
        ASSERT_EQ(m_mf.Result(), S_OK);
        bus::UnplugAll();
        RemoveSettingsFile();
        m_camera = std::make_unique<PluggedCamera>();
        ASSERT_EQ(m_camera->Result(), 0u);
        m_camera->SetSwitch(bus::kSwitchTestPattern, 1);
        m_camera->SetSwitch(bus::kSwitchNoPacing, 1);
    }
    void TearDown() override { m_camera.reset(); }

    // The frame type `type` must carry for the pattern at the region's start.
    std::vector<BYTE> Expected(IMFMediaType* type, int x0, int y0, int* tolerance) {
        GUID subtype{};
        UINT32 width = 0, height = 0;
        type->GetGUID(MF_MT_SUBTYPE, &subtype);
        MFGetAttributeSize(type, MF_MT_FRAME_SIZE, &width, &height);
        const int w = static_cast<int>(width), h = static_cast<int>(height);
        *tolerance = 0;
        if (IsColour()) {
            const ColourPicture picture = PatternPicture(w, h, x0, y0);
            if (subtype == MFVideoFormat_RGB32) return ReferenceRgb32(picture, w, h);
            if (subtype == MFVideoFormat_YUY2) return PatternYuy2(w, h, x0, y0);  // the camera's own
            *tolerance = 2;  // the fixed-point matrix against the exact one
            return ReferenceNv12(picture, w, h);
        }
        const GreyPicture picture = PatternGrey(w, h, x0, y0);
        if (subtype == MFVideoFormat_NV12) return ReferenceGreyNv12(picture, w, h);
        if (subtype == MFVideoFormat_YUY2) return ReferenceGreyYuy2(picture, w, h);
        if (subtype == MFVideoFormat_L16) return PatternL16(w, h, x0, y0);
        return std::vector<BYTE>(picture.begin(), picture.end());  // L8
    }

    ComApartment m_com;
    MediaFoundation m_mf;
    std::unique_ptr<PluggedCamera> m_camera;
};

TEST_F(MediaSourceTest, IKsControlReadsAndWritesTheCameraAsTheDirectShowInterfacesDo) {
    ComPtr<IMFMediaSource> source;
    ASSERT_EQ(CreateSource(&source), S_OK);
    ComPtr<IKsControl> control;
    ASSERT_EQ(source->QueryInterface(IID_PPV_ARGS(&control)), S_OK);
    ComPtr<IMFGetService> service;
    ComPtr<IKsControl> viaService;
    ASSERT_EQ(source.As(&service), S_OK);
    EXPECT_EQ(service->GetService(GUID_NULL, IID_PPV_ARGS(&viaService)), S_OK);
    EXPECT_EQ(service->GetService(MFMediaType_Video, IID_PPV_ARGS(&viaService)), MF_E_UNSUPPORTED_SERVICE);

    // Gain: clamped into the camera's range, manual, read back; the range the camera's.
    long min = 0, max = 0, step = 0, value = 0;
    ULONG flags = 0, caps = 0;
    ASSERT_EQ(KsRange(control.Get(), PROPSETID_VIDCAP_VIDEOPROCAMP, KSPROPERTY_VIDEOPROCAMP_GAIN, &min, &max, &step), S_OK);
    EXPECT_LT(min, max);
    EXPECT_EQ(step, 1);
    const long gain = (min + max) / 2;
    EXPECT_EQ(KsSet(control.Get(), PROPSETID_VIDCAP_VIDEOPROCAMP, KSPROPERTY_VIDEOPROCAMP_GAIN, gain,
                    KSPROPERTY_VIDEOPROCAMP_FLAGS_MANUAL), S_OK);
    ASSERT_EQ(KsGet(control.Get(), PROPSETID_VIDCAP_VIDEOPROCAMP, KSPROPERTY_VIDEOPROCAMP_GAIN, &value, &flags, &caps), S_OK);
    EXPECT_EQ(value, gain);
    EXPECT_EQ(flags, ULONG{KSPROPERTY_VIDEOPROCAMP_FLAGS_MANUAL});
    EXPECT_EQ(caps, ULONG{KSPROPERTY_VIDEOPROCAMP_FLAGS_AUTO | KSPROPERTY_VIDEOPROCAMP_FLAGS_MANUAL});
    EXPECT_EQ(KsSet(control.Get(), PROPSETID_VIDCAP_VIDEOPROCAMP, KSPROPERTY_VIDEOPROCAMP_GAIN, max + 1000,
                    KSPROPERTY_VIDEOPROCAMP_FLAGS_MANUAL), S_OK);
    KsGet(control.Get(), PROPSETID_VIDCAP_VIDEOPROCAMP, KSPROPERTY_VIDEOPROCAMP_GAIN, &value, &flags);
    EXPECT_EQ(value, max);
    const long gainMax = max;

    // Exposure in log2 seconds: -10 is 976 us, read back as -10; the range is -17..11.
    ASSERT_EQ(KsRange(control.Get(), PROPSETID_VIDCAP_CAMERACONTROL, KSPROPERTY_CAMERACONTROL_EXPOSURE, &min, &max, &step), S_OK);
    EXPECT_EQ(min, -17);
    EXPECT_EQ(max, 11);
    long defaultExposure = 0;
    EXPECT_EQ(KsDefault(control.Get(), PROPSETID_VIDCAP_CAMERACONTROL, KSPROPERTY_CAMERACONTROL_EXPOSURE, &defaultExposure), S_OK);
    EXPECT_EQ(KsSet(control.Get(), PROPSETID_VIDCAP_CAMERACONTROL, KSPROPERTY_CAMERACONTROL_EXPOSURE, -10,
                    KSPROPERTY_CAMERACONTROL_FLAGS_MANUAL), S_OK);
    KsGet(control.Get(), PROPSETID_VIDCAP_CAMERACONTROL, KSPROPERTY_CAMERACONTROL_EXPOSURE, &value, &flags);
    EXPECT_EQ(value, -10);

    // What the mapping does not offer, and what no driver answers.
    EXPECT_EQ(KsGet(control.Get(), PROPSETID_VIDCAP_VIDEOPROCAMP, KSPROPERTY_VIDEOPROCAMP_CONTRAST, &value, &flags),
              E_PROP_ID_UNSUPPORTED);
    EXPECT_EQ(KsGet(control.Get(), PROPSETID_VIDCAP_CAMERACONTROL, KSPROPERTY_CAMERACONTROL_ROLL, &value, &flags),
              E_PROP_ID_UNSUPPORTED);  // a guide pulse: set only
    EXPECT_EQ(KsGet(control.Get(), PROPSETID_VIDCAP_VIDEOPROCAMP, 0xFFFF, &value, &flags), E_PROP_ID_UNSUPPORTED);
    EXPECT_EQ(KsGet(control.Get(), MFMediaType_Video, 0, &value, &flags), HRESULT_FROM_WIN32(ERROR_SET_NOT_FOUND));
    KSPROPERTY_VIDEOPROCAMP_S data{};
    data.Property.Set = PROPSETID_VIDCAP_VIDEOPROCAMP;
    data.Property.Id = KSPROPERTY_VIDEOPROCAMP_GAIN;
    data.Property.Flags = KSPROPERTY_TYPE_GET;
    ULONG returned = 0;
    EXPECT_EQ(control->KsProperty(&data.Property, sizeof data, nullptr, 0, &returned), HRESULT_FROM_WIN32(ERROR_MORE_DATA));
    EXPECT_EQ(returned, sizeof data);
    EXPECT_EQ(control->KsProperty(&data.Property, sizeof data, &data, sizeof data - 1, &returned),
              HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(control->KsProperty(&data.Property, sizeof(KSPROPERTY) - 1, &data, sizeof data, &returned), E_INVALIDARG);
    EXPECT_EQ(control->KsProperty(nullptr, sizeof data, &data, sizeof data, &returned), E_POINTER);
    data.Property.Flags = KSPROPERTY_TYPE_GET | KSPROPERTY_TYPE_SET;
    EXPECT_EQ(control->KsProperty(&data.Property, sizeof data, &data, sizeof data, &returned), E_INVALIDARG);
    EXPECT_EQ(control->KsMethod(nullptr, 0, nullptr, 0, &returned), HRESULT_FROM_WIN32(ERROR_SET_NOT_FOUND));

    // The camera really holds them: the settings file written when the source lets go of it.
    ASSERT_EQ(source->Shutdown(), S_OK);
    EXPECT_EQ(KsGet(control.Get(), PROPSETID_VIDCAP_VIDEOPROCAMP, KSPROPERTY_VIDEOPROCAMP_GAIN, &value, &flags), MF_E_SHUTDOWN);
    const std::wstring path = vyx::DetermineSettingsPath();
    const std::wstring section = ModelName();
    wchar_t text[64] = {};
    GetPrivateProfileStringW(section.c_str(), L"Gain", L"", text, 64, path.c_str());
    EXPECT_EQ(std::wstring(text), std::to_wstring(gainMax));
    GetPrivateProfileStringW(section.c_str(), L"Exp(ms)", L"", text, 64, path.c_str());
    EXPECT_EQ(std::wstring(text), L"0.976000");
}

// Starts the source on its own presentation descriptor, as the reader does the first time.
HRESULT StartSource(IMFMediaSource* source, VARTYPE positionType = VT_I8) {
    ComPtr<IMFPresentationDescriptor> presentation;
    HRESULT hr = source->CreatePresentationDescriptor(&presentation);
    if (FAILED(hr)) return hr;
    PROPVARIANT position;
    PropVariantInit(&position);
    position.vt = positionType;
    return source->Start(presentation.Get(), &GUID_NULL, &position);
}

ComPtr<IMFMediaStream> StreamOf(IMFMediaEvent* newStream) {
    PROPVARIANT value;
    PropVariantInit(&value);
    ComPtr<IMFMediaStream> stream;
    if (SUCCEEDED(newStream->GetValue(&value)) && value.vt == VT_UNKNOWN && value.punkVal)
        value.punkVal->QueryInterface(IID_PPV_ARGS(&stream));
    PropVariantClear(&value);
    return stream;
}

// Asks for one sample carrying `token` and returns the sample that comes.
ComPtr<IMFSample> RequestOne(IMFMediaStream* stream, IUnknown* token = nullptr) {
    if (FAILED(stream->RequestSample(token))) return nullptr;
    ComPtr<IMFMediaEvent> event = WaitForEvent(stream, MEMediaSample);
    if (!event) return nullptr;
    PROPVARIANT value;
    PropVariantInit(&value);
    ComPtr<IMFSample> sample;
    if (SUCCEEDED(event->GetValue(&value)) && value.vt == VT_UNKNOWN) value.punkVal->QueryInterface(IID_PPV_ARGS(&sample));
    PropVariantClear(&value);
    return sample;
}

// Every type in turn on one source, stopped and started again as an application switching
// formats does; the first of each subtype also through the platform's source reader on a
// source of its own, as applications read it.
TEST_F(MediaSourceTest, EveryTypeDeliversWholePatternFramesWithIncreasingTimes) {
    ComPtr<IMFMediaSource> source;
    ASSERT_EQ(CreateSource(&source), S_OK);
    const DWORD types = TypeCount(source.Get());
    ASSERT_GE(types, 4u);
    ComPtr<IMFMediaStream> stream;
    std::vector<GUID> readerChecked;
    for (DWORD index = 0; index < types; ++index) {
        ComPtr<IMFMediaType> type;
        ASSERT_EQ(SelectType(source.Get(), index, &type), S_OK) << index;
        ASSERT_EQ(StartSource(source.Get()), S_OK) << index;
        if (!stream) stream = StreamOf(WaitForEvent(source.Get(), MENewStream).Get());
        ASSERT_TRUE(stream);
        ComPtr<IMFSample> first = RequestOne(stream.Get());
        ComPtr<IMFSample> second = RequestOne(stream.Get());
        ASSERT_TRUE(first && second) << index;

        int x0 = 0, y0 = 0, tolerance = 0;
        RegionStart(source.Get(), &x0, &y0);
        const std::vector<BYTE> expected = Expected(type.Get(), x0, y0, &tolerance);
        EXPECT_EQ(expected.size(), MFGetAttributeUINT32(type.Get(), MF_MT_SAMPLE_SIZE, 0)) << index;
        const int difference = LargestDifference(SampleBytes(first.Get()), expected);
        EXPECT_TRUE(difference >= 0 && difference <= tolerance) << "type " << index << ": " << difference;
        EXPECT_EQ(SampleBytes(second.Get()).size(), expected.size()) << index;
        LONGLONG firstTime = 0, secondTime = 0;
        first->GetSampleTime(&firstTime);
        second->GetSampleTime(&secondTime);
        EXPECT_LT(firstTime, secondTime) << index;
        ASSERT_EQ(source->Stop(), S_OK);

        GUID subtype{};
        type->GetGUID(MF_MT_SUBTYPE, &subtype);
        if (std::find(readerChecked.begin(), readerChecked.end(), subtype) != readerChecked.end()) continue;
        readerChecked.push_back(subtype);
        ASSERT_EQ(source->Shutdown(), S_OK);
        ComPtr<IMFMediaSource> readSource;
        ComPtr<IMFSourceReader> reader;
        ASSERT_EQ(CreateSource(&readSource), S_OK) << index;
        ASSERT_EQ(SelectType(readSource.Get(), index, &type), S_OK) << index;
        ASSERT_EQ(CreateReader(readSource.Get(), &reader), S_OK) << index;
        std::vector<Frame> frames;
        ASSERT_EQ(ReadFrames(reader.Get(), 2, &frames), S_OK) << index;
        const int readDifference = LargestDifference(frames[0].bytes, expected);
        EXPECT_TRUE(readDifference >= 0 && readDifference <= tolerance) << "reader, type " << index << ": " << readDifference;
        EXPECT_EQ(frames[1].bytes.size(), expected.size()) << index;
        EXPECT_LT(frames[0].time, frames[1].time) << index;
        reader.Reset();
        readSource->Shutdown();
        readSource.Reset();
        ASSERT_EQ(CreateSource(&source), S_OK);
        stream.Reset();
    }
}

TEST_F(MediaSourceTest, LiveSourceStartsPausesStopsAndRestartsButNeverSeeks) {
    ComPtr<IMFMediaSource> source;
    ASSERT_EQ(CreateSource(&source), S_OK);
    DWORD characteristics = 0;
    EXPECT_EQ(source->GetCharacteristics(&characteristics), S_OK);
    EXPECT_EQ(characteristics, DWORD{MFMEDIASOURCE_IS_LIVE});
    EXPECT_EQ(source->Pause(), MF_E_INVALID_STATE_TRANSITION);
    ComPtr<IMFPresentationDescriptor> presentation;
    ASSERT_EQ(source->CreatePresentationDescriptor(&presentation), S_OK);
    PROPVARIANT position;
    PropVariantInit(&position);
    EXPECT_EQ(source->Start(presentation.Get(), &MFMediaType_Video, &position), MF_E_UNSUPPORTED_TIME_FORMAT);
    EXPECT_EQ(source->Start(nullptr, &GUID_NULL, &position), E_INVALIDARG);

    ASSERT_EQ(StartSource(source.Get()), S_OK);
    ComPtr<IMFMediaEvent> announced = NextEvent(source.Get());
    ASSERT_EQ(TypeOf(announced.Get()), MENewStream);
    EXPECT_EQ(TypeOf(NextEvent(source.Get()).Get()), MESourceStarted);
    ComPtr<IMFMediaStream> stream = StreamOf(announced.Get());
    ASSERT_TRUE(stream);
    EXPECT_EQ(TypeOf(NextEvent(stream.Get()).Get()), MEStreamStarted);
    ComPtr<IUnknown> token;
    ASSERT_EQ(MFCreateAttributes(reinterpret_cast<IMFAttributes**>(token.GetAddressOf()), 0), S_OK);
    ComPtr<IMFSample> first = RequestOne(stream.Get(), token.Get());
    ASSERT_TRUE(first);
    ComPtr<IUnknown> carried;
    EXPECT_EQ(first->GetUnknown(MFSampleExtension_Token, IID_PPV_ARGS(&carried)), S_OK);
    EXPECT_EQ(carried.Get(), token.Get());

    // A seek is refused; pause and resume keep the stream and its times going forward.
    EXPECT_EQ(StartSource(source.Get(), VT_I8), MF_E_INVALIDREQUEST);
    ASSERT_EQ(source->Pause(), S_OK);
    EXPECT_EQ(TypeOf(NextEvent(source.Get()).Get()), MESourcePaused);
    EXPECT_EQ(TypeOf(NextEvent(stream.Get()).Get()), MEStreamPaused);
    ASSERT_EQ(StartSource(source.Get(), VT_EMPTY), S_OK);
    EXPECT_EQ(TypeOf(NextEvent(source.Get()).Get()), MEUpdatedStream);
    EXPECT_EQ(TypeOf(NextEvent(source.Get()).Get()), MESourceStarted);
    ComPtr<IMFSample> resumed = RequestOne(stream.Get());
    ASSERT_TRUE(resumed);
    LONGLONG firstTime = 0, resumedTime = 0;
    first->GetSampleTime(&firstTime);
    resumed->GetSampleTime(&resumedTime);
    EXPECT_LT(firstTime, resumedTime);

    // Stopped, it refuses requests; started again, it delivers again.
    ASSERT_EQ(source->Stop(), S_OK);
    EXPECT_TRUE(WaitForEvent(source.Get(), MESourceStopped));
    EXPECT_TRUE(WaitForEvent(stream.Get(), MEStreamStopped));
    EXPECT_EQ(stream->RequestSample(nullptr), MF_E_MEDIA_SOURCE_WRONGSTATE);
    ASSERT_EQ(StartSource(source.Get()), S_OK);
    EXPECT_TRUE(RequestOne(stream.Get()));

    ASSERT_EQ(source->Shutdown(), S_OK);
    EXPECT_EQ(source->Shutdown(), MF_E_SHUTDOWN);
    EXPECT_EQ(StartSource(source.Get()), MF_E_SHUTDOWN);
    EXPECT_EQ(source->GetCharacteristics(&characteristics), MF_E_SHUTDOWN);
    EXPECT_EQ(stream->RequestSample(nullptr), MF_E_SHUTDOWN);
    ComPtr<IMFMediaSource> owner;
    EXPECT_EQ(stream->GetMediaSource(&owner), MF_E_SHUTDOWN);
    ComPtr<IMFMediaEvent> event;
    EXPECT_EQ(source->GetEvent(MF_EVENT_FLAG_NO_WAIT, &event), MF_E_SHUTDOWN);
}

// A sample the application let go of comes back with its buffer: holding the buffers while
// the samples go back shows them used again, where a sample made per frame could not reuse
// an address still held. A reused sample carries nothing of its last use.
TEST_F(MediaSourceTest, SamplesComeFromAPoolAndCarryNothingOfTheirLastUse) {
    ComPtr<IMFMediaSource> source;
    ASSERT_EQ(CreateSource(&source), S_OK);
    ASSERT_EQ(StartSource(source.Get()), S_OK);
    ComPtr<IMFMediaStream> stream = StreamOf(WaitForEvent(source.Get(), MENewStream).Get());
    ASSERT_TRUE(stream);
    ComPtr<IUnknown> token;
    ASSERT_EQ(MFCreateAttributes(reinterpret_cast<IMFAttributes**>(token.GetAddressOf()), 0), S_OK);
    std::set<IMFMediaBuffer*> buffers;
    std::vector<ComPtr<IMFMediaBuffer>> held;
    constexpr int kFrames = 3 * static_cast<int>(vyx::mf::SamplePool::kMaxSamples);
    for (int frame = 0; frame < kFrames; ++frame) {
        const bool tokened = frame % 2 == 0;
        ComPtr<IMFSample> sample = RequestOne(stream.Get(), tokened ? token.Get() : nullptr);
        ASSERT_TRUE(sample) << "frame " << frame;
        ComPtr<IUnknown> carried;
        EXPECT_EQ(SUCCEEDED(sample->GetUnknown(MFSampleExtension_Token, IID_PPV_ARGS(&carried))), tokened);
        ComPtr<IMFMediaBuffer> buffer;
        ASSERT_EQ(sample->GetBufferByIndex(0, &buffer), S_OK);
        if (buffers.insert(buffer.Get()).second) held.push_back(buffer);
    }
    EXPECT_LE(buffers.size(), vyx::mf::SamplePool::kMaxSamples);
    EXPECT_EQ(source->Shutdown(), S_OK);
}

TEST_F(MediaSourceTest, ShutdownDuringTheCamerasStartReleasesTheCamera) {
    m_camera->SetSwitch(bus::kSwitchHoldStart, 1);
    vyx::win::UniqueHandle held(CreateEventW(nullptr, FALSE, FALSE, bus::kStartHeldEvent));
    vyx::win::UniqueHandle release(CreateEventW(nullptr, FALSE, FALSE, bus::kStartReleaseEvent));
    ComPtr<IMFMediaSource> source;
    ASSERT_EQ(CreateSource(&source), S_OK);
    ASSERT_EQ(StartSource(source.Get()), S_OK);
    ComPtr<IMFMediaStream> stream = StreamOf(WaitForEvent(source.Get(), MENewStream).Get());
    ASSERT_TRUE(stream);
    ASSERT_EQ(stream->RequestSample(nullptr), S_OK);
    // The pump is inside the camera's start, held by the simulator, when Shutdown comes.
    ASSERT_EQ(WaitForSingleObject(held.Get(), 10000), WAIT_OBJECT_0);
    HRESULT shutdown = E_PENDING;
    std::thread closer([&] { shutdown = source->Shutdown(); });
    SetEvent(release.Get());
    closer.join();
    EXPECT_EQ(shutdown, S_OK);
    m_camera->SetSwitch(bus::kSwitchHoldStart, 0);

    // The camera is free again: a new source opens and streams it.
    ComPtr<IMFMediaSource> next;
    ASSERT_EQ(CreateSource(&next), S_OK);
    ComPtr<IMFSourceReader> reader;
    ASSERT_EQ(CreateReader(next.Get(), &reader), S_OK);
    std::vector<Frame> frames;
    EXPECT_EQ(ReadFrames(reader.Get(), 1, &frames), S_OK);
}

TEST_F(MediaSourceTest, UnplugWhileStreamingSendsTheDeviceLostError) {
    ComPtr<IMFMediaSource> source;
    ASSERT_EQ(CreateSource(&source), S_OK);
    ASSERT_EQ(StartSource(source.Get()), S_OK);
    ComPtr<IMFMediaStream> stream = StreamOf(WaitForEvent(source.Get(), MENewStream).Get());
    ASSERT_TRUE(stream);
    ASSERT_TRUE(RequestOne(stream.Get()));

    m_camera.reset();  // unplugged
    ASSERT_EQ(stream->RequestSample(nullptr), S_OK);
    ComPtr<IMFMediaEvent> error = WaitForEvent(stream.Get(), MEError);
    ASSERT_TRUE(error);
    EXPECT_EQ(StatusOf(error.Get()), MF_E_VIDEO_RECORDING_DEVICE_INVALIDATED);
    EXPECT_EQ(TypeOf(NextEvent(stream.Get()).Get()), MEEndOfStream);
    EXPECT_TRUE(WaitForEvent(source.Get(), MEVideoCaptureDeviceRemoved));
    EXPECT_EQ(stream->RequestSample(nullptr), MF_E_VIDEO_RECORDING_DEVICE_INVALIDATED);
    EXPECT_EQ(source->Stop(), S_OK);
    EXPECT_EQ(StartSource(source.Get()), MF_E_VIDEO_RECORDING_DEVICE_INVALIDATED);
    EXPECT_EQ(source->Shutdown(), S_OK);
}

TEST_F(MediaSourceTest, UnplugWhileTheReaderReadsEndsItsReadsInsteadOfHanging) {
    ComPtr<IMFMediaSource> source;
    ComPtr<IMFSourceReader> reader;
    ASSERT_EQ(CreateSource(&source), S_OK);
    ASSERT_EQ(CreateReader(source.Get(), &reader), S_OK);
    std::vector<Frame> frames;
    ASSERT_EQ(ReadFrames(reader.Get(), 1, &frames), S_OK);
    m_camera.reset();
    DWORD flags = 0;
    for (int read = 0; read < 50 && SUCCEEDED(ReadFrames(reader.Get(), 1, &frames, &flags)); ++read) {
    }
    EXPECT_NE(flags & (MF_SOURCE_READERF_ERROR | MF_SOURCE_READERF_ENDOFSTREAM), 0u);
}

TEST_F(MediaSourceTest, ACameraHeldElsewhereOrMissingIsAClearError) {
    ComPtr<IMFMediaSource> first, second;
    ASSERT_EQ(CreateSource(&first), S_OK);
    EXPECT_EQ(CreateSource(&second), MF_E_VIDEO_DEVICE_LOCKED);
    ASSERT_EQ(first->Shutdown(), S_OK);
    EXPECT_EQ(CreateSource(&second), S_OK);
    second->Shutdown();
    m_camera.reset();
    EXPECT_EQ(CreateSource(&second), MF_E_NO_CAPTURE_DEVICES_AVAILABLE);
}

}  // namespace
