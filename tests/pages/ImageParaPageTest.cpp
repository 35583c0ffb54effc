// The Image Parameters page on the pin: the lists it shows, the formats a camera allows,
// and what Apply does to the camera, the connection and the frames of the next run.
#include <gtest/gtest.h>

#include <vector>

#include "PageResources.h"
#include "PageTestSupport.h"
#include "SampleGrabber.h"
#include "SimulatedBus.h"
#include "TestPattern.h"

using namespace vyx::pages::test;

namespace {
// A stopped graph: the filter's pin into a sample grabber that keeps the last frame.
struct GrabGraph : ISampleGrabberCB {
    ComPtr<IGraphBuilder> graph;
    ComPtr<IMediaControl> control;
    ComPtr<IBaseFilter> grabber;
    std::vector<BYTE> frame;
    long frames = 0;

    HRESULT Build(IBaseFilter* filter, IPin* pin) {
        HRESULT hr = CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&graph));
        if (FAILED(hr)) return hr;
        graph.As(&control);
        hr = CoCreateInstance(CLSID_SampleGrabber, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&grabber));
        if (FAILED(hr)) return hr;
        graph->AddFilter(filter, L"Camera");
        graph->AddFilter(grabber.Get(), L"Grabber");
        ComPtr<ISampleGrabber> sampler;
        grabber.As(&sampler);
        sampler->SetCallback(this, 1);
        ComPtr<IEnumPins> pins;
        grabber->EnumPins(&pins);
        ComPtr<IPin> input;
        pins->Next(1, &input, nullptr);
        return graph->ConnectDirect(pin, input.Get(), nullptr);
    }
    // Runs until `count` frames arrived; the last one stays in `frame`.
    bool Run(long count) {
        frames = 0;
        if (FAILED(control->Run())) return false;
        for (int i = 0; i < 400 && InterlockedCompareExchange(&frames, 0, 0) < count; ++i) Sleep(10);
        control->Stop();
        return frames >= count;
    }
    STDMETHODIMP QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP SampleCB(double, IMediaSample*) override { return S_OK; }
    STDMETHODIMP BufferCB(double, BYTE* buffer, long length) override {
        frame.assign(buffer, buffer + length);
        InterlockedIncrement(&frames);
        return S_OK;
    }
};

VIDEOINFOHEADER ConnectedInfo(IPin* pin) {
    AM_MEDIA_TYPE type{};
    VIDEOINFOHEADER info{};
    if (pin->ConnectionMediaType(&type) == S_OK) {
        info = *reinterpret_cast<VIDEOINFOHEADER*>(type.pbFormat);
        CoTaskMemFree(type.pbFormat);
        if (type.pUnk) type.pUnk->Release();
    }
    return info;
}
}  // namespace

TEST(ImageParaPage, ListsBinsAndSizesAtTheSelectedBinAndKeepsTheChosenSize) {
    ComApartment com;
    CameraFixture camera(ColorModel());
    auto host = camera.OpenPage(kImageParameters);
    ASSERT_TRUE(host);
    ASSERT_EQ(host->ItemCount(IDC_IP_BIN), 4);
    host->Select(IDC_IP_BIN, 0);
    EXPECT_EQ(host->ItemText(IDC_IP_BIN, 0), L"1x1");
    EXPECT_EQ(host->ItemText(IDC_IP_BIN, 3), L"4x4");
    int index = 0;
    camera.Instance()->GetImgSizeIndex(&index);
    EXPECT_EQ(host->Selection(IDC_IP_SIZE), index);
    EXPECT_EQ(host->ItemText(IDC_IP_SIZE, 0), L"4144X2822");
    const int hd = SizeIndex(*host, IDC_IP_SIZE, L"1280X720");
    ASSERT_GT(hd, 0);

    host->Select(IDC_IP_BIN, 1);
    EXPECT_EQ(host->ItemText(IDC_IP_SIZE, hd), L"640X360");
    EXPECT_EQ(host->ItemText(IDC_IP_SIZE, 0), L"2072X1410");
    EXPECT_EQ(host->Selection(IDC_IP_SIZE), index);
    host->Select(IDC_IP_BIN, 2);
    EXPECT_EQ(host->ItemText(IDC_IP_SIZE, hd), L"424X240");
    EXPECT_TRUE(host->Dirty());

    // A size chosen but not yet applied stays chosen through a change of bin.
    ASSERT_NE(hd, index);
    host->Select(IDC_IP_SIZE, hd);
    host->Select(IDC_IP_BIN, 1);
    EXPECT_EQ(host->Selection(IDC_IP_SIZE), hd);
    EXPECT_EQ(host->ItemText(IDC_IP_SIZE, hd), L"640X360");
}

