// Creating the filter: camera discovery and open, the process's one filter, the starting
// state, the interface maps of filter and pin, and lifetime.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "CameraSettings.h"
#include "FilterFixture.h"
#include "FilterTestSupport.h"
#include "ModelDescriptor.h"
#include "SimulatedBus.h"

using namespace vyx::test;

namespace {
// Every suite but the first starts from the filter of a plugged camera.
using Connection = FilterFixture;
using Interfaces = FilterFixture;
using Settings = FilterFixture;
}  // namespace

TEST(Creation, FailsWithEHandleWithoutACameraOfTheModel) {
    ComApartment com;
    vyx::sim::bus::UnplugAll();
    RemoveSettingsFile();
    ComPtr<IBaseFilter> filter;
    EXPECT_EQ(CreateFilter(&filter), E_HANDLE);
    EXPECT_EQ(filter, nullptr);

    PluggedCamera other(OtherModelName());
    ASSERT_EQ(other.Result(), ERROR_SUCCESS);
    EXPECT_EQ(CreateFilter(&filter), E_HANDLE);

    // The failed creations left no process filter behind: a camera of the model now opens.
    PluggedCamera ours;
    ASSERT_EQ(ours.Result(), ERROR_SUCCESS);
    EXPECT_EQ(CreateFilter(&filter), S_OK);
    ASSERT_NE(CameraOf(filter.Get()), nullptr);
    EXPECT_TRUE(CameraOf(filter.Get())->IsOpened());
}

TEST(Creation, RefusedOpenGivesEFailAndTheNextCreationOpensAgain) {
    ComApartment com;
    vyx::sim::bus::UnplugAll();
    RemoveSettingsFile();
    PluggedCamera camera;
    camera.SetSwitch(vyx::sim::bus::kSwitchRefuseOpen, 1);
    ComPtr<IBaseFilter> filter;
    EXPECT_EQ(CreateFilter(&filter), E_FAIL);
    EXPECT_EQ(CreateFilter(&filter), E_FAIL);
    camera.SetSwitch(vyx::sim::bus::kSwitchRefuseOpen, 0);
    EXPECT_EQ(CreateFilter(&filter), S_OK);
}

TEST_F(Connection, OneFilterPerProcessWithOnePinNamedVideo) {
    ComPtr<IBaseFilter>& first = m_filter;
    ComPtr<IBaseFilter> second;
    ASSERT_EQ(CreateFilter(&second), S_OK);
    EXPECT_EQ(first.Get(), second.Get());
    VyxonCamera* opened = CameraOf(first.Get());

    ComPtr<IEnumPins> pins;
    ASSERT_EQ(first->EnumPins(&pins), S_OK);
    std::vector<ComPtr<IPin>> all;
    for (ComPtr<IPin> pin; pins->Next(1, pin.ReleaseAndGetAddressOf(), nullptr) == S_OK;) all.push_back(pin);
    ASSERT_EQ(all.size(), 1u);
    PIN_INFO info{};
    ASSERT_EQ(all[0]->QueryPinInfo(&info), S_OK);
    EXPECT_STREQ(info.achName, L"Video");
    EXPECT_EQ(info.dir, PINDIR_OUTPUT);
    EXPECT_EQ(info.pFilter, first.Get());
    info.pFilter->Release();
    CLSID clsid{};
    first->GetClassID(&clsid);
    EXPECT_TRUE(IsEqualCLSID(clsid, vyx::g_ModelDescriptor.filterClsid));

    // A pin interface keeps filter, pin and camera alive after the filter's last reference.
    ComPtr<ICameraInstance> instance;
    ASSERT_EQ(all[0]->QueryInterface(vyx::g_ModelDescriptor.cameraInstanceIid, &instance), S_OK);
    all.clear();
    pins.Reset();
    first.Reset();
    second.Reset();
    VyxonCamera* held = nullptr;
    instance->GetCamera(&held);
    EXPECT_EQ(held, opened);
    EXPECT_TRUE(held->IsOpened());
    instance.Reset();

    // After the last release a new creation connects anew.
    ComPtr<IBaseFilter> again;
    ASSERT_EQ(CreateFilter(&again), S_OK);
    ASSERT_NE(CameraOf(again.Get()), nullptr);
    EXPECT_TRUE(CameraOf(again.Get())->IsOpened());
}