TEST(ImageParaPage, SensorModesGoToTheCameraAtOnce) {
    ComApartment com;
    CameraFixture camera(ColorModel());
    auto host = camera.OpenPage(kImageParameters);
    ASSERT_TRUE(host);
    EXPECT_TRUE(host->Enabled(IDC_IP_SENSOR_MODE));
    ASSERT_EQ(host->ItemCount(IDC_IP_SENSOR_MODE), 2);
    EXPECT_EQ(host->ItemText(IDC_IP_SENSOR_MODE, 0), L"Normal");
    EXPECT_EQ(host->ItemText(IDC_IP_SENSOR_MODE, 1), L"HighGain");
    int mode = -1;
    camera.Camera()->GetSensorMode(&mode);
    EXPECT_EQ(host->Selection(IDC_IP_SENSOR_MODE), mode);
    host->Select(IDC_IP_SENSOR_MODE, 1);
    camera.Camera()->GetSensorMode(&mode);
    EXPECT_EQ(mode, 1);
}

TEST(ImageParaPage, ColourCameraShowsItsFormatCheckedWithEveryFormatEnabled) {
    ComApartment com;
    CameraFixture camera(ColorModel());
    camera.Camera()->SetImgFormat(IMG_YUY2);
    {
        auto host = camera.OpenPage(kImageParameters);
        ASSERT_TRUE(host);
        EXPECT_TRUE(host->Checked(IDC_IP_YUY2));
        EXPECT_FALSE(host->Checked(IDC_IP_RGB24));
        for (int id : {IDC_IP_RGB24, IDC_IP_YUY2, IDC_IP_GRAY8, IDC_IP_RAW8, IDC_IP_RAW16}) EXPECT_TRUE(host->Enabled(id));
    }
    // The simulated camera refuses values outside 0..4; a colour camera in 8-bit mono
    // shows GRAY8, which is the last value the page maps.
    camera.Camera()->SetImgFormat(IMG_Y8);
    auto host = camera.OpenPage(kImageParameters);
    EXPECT_TRUE(host->Checked(IDC_IP_GRAY8));
}

// A colour camera in a format the page does not know is set to RGB24 through the pin,
// which records it and then offers that one configuration until streaming next stops.
TEST(ImageParaPage, AnUnknownColourFormatIsSetThroughThePin) {
    ComApartment com;
    CameraFixture camera(ColorModel());
    ASSERT_EQ(vyx::sim::bus::SetSwitch(camera.InstanceId(), vyx::sim::bus::kSwitchReportImgFormat, 8),
              static_cast<DWORD>(ERROR_SUCCESS));  // reports format 7
    auto host = camera.OpenPage(kImageParameters);
    ASSERT_TRUE(host);
    EXPECT_TRUE(host->Checked(IDC_IP_RGB24));
    ComPtr<IEnumMediaTypes> types;
    ASSERT_EQ(camera.Pin()->EnumMediaTypes(&types), S_OK);
    std::vector<GUID> subtypes;
    AM_MEDIA_TYPE* type = nullptr;
    while (types->Next(1, &type, nullptr) == S_OK) {
        subtypes.push_back(type->subtype);
        CoTaskMemFree(type->pbFormat);
        if (type->pUnk) type->pUnk->Release();
        CoTaskMemFree(type);
    }
    ASSERT_EQ(subtypes.size(), 1u);
    EXPECT_EQ(subtypes[0], MEDIASUBTYPE_RGB24);
}