TEST_F(Connection, StartingFormatOfTheCamera) {
    VyxonCamera* opened = CameraOf(m_filter.Get());
    CameraProp prop{};
    ASSERT_TRUE(opened->GetTheProp(&prop));
    ImageFormat format{};
    ASSERT_TRUE(opened->GetImgFormat(&format));
    ComPtr<IAMStreamConfig> config;
    ASSERT_EQ(m_filter.As(&config), S_OK);
    MediaTypePtr current;
    ASSERT_EQ(config->GetFormat(current.Put()), S_OK);
    EXPECT_EQ(Info(current)->AvgTimePerFrame, 333333);
    if (prop.isColorCamera) {
        EXPECT_EQ(format, IMG_RGB24);
        int r = 0, g = 0, b = 0;
        bool automatic = false;
        ASSERT_TRUE(opened->GetWhiteBalance(&r, &g, &b, &automatic));
        EXPECT_TRUE(automatic);
        EXPECT_TRUE(IsEqualGUID(current->subtype, MEDIASUBTYPE_RGB24));
    } else {
        EXPECT_EQ(format, IMG_RAW8);
        EXPECT_TRUE(IsEqualGUID(current->subtype, MEDIASUBTYPE_RGB8));
    }
}

TEST_F(Interfaces, FilterForwardsTheCameraInterfacesToItsPin) {
    ComPtr<IPin> pin = OutputPin(m_filter.Get());
    ASSERT_NE(pin, nullptr);

    const IID forwarded[] = {IID_IAMStreamConfig,   IID_IKsPropertySet,    IID_IAMDroppedFrames,
                             IID_IAMVideoProcAmp,   IID_IAMVideoControl,   IID_IAMCameraControl,
                             vyx::g_ModelDescriptor.cameraInstanceIid};
    for (const IID& iid : forwarded) {
        ComPtr<IUnknown> fromFilter, fromPin, pinBack;
        ASSERT_EQ(m_filter->QueryInterface(iid, &fromFilter), S_OK);
        ASSERT_EQ(pin->QueryInterface(iid, &fromPin), S_OK);
        EXPECT_EQ(fromFilter.Get(), fromPin.Get());
        // Back from the interface to the pin: the same object identity.
        ASSERT_EQ(fromPin->QueryInterface(IID_IPin, &pinBack), S_OK);
        EXPECT_EQ(pinBack.Get(), static_cast<IUnknown*>(pin.Get()));
    }
    ComPtr<IUnknown> none;
    EXPECT_EQ(m_filter->QueryInterface(IID_IAMVideoCompression, &none), E_NOINTERFACE);
    EXPECT_EQ(pin->QueryInterface(IID_IAMVideoCompression, &none), E_NOINTERFACE);
    EXPECT_EQ(m_filter->QueryInterface(IID_IAMStreamConfig, nullptr), E_POINTER);
    EXPECT_EQ(pin->QueryInterface(IID_IAMStreamConfig, nullptr), E_POINTER);
    ComPtr<IUnknown> otherBuild;
    const GUID anotherIid = {0x4973DBF7, 0x14F5, 0x4ECD, {0xB7, 0xDD, 0x1E, 0xE0, 0x95, 0x05, 0x24, 0x34}};
    EXPECT_EQ(m_filter->QueryInterface(anotherIid, &otherBuild), E_NOINTERFACE);
}

TEST_F(Interfaces, PageListsOfFilterAndPin) {
    ComPtr<ISpecifyPropertyPages> filterPages, pinPages;
    ASSERT_EQ(m_filter.As(&filterPages), S_OK);
    ASSERT_EQ(OutputPin(m_filter.Get()).As(&pinPages), S_OK);
    EXPECT_NE(static_cast<void*>(filterPages.Get()), static_cast<void*>(pinPages.Get()));

    const GUID* ids = vyx::g_ModelDescriptor.pageClsids;
    CAUUID pages{};
    ASSERT_EQ(filterPages->GetPages(&pages), S_OK);
    ASSERT_EQ(pages.cElems, 7u);
    // Camera Control, Auto Control, ST4 Test, Temperature, Color, Others Setting, About.
    const int order[] = {1, 2, 4, 5, 3, 7, 6};
    for (int i = 0; i < 7; ++i) EXPECT_TRUE(IsEqualGUID(pages.pElems[i], ids[order[i]])) << i;
    CoTaskMemFree(pages.pElems);

    ASSERT_EQ(pinPages->GetPages(&pages), S_OK);
    ASSERT_EQ(pages.cElems, 1u);
    EXPECT_TRUE(IsEqualGUID(pages.pElems[0], ids[0]));
    CoTaskMemFree(pages.pElems);
    EXPECT_EQ(filterPages->GetPages(nullptr), E_POINTER);
    EXPECT_EQ(pinPages->GetPages(nullptr), E_POINTER);
}

namespace {
std::string SectionOf(const std::wstring& path, const char* section) {
    std::string text(32768, '\0');
    const DWORD length = GetPrivateProfileSectionA(section, text.data(), static_cast<DWORD>(text.size()),
                                                   std::string(path.begin(), path.end()).c_str());
    text.resize(length);
    return text;
}

int KeyCount(const std::string& section) {
    int count = 0;
    for (size_t at = 0; at < section.size(); at = section.find('\0', at) + 1) ++count;
    return count;
}

int OfferedCount(vyx::CVCameraStream* stream) {
    int count = 0;
    for (CMediaType type; stream->GetMediaType(count, &type) == S_OK;) ++count;
    return count;
}
}  // namespace

TEST_F(Settings, LoadedAtCreationAndSavedAtStopAndRelease) {
    m_filter.Reset();  // the first run below is this test's own
    RemoveSettingsFile();
    const char* model = vyx::g_ModelDescriptor.displayName;
    const std::wstring path = vyx::DetermineSettingsPath();
    ASSERT_FALSE(path.empty());
    std::string narrowPath(path.begin(), path.end());
    {
        ComPtr<IBaseFilter> filter;
        ASSERT_EQ(CreateFilter(&filter), S_OK);
        // The first run made an empty file.
        WIN32_FILE_ATTRIBUTE_DATA data{};
        ASSERT_TRUE(GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data));
        EXPECT_EQ(data.nFileSizeLow, 0u);
        WritePrivateProfileStringA("Some Other Model", "Gain", "5", narrowPath.c_str());
    }
    CameraProp prop{};
    {
        ComPtr<IBaseFilter> filter;
        ASSERT_EQ(CreateFilter(&filter), S_OK);
        CameraOf(filter.Get())->GetTheProp(&prop);
    }
    EXPECT_EQ(KeyCount(SectionOf(path, model)), prop.hasHardwareBin ? 12 : 11);
    EXPECT_EQ(SectionOf(path, "Some Other Model").c_str(), std::string("Gain=5"));

    // An image format from the file locks negotiation to the configuration it set, with the
    // bin and the frame size, until streaming first stops; the stop saves the settings.
    WritePrivateProfileStringA(model, "ImageFormat", "1", narrowPath.c_str());
    WritePrivateProfileStringA(model, "Bin", "2", narrowPath.c_str());
    WritePrivateProfileStringA(model, "WidthBin1", "640", narrowPath.c_str());
    WritePrivateProfileStringA(model, "HeightBin1", "480", narrowPath.c_str());
    ComPtr<IBaseFilter> filter;
    ASSERT_EQ(CreateFilter(&filter), S_OK);
    vyx::CVCameraStream* stream = StreamOf(filter.Get());
    VyxonCamera* opened = CameraOf(filter.Get());
    int width = 0, height = 0, bin = 0;
    opened->GetImgSize(&width, &height);
    opened->GetBin(&bin);
    EXPECT_EQ(bin, 2);
    EXPECT_EQ(width, 320);
    EXPECT_EQ(height, 240);
    EXPECT_EQ(OfferedCount(stream), 1);
    CMediaType type;
    ASSERT_EQ(stream->GetMediaType(0, &type), S_OK);
    EXPECT_EQ(type.Subtype()->Data1, 0x20363159u);
    EXPECT_EQ(reinterpret_cast<VIDEOINFOHEADER*>(type.Format())->bmiHeader.biWidth, 320);

    Graph graph;
    ASSERT_EQ(MakeConnectedGraph(filter.Get(), &graph), S_OK);
    opened->GetImgSize(&width, &height);
    EXPECT_EQ(width, 320);
    ASSERT_TRUE(DeleteFileW(path.c_str()));
    ASSERT_TRUE(SUCCEEDED(graph.control->Run()));
    OAFilterState state;
    graph.control->GetState(5000, &state);
    graph.control->Stop();
    EXPECT_GT(OfferedCount(stream), 1);
    EXPECT_EQ(KeyCount(SectionOf(path, model)), prop.hasHardwareBin ? 12 : 11);
}