TEST(ImageParaPage, MonochromeCameraOffersOnlyRawFormatsAndNoSensorModes) {
    ComApartment com;
    CameraFixture camera(MonoModel());
    camera.Camera()->SetImgFormat(IMG_RAW16);
    auto host = camera.OpenPage(kImageParameters);
    ASSERT_TRUE(host);
    EXPECT_TRUE(host->Checked(IDC_IP_RAW16));
    EXPECT_FALSE(host->Checked(IDC_IP_RAW8));
    for (int id : {IDC_IP_RGB24, IDC_IP_YUY2, IDC_IP_GRAY8, IDC_IP_COLOR_LABEL}) EXPECT_FALSE(host->Enabled(id)) << id;
    for (int id : {IDC_IP_RAW8, IDC_IP_RAW16, IDC_IP_GREY_LABEL}) EXPECT_TRUE(host->Enabled(id)) << id;
    EXPECT_FALSE(host->Enabled(IDC_IP_SENSOR_MODE));
    EXPECT_FALSE(host->Enabled(IDC_IP_SENSOR_MODE_LABEL));
    EXPECT_EQ(host->ItemCount(IDC_IP_SENSOR_MODE), 0);

    // Apply on the unconnected pin: RAW8 reaches the camera.
    host->Click(IDC_IP_RAW8);
    EXPECT_EQ(host->Apply(), S_OK);
    ImageFormat format = IMG_RGB24;
    camera.Camera()->GetImgFormat(&format);
    EXPECT_EQ(format, IMG_RAW8);
}

TEST(ImageParaPage, ApplyWhileStoppedChangesTheConnectionAndTheNextFrames) {
    ComApartment com;
    CameraFixture camera(ColorModel());
    ASSERT_EQ(vyx::sim::bus::SetSwitch(camera.InstanceId(), vyx::sim::bus::kSwitchTestPattern, 1), static_cast<DWORD>(ERROR_SUCCESS));
    ASSERT_EQ(vyx::sim::bus::SetSwitch(camera.InstanceId(), vyx::sim::bus::kSwitchNoPacing, 1), static_cast<DWORD>(ERROR_SUCCESS));
    auto host = camera.OpenPage(kImageParameters);
    ASSERT_TRUE(host);
    host->Select(IDC_IP_BIN, 0);
    const int small = SizeIndex(*host, IDC_IP_SIZE, L"640X480");
    ASSERT_GT(small, 0);
    host->Select(IDC_IP_SIZE, small);
    host->Click(IDC_IP_GRAY8);
    ASSERT_EQ(host->Apply(), S_OK);

    GrabGraph graph;
    ASSERT_EQ(graph.Build(camera.Filter(), camera.Pin()), S_OK);
    VIDEOINFOHEADER info = ConnectedInfo(camera.Pin());
    ASSERT_EQ(info.bmiHeader.biWidth, 640);
    ASSERT_EQ(info.bmiHeader.biHeight, 480);

    // Stopped and connected: bin 2 and RGB24 at 640 x 480 give 320 x 240 RGB24.
    host->Select(IDC_IP_BIN, 1);
    host->Select(IDC_IP_SIZE, small);
    host->Click(IDC_IP_RGB24);
    ASSERT_EQ(host->Apply(), S_OK);
    info = ConnectedInfo(camera.Pin());
    EXPECT_EQ(info.bmiHeader.biWidth, 320);
    EXPECT_EQ(info.bmiHeader.biHeight, 240);
    EXPECT_EQ(info.bmiHeader.biBitCount, 24);
    ASSERT_TRUE(graph.Run(3));
    ASSERT_EQ(graph.frame.size(), 320u * 240u * 3u);
    // RGB24 rows are bottom-up: the picture's row y is stored at row H - 1 - y. The
    // pattern's start is the centred region of the binned sensor.
    int startX = 0, startY = 0;
    camera.Camera()->GetImgStartPos(&startX, &startY);
    for (int y : {0, 1, 120, 239}) {
        for (int x : {0, 1, 200, 319}) {
            const BYTE* pixel = &graph.frame[((239 - y) * 320 + x) * 3];
            const int u = startX + x, v = startY + y;
            EXPECT_EQ(pixel[2], vyx::sim::bus::pattern::Red(u, v)) << x << "," << y;
            EXPECT_EQ(pixel[1], vyx::sim::bus::pattern::Green(u, v)) << x << "," << y;
            EXPECT_EQ(pixel[0], vyx::sim::bus::pattern::Blue(u, v)) << x << "," << y;
        }
    }
}

// While the graph runs the pin refuses: Apply says so, the page stays changed, and the
// same choice applies once the graph has stopped.
TEST(ImageParaPage, ApplyWhileRunningIsRefusedAndAppliesOnceStopped) {
    ComApartment com;
    CameraFixture camera(ColorModel());
    ASSERT_EQ(vyx::sim::bus::SetSwitch(camera.InstanceId(), vyx::sim::bus::kSwitchNoPacing, 1), static_cast<DWORD>(ERROR_SUCCESS));
    auto host = camera.OpenPage(kImageParameters);
    ASSERT_TRUE(host);
    host->Select(IDC_IP_BIN, 0);
    const int small = SizeIndex(*host, IDC_IP_SIZE, L"320X240");
    host->Select(IDC_IP_SIZE, small);
    host->Click(IDC_IP_RGB24);
    ASSERT_EQ(host->Apply(), S_OK);
    EXPECT_FALSE(host->Dirty());
    GrabGraph graph;
    ASSERT_EQ(graph.Build(camera.Filter(), camera.Pin()), S_OK);
    ASSERT_TRUE(SUCCEEDED(graph.control->Run()));
    // The first frame shows the stream is running.
    for (int i = 0; i < 400 && InterlockedCompareExchange(&graph.frames, 0, 0) < 1; ++i) Sleep(10);
    ASSERT_GE(graph.frames, 1);
    host->Select(IDC_IP_SIZE, SizeIndex(*host, IDC_IP_SIZE, L"640X480"));
    host->Click(IDC_IP_RAW16);
    EXPECT_EQ(host->Apply(), VFW_E_NOT_STOPPED);
    EXPECT_TRUE(host->Dirty());
    int width = 0, height = 0;
    camera.Camera()->GetImgSize(&width, &height);
    ImageFormat format = IMG_RAW8;
    camera.Camera()->GetImgFormat(&format);
    graph.control->Stop();
    EXPECT_EQ(width, 320);
    EXPECT_EQ(height, 240);
    EXPECT_EQ(format, IMG_RGB24);
    EXPECT_EQ(ConnectedInfo(camera.Pin()).bmiHeader.biWidth, 320);

    EXPECT_EQ(host->Apply(), S_OK);
    EXPECT_FALSE(host->Dirty());
    camera.Camera()->GetImgSize(&width, &height);
    camera.Camera()->GetImgFormat(&format);
    EXPECT_EQ(width, 640);
    EXPECT_EQ(format, IMG_RAW16);
}

// A size the camera refuses: Apply reports it, and the page keeps the pin's index, not the
// refused one, when it rebuilds the size list.
TEST(ImageParaPage, ARefusedSizeIsReportedAndNotTakenAsApplied) {
    ComApartment com;
    CameraFixture camera(ColorModel());
    auto host = camera.OpenPage(kImageParameters);
    ASSERT_TRUE(host);
    int applied = -1;
    camera.Instance()->GetImgSizeIndex(&applied);
    host->Select(IDC_IP_BIN, 0);
    const int other = SizeIndex(*host, IDC_IP_SIZE, applied == 0 ? L"640X480" : L"4144X2822");
    ASSERT_GE(other, 0);
    ASSERT_NE(other, applied);
    host->Select(IDC_IP_SIZE, other);
    ASSERT_EQ(vyx::sim::bus::SetSwitch(camera.InstanceId(), vyx::sim::bus::kSwitchRefuseSetImgSize, 1),
              static_cast<DWORD>(ERROR_SUCCESS));
    EXPECT_EQ(host->Apply(), E_FAIL);
    EXPECT_TRUE(host->Dirty());
    int index = -1;
    camera.Instance()->GetImgSizeIndex(&index);
    EXPECT_EQ(index, applied);
    // The choice stays, through a change of bin too, for the next Apply.
    host->Select(IDC_IP_BIN, 1);
    EXPECT_EQ(host->Selection(IDC_IP_SIZE), other);
    ASSERT_EQ(vyx::sim::bus::SetSwitch(camera.InstanceId(), vyx::sim::bus::kSwitchRefuseSetImgSize, 0),
              static_cast<DWORD>(ERROR_SUCCESS));
    EXPECT_EQ(host->Apply(), S_OK);
    camera.Instance()->GetImgSizeIndex(&index);
    EXPECT_EQ(index, other);
}

// Focus and drop-down notifications of the combo boxes and the buttons are no change: the
// page stays clean, and OK sends nothing to the pin.
TEST(ImageParaPage, OpeningAndFocusNotificationsLeaveThePageUnchanged) {
    ComApartment com;
    CameraFixture camera(ColorModel());
    auto host = camera.OpenPage(kImageParameters);
    ASSERT_TRUE(host);
    EXPECT_FALSE(host->Dirty());
    for (int combo : {IDC_IP_SIZE, IDC_IP_BIN, IDC_IP_SENSOR_MODE})
        for (int code : {CBN_SETFOCUS, CBN_DROPDOWN, CBN_CLOSEUP, CBN_KILLFOCUS})
            SendMessageW(host->Dialog(), WM_COMMAND, MAKEWPARAM(combo, code),
                         reinterpret_cast<LPARAM>(host->Control(combo)));
    SendMessageW(host->Dialog(), WM_COMMAND, MAKEWPARAM(IDC_IP_RAW8, BN_SETFOCUS),
                 reinterpret_cast<LPARAM>(host->Control(IDC_IP_RAW8)));
    EXPECT_FALSE(host->Dirty());
    EXPECT_EQ(host->StatusChanges(), 0);
    host->Click(IDC_IP_RAW8);
    EXPECT_TRUE(host->Dirty());
}

// A mode the camera cannot describe is left out; the others keep their own indices.
TEST(ImageParaPage, SensorModesKeepTheirIndexWhenOneCannotBeDescribed) {
    ComApartment com;
    CameraFixture camera(ColorModel());
    ASSERT_EQ(vyx::sim::bus::SetSwitch(camera.InstanceId(), vyx::sim::bus::kSwitchFailSensorModeInfo, 1),
              static_cast<DWORD>(ERROR_SUCCESS));
    ASSERT_TRUE(camera.Camera()->SetSensorMode(1));
    auto host = camera.OpenPage(kImageParameters);
    ASSERT_TRUE(host);
    ASSERT_EQ(host->ItemCount(IDC_IP_SENSOR_MODE), 1);
    EXPECT_EQ(host->ItemText(IDC_IP_SENSOR_MODE, 0), L"HighGain");
    EXPECT_EQ(host->Selection(IDC_IP_SENSOR_MODE), 0);
    ASSERT_TRUE(camera.Camera()->SetSensorMode(0));
    host->Select(IDC_IP_SENSOR_MODE, 0);
    int mode = -1;
    camera.Camera()->GetSensorMode(&mode);
    EXPECT_EQ(mode, 1);
}
