// The settings file: location, keys, validation, preset names, order of application and
// trace lines, garbage in the file, and saves of several models and processes side by side.
#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>
#include <SimpleIni.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "CameraSettings.h"
#include "ResolutionLadder.h"
#include "ChildProcess.h"
#include "SettingsFileIo.h"
#include "SettingsFileLock.h"
#include "SettingsNumbers.h"
#include "TestCamera.h"
#include "Trace.h"
#include "UniqueResource.h"

namespace {

using vyx::test::TestCamera;

constexpr char kMono[] = "Kestrel 1M";      // hardware binning, no sensor modes
constexpr char kColour[] = "Kestrel 1C";    // no hardware binning
constexpr char kWithModes[] = "Kestrel 3C";  // two sensor modes
constexpr char kChildFlag[] = "--save-loop";

// A descriptor as a build of the model would have it: section name and resolution list.
class TestModel {
public:
    explicit TestModel(const char* displayName) {
        const auto& row = vyx::test::ModelRow(displayName);
        const std::int32_t count = vyx::ResolutionCount(row.sensorWidth, row.sensorHeight);
        for (std::int32_t i = 0; i < count; ++i)
            m_list.push_back(vyx::ResolutionAt(row.sensorWidth, row.sensorHeight, i));
        m_descriptor.displayName = row.displayName;
        m_descriptor.sensorWidth = row.sensorWidth;
        m_descriptor.sensorHeight = row.sensorHeight;
        m_descriptor.resolutions = m_list.data();
        m_descriptor.resolutionCount = count;
    }
    const vyx::ModelDescriptor& operator*() const { return m_descriptor; }
    std::int32_t IndexOf(std::int32_t width, std::int32_t height) const {
        for (std::size_t i = 0; i < m_list.size(); ++i)
            if (m_list[i] == vyx::Resolution{width, height}) return static_cast<std::int32_t>(i);
        return -1;
    }

private:
    std::vector<vyx::Resolution> m_list;
    vyx::ModelDescriptor m_descriptor{};
};

// Records the core's setters that the settings reach; the camera itself stays untouched.
class RecordingSetters : public vyx::ConfigurationSetters {
public:
    std::vector<std::string> calls;

    void SelectImageFormat(ImageFormat format) override { calls.push_back("SetImgFormat " + std::to_string(format)); }
    void SelectBin(int bin) override { calls.push_back("SetBin " + std::to_string(bin)); }
    void SelectResolution(int index) override { calls.push_back("SetImgSizeIndex " + std::to_string(index)); }
};

// Everything a load can change on the camera.
struct CameraValues {
    int exposure = 0, gain = 0, offset = 0, autoExpMax = 0, autoGainMax = 0, brightness = 0, bandwidth = 0;
    bool exposureAuto = false, gainAuto = false, flipHorizontal = false, flipVertical = false, hardBin = false;
    int sensorMode = -1;
    bool operator==(const CameraValues&) const = default;
};

CameraValues Read(VyxonCamera& camera) {
    CameraValues v;
    camera.GetExposure(&v.exposure, &v.exposureAuto);
    camera.GetGain(&v.gain, &v.gainAuto);
    camera.GetOffset(&v.offset);
    camera.GetAutoExpMax(&v.autoExpMax);
    camera.GetAutoGainMax(&v.autoGainMax);
    camera.GetTargetBrightness(&v.brightness);
    camera.GetUsbBandwidthLimit(&v.bandwidth);
    camera.GetImgFlip(&v.flipHorizontal, &v.flipVertical);
    camera.GetHardBinEnable(&v.hardBin);
    camera.GetSensorMode(&v.sensorMode);
    return v;
}

void WriteBytes(const std::wstring& path, const std::string& bytes) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE) << GetLastError();
    DWORD written = 0;
    EXPECT_TRUE(WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr));
    CloseHandle(file);
}

std::string ReadBytes(const std::wstring& path) {
    std::string bytes;
    EXPECT_EQ(vyx::ReadSettingsFile(path, bytes), vyx::FileRead::Ok);
    return bytes;
}

// The file as SimpleIni reads it back.
struct Ini {
    explicit Ini(const std::wstring& path) { loaded = document.LoadFile(path.c_str()) == SI_OK; }
    std::string Value(const char* section, const char* key) const {
        const char* value = document.GetValue(section, key, "");
        return value ? value : "";
    }
    std::set<std::string> Keys(const char* section) const {
        CSimpleIniA::TNamesDepend keys;
        document.GetAllKeys(section, keys);
        std::set<std::string> names;
        for (const auto& key : keys) names.insert(key.pItem);
        return names;
    }
    CSimpleIniA document{false};
    bool loaded = false;
};

std::wstring Widen(const std::string& text) { return std::wstring(text.begin(), text.end()); }

class SettingsFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        wchar_t temp[MAX_PATH] = {};
        ASSERT_NE(GetTempPathW(MAX_PATH, temp), 0u);
        static int s_counter = 0;
        m_data = std::wstring(temp) + L"vyx_settings_" + std::to_wstring(GetCurrentProcessId()) + L"_" +
                 std::to_wstring(++s_counter);
        ASSERT_TRUE(CreateDirectoryW(m_data.c_str(), nullptr)) << GetLastError();
        m_path = vyx::PrepareSettingsPath(m_data);
        ASSERT_FALSE(m_path.empty());
    }
    void TearDown() override {
        SetFileAttributesW(m_path.c_str(), FILE_ATTRIBUTE_NORMAL);
        std::error_code ignored;
        std::filesystem::remove_all(std::filesystem::path(m_data), ignored);
    }

    // Writes a section of `model` holding exactly `lines`, plus another model's section.
    void WriteSection(const char* model, const std::string& lines) {
        WriteBytes(m_path, std::string("[Other Model]\r\nKeep=1\r\n[") + model + "]\r\n" + lines);
    }

    void Load(TestCamera& camera, const TestModel& model, RecordingSetters& setters,
              const std::int32_t (&presets)[8]) {
        vyx::LoadSettings(m_path, *model, *camera, presets, setters);
    }
    void Load(TestCamera& camera, const TestModel& model, RecordingSetters& setters) {
        std::int32_t presets[8] = {};
        camera->GetGainsAndOffsets(&presets[0], &presets[1], &presets[2], &presets[3], &presets[4], &presets[5],
                                   &presets[6], &presets[7]);
        Load(camera, model, setters, presets);
    }

    // Files the save left beside the settings file, other than the file itself.
    std::vector<std::wstring> LeftoverFiles() const {
        std::vector<std::wstring> names;
        for (const auto& entry : std::filesystem::directory_iterator(std::filesystem::path(m_path).parent_path()))
            if (entry.path().filename() != L"CamSettings.ini") names.push_back(entry.path().filename().wstring());
        return names;
    }

    std::wstring m_data;
    std::wstring m_path;
};

TEST(SettingsNumbers, ConvertLikeStoiAndStod) {
    struct IntCase {
        const char* text;
        vyx::Conversion conversion;
        std::int32_t value;
    };
    using Parse = vyx::Conversion (*)(const std::string&, std::int32_t&);
    const auto expect = [](Parse parse, std::initializer_list<IntCase> cases) {
        for (const IntCase& c : cases) {
            std::int32_t value = 0;
            EXPECT_EQ(parse(c.text, value), c.conversion) << c.text;
            if (c.conversion == vyx::Conversion::Ok) {
                EXPECT_EQ(value, c.value) << c.text;
            }
        }
    };
    expect(vyx::ParseSettingsInt, {
        {"12", vyx::Conversion::Ok, 12},           {"12ab", vyx::Conversion::Ok, 12},
        {"  -7", vyx::Conversion::Ok, -7},         {"+5", vyx::Conversion::Ok, 5},
        {"0x10", vyx::Conversion::Ok, 0},          {"2147483647", vyx::Conversion::Ok, 2147483647},
        {"-2147483648", vyx::Conversion::Ok, INT32_MIN},
        {"2147483648", vyx::Conversion::OutOfRange, 0}, {"-2147483649", vyx::Conversion::OutOfRange, 0},
        {"99999999999999999999999", vyx::Conversion::OutOfRange, 0},
        {"", vyx::Conversion::NotANumber, 0},      {"abc", vyx::Conversion::NotANumber, 0},
        {"-", vyx::Conversion::NotANumber, 0},     {"UnityGain", vyx::Conversion::NotANumber, 0},
    });
    // Exposures: milliseconds to the nearest microsecond, within int's range.
    expect(vyx::ParseSettingsMilliseconds, {
        {"1.001000", vyx::Conversion::Ok, 1001},     {"10.000000", vyx::Conversion::Ok, 10000},
        {"0.0004", vyx::Conversion::Ok, 0},          {"0.0005", vyx::Conversion::Ok, 1},
        {"-0.0006", vyx::Conversion::Ok, -1},        {"2147483.647", vyx::Conversion::Ok, INT32_MAX},
        {"2147483.648", vyx::Conversion::OutOfRange, 0}, {"-2147483.649", vyx::Conversion::OutOfRange, 0},
        {"nan", vyx::Conversion::OutOfRange, 0},     {"inf", vyx::Conversion::OutOfRange, 0},
        {"1e999", vyx::Conversion::OutOfRange, 0},   {"ms", vyx::Conversion::NotANumber, 0},
    });
    double value = 0.0;
    EXPECT_EQ(vyx::ParseSettingsDouble(" 10.5ms", value), vyx::Conversion::Ok);
    EXPECT_EQ(value, 10.5);
    EXPECT_EQ(vyx::ParseSettingsDouble("1e999", value), vyx::Conversion::OutOfRange);
    EXPECT_EQ(vyx::ParseSettingsDouble("ms", value), vyx::Conversion::NotANumber);
}

TEST(SettingsFileLock, ExcludesOtherHoldersUntilReleased) {
    HANDLE taken = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::thread holder([&] {
        SettingsFileLock lock;
        EXPECT_TRUE(lock.IsHeld());
        SetEvent(taken);
        WaitForSingleObject(release, INFINITE);
    });
    WaitForSingleObject(taken, INFINITE);
    EXPECT_FALSE(SettingsFileLock(0).IsHeld());
    SetEvent(release);
    holder.join();
    EXPECT_TRUE(SettingsFileLock(0).IsHeld());
    CloseHandle(taken);
    CloseHandle(release);
}

// The trace lines written while it lives, each as "label: line".
class TraceLines {
public:
    TraceLines() { vyx::SetTraceSink(&TraceLines::Add, this); }
    ~TraceLines() { vyx::SetTraceSink(nullptr, nullptr); }
    std::vector<std::string> lines;

private:
    static void Add(void* context, const char* label, const char* line) {
        static_cast<TraceLines*>(context)->lines.push_back(std::string(label) + ": " + line);
    }
};

// A holder that never lets go (a hung process) costs a load or a save one trace line; the
// load applies nothing and the save writes nothing.
TEST_F(SettingsFileTest, ABusyFileIsNeitherAppliedNorWrittenWithOneTraceLineEach) {
    TestCamera camera(kMono);
    ASSERT_TRUE(camera.IsOpen());
    const TestModel model(kMono);
    ASSERT_TRUE(camera->SetGain(20, false));
    WriteSection(kMono, "Gain=12\r\nBin=2\r\n");
    const std::string file = ReadBytes(m_path);
    const CameraValues before = Read(*camera);
    std::int32_t presets[8] = {};
    RecordingSetters setters;

    vyx::win::UniqueHandle taken(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    vyx::win::UniqueHandle release(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    std::thread holder([&] {
        SettingsFileLock lock;
        EXPECT_TRUE(lock.IsHeld());
        SetEvent(taken.Get());
        WaitForSingleObject(release.Get(), INFINITE);
    });
    WaitForSingleObject(taken.Get(), INFINITE);
    {
        TraceLines trace;
        vyx::LoadSettings(m_path, *model, *camera, presets, setters, 0);
        vyx::SaveSettings(m_path, *model, *camera, 0);
        EXPECT_EQ(trace.lines, (std::vector<std::string>{
                                   "CVCameraStream::LoadSettings: settings file busy: nothing applied\n",
                                   "CVCameraStream::SaveSettings: settings file busy: not saved\n"}));
    }
    EXPECT_EQ(Read(*camera), before);
    EXPECT_TRUE(setters.calls.empty());
    EXPECT_EQ(ReadBytes(m_path), file);
    SetEvent(release.Get());
    holder.join();

    // Free again, the same load applies.
    vyx::LoadSettings(m_path, *model, *camera, presets, setters, 0);
    EXPECT_EQ(Read(*camera).gain, 12);
    EXPECT_EQ(setters.calls, std::vector<std::string>{"SetBin 2"});
}

TEST_F(SettingsFileTest, FirstRunCreatesFolderAndEmptyFileAndAppliesNothing) {
    EXPECT_EQ(m_path, m_data + L"\\VYXDShowDriver\\CamSettings.ini");
    EXPECT_TRUE(GetFileAttributesW((m_data + L"\\VYXDShowDriver").c_str()) & FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_EQ(ReadBytes(m_path), "");

    TestCamera camera(kMono);
    ASSERT_TRUE(camera.IsOpen());
    const TestModel model(kMono);
    const CameraValues before = Read(*camera);
    RecordingSetters setters;
    Load(camera, model, setters);
    EXPECT_TRUE(setters.calls.empty());
    EXPECT_EQ(Read(*camera), before);

    // A later run keeps the file it finds; a folder that cannot exist gives no path.
    WriteBytes(m_path, "[Other Model]\r\nKeep=1\r\n");
    EXPECT_EQ(vyx::PrepareSettingsPath(m_data), m_path);
    EXPECT_EQ(ReadBytes(m_path), "[Other Model]\r\nKeep=1\r\n");
    EXPECT_EQ(vyx::PrepareSettingsPath(m_data + L"\\missing\\deeper"), L"");

    // The product's own location: the user's local application data.
    wchar_t local[MAX_PATH] = {};
    ASSERT_EQ(SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, local), S_OK);
    const std::wstring real = vyx::DetermineSettingsPath();
    EXPECT_EQ(real, std::wstring(local) + L"\\VYXDShowDriver\\CamSettings.ini");
    const DWORD attributes = GetFileAttributesW(real.c_str());
    EXPECT_NE(attributes, INVALID_FILE_ATTRIBUTES);
    EXPECT_FALSE(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

TEST_F(SettingsFileTest, SaveWritesTwelveKeysOrElevenWithoutHardwareBinningAndKeepsTheRest) {
    TestCamera mono(kMono), colour(kColour);
    ASSERT_TRUE(mono.IsOpen() && colour.IsOpen());
    const TestModel monoModel(kMono), colourModel(kColour);
    // Keys the filter never writes, and other models' sections, survive its saves.
    WriteBytes(m_path, "[Other Model]\r\nKeep=1\r\n[Kestrel 1M]\r\nBin=2\r\nWidthBin1=640\r\n");

    ASSERT_TRUE(mono->SetExposure(10000, false));
    ASSERT_TRUE(mono->SetImgFlip(true, false));
    vyx::SaveSettings(m_path, *monoModel, *mono);
    vyx::SaveSettings(m_path, *colourModel, *colour);

    const Ini ini(m_path);
    ASSERT_TRUE(ini.loaded);
    const std::set<std::string> written = {"Exp(ms)",     "IsExpAuto",        "Gain",         "IsGainAuto",
                                           "Offset",      "AutoExpMax(ms)",   "AutoGainMax",  "TargetBrightness",
                                           "USBBandwidth", "IsFlipHori",       "IsFlipVert"};
    std::set<std::string> monoKeys = written;
    monoKeys.insert({"IsHardbin", "Bin", "WidthBin1"});
    EXPECT_EQ(ini.Keys(kMono), monoKeys);  // twelve written, two kept
    EXPECT_EQ(ini.Keys(kColour), written);  // eleven
    EXPECT_EQ(ini.Value("Other Model", "Keep"), "1");

    const CameraValues v = Read(*mono);
    const auto flag = [](bool on) { return std::string(on ? "1" : "0"); };
    const std::map<std::string, std::string> expected = {
        {"Exp(ms)", "10.000000"}, {"IsExpAuto", "0"}, {"Gain", std::to_string(v.gain)},
        {"IsGainAuto", flag(v.gainAuto)}, {"Offset", std::to_string(v.offset)},
        {"AutoExpMax(ms)", std::to_string(v.autoExpMax)}, {"AutoGainMax", std::to_string(v.autoGainMax)},
        {"TargetBrightness", std::to_string(v.brightness)}, {"USBBandwidth", std::to_string(v.bandwidth)},
        {"IsHardbin", flag(v.hardBin)}, {"IsFlipHori", "1"}, {"IsFlipVert", "0"}, {"Bin", "2"}};
    for (const auto& [key, value] : expected) EXPECT_EQ(ini.Value(kMono, key.c_str()), value) << key;
    EXPECT_TRUE(LeftoverFiles().empty());
    // No byte-order mark.
    EXPECT_NE(ReadBytes(m_path).rfind("\xEF\xBB\xBF", 0), 0u);
}

TEST_F(SettingsFileTest, ExposureRoundTripsAndAutoFlagsFollowTheirTexts) {
    TestCamera camera(kMono);
    ASSERT_TRUE(camera.IsOpen());
    const TestModel model(kMono);
    RecordingSetters setters;

    struct RoundTrip {
        int saved;
        const char* text;
        int loaded;
    };
    // 1.001 x 1000.0 falls just below 1001: a saved value must come back as saved.
    for (const RoundTrip& trip : {RoundTrip{10000, "10.000000", 10000}, RoundTrip{1001, "1.001000", 1001},
                                  RoundTrip{2047999999, "2047999.999000", 2047999999}}) {
        ASSERT_TRUE(camera->SetExposure(trip.saved, false));
        vyx::SaveSettings(m_path, *model, *camera);
        EXPECT_EQ(Ini(m_path).Value(kMono, "Exp(ms)"), trip.text);
        ASSERT_TRUE(camera->SetExposure(50000, false));
        Load(camera, model, setters);
        EXPECT_EQ(Read(*camera).exposure, trip.loaded) << trip.text;
    }

    // Any text but "0" means automatic; an absent flag means manual.
    struct AutoCase {
        const char* lines;
        bool exposureAuto;
        bool gainAuto;
    };
    const AutoCase cases[] = {
        {"Exp(ms)=20\r\nIsExpAuto=yes\r\nGain=10\r\nIsGainAuto=1\r\n", true, true},
        {"Exp(ms)=20\r\nIsExpAuto=0\r\nGain=10\r\nIsGainAuto=0\r\n", false, false},
        {"Exp(ms)=20\r\nGain=10\r\n", false, false},
        {"Exp(ms)=20\r\nIsExpAuto=false\r\nGain=10\r\nIsGainAuto= 0x\r\n", true, true},
    };
    for (const AutoCase& c : cases) {
        ASSERT_TRUE(camera->SetExposure(40000, !c.exposureAuto));
        ASSERT_TRUE(camera->SetGain(20, !c.gainAuto));
        WriteSection(kMono, c.lines);
        Load(camera, model, setters);
        const CameraValues values = Read(*camera);
        EXPECT_EQ(values.exposureAuto, c.exposureAuto) << c.lines;
        EXPECT_EQ(values.gainAuto, c.gainAuto) << c.lines;
    }
    EXPECT_TRUE(setters.calls.empty());
}

TEST_F(SettingsFileTest, PresetNamesAreExactInCaseAndNegativeValuesAreIgnored) {
    TestCamera camera(kMono);
    ASSERT_TRUE(camera.IsOpen());
    const TestModel model(kMono);
    int gainMax = 0, gainMin = 0, gainDefault = 0, offsetMax = 0, offsetMin = 0, offsetDefault = 0;
    ASSERT_TRUE(camera->GetGainRange(&gainMax, &gainMin, &gainDefault));
    ASSERT_TRUE(camera->GetOffsetRange(&offsetMax, &offsetMin, &offsetDefault));
    ASSERT_TRUE(gainMin <= 5 && gainMax >= 40 && offsetMin <= 1 && offsetMax >= 7);
    // Distinct presets, so each name shows which position it took; one is negative.
    const std::int32_t presets[8] = {5, 15, 25, -1, 1, 3, 5, 7};
    RecordingSetters setters;

    struct Case {
        const char* lines;
        int gain;
        int offset;
    };
    const Case cases[] = {
        {"Gain=UnityGain\r\nOffset=OffsetLowestRN\r\n", 25, 7},
        {"Gain=GainHighestDR\r\nOffset=OffsetHighestDR\r\n", 5, 1},
        {"Gain=HCGain\r\nOffset=OffsetHCGain\r\n", 15, 3},
        {"Gain=GainLowestRN\r\nOffset=OffsetUnityGain\r\n", 33, 5},  // negative preset: gain kept
        {"Gain=unitygain\r\n", 33, 4},
        {"Offset=offsetunitygain\r\n", 33, 4},
        {"Gain=-5\r\nOffset=-1\r\n", 33, 4},
        {"Gain=12\r\nOffset=6\r\n", 12, 6},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(camera->SetGain(33, false));
        ASSERT_TRUE(camera->SetOffset(4));
        WriteSection(kMono, c.lines);
        Load(camera, model, setters, presets);
        const CameraValues values = Read(*camera);
        EXPECT_EQ(values.gain, c.gain) << c.lines;
        EXPECT_EQ(values.offset, c.offset) << c.lines;
    }
}

TEST_F(SettingsFileTest, UnusableTextsAreSkippedWhileOtherKeysApply) {
    TestCamera camera(kMono);
    ASSERT_TRUE(camera.IsOpen());
    const TestModel model(kMono);
    RecordingSetters setters;
    ASSERT_TRUE(camera->SetAutoGainMax(100));
    ASSERT_TRUE(camera->SetTargetBrightness(100));
    const CameraValues before = Read(*camera);

    WriteSection(kMono,
                 "IsHardbin=0\r\nUSBBandwidth=abc\r\nAutoExpMax(ms)=99999999999\r\nAutoGainMax=150\r\n"
                 "TargetBrightness=77xyz\r\nExp(ms)=fast\r\nGain=21\r\nOffset=-3000000000\r\n"
                 "SensorModeIndex=one\r\nImageFormat=7\r\nBin=5\r\nWidthBin1=wide\r\nHeightBin1=480\r\n");
    Load(camera, model, setters);
    const CameraValues after = Read(*camera);
    EXPECT_EQ(after.autoGainMax, 150);
    EXPECT_EQ(after.brightness, 77);  // digits up to the first letter
    EXPECT_EQ(after.gain, 21);
    EXPECT_EQ(after.bandwidth, before.bandwidth);
    EXPECT_EQ(after.autoExpMax, before.autoExpMax);
    EXPECT_EQ(after.exposure, before.exposure);
    EXPECT_EQ(after.offset, before.offset);
    EXPECT_TRUE(setters.calls.empty());  // format 7 and bin 5 are ignored without a line

    WriteSection(kMono,
                 "Exp(ms)=1e308\r\nImageFormat=99999999999\r\nBin=abc\r\nWidthBin1=640\r\n"
                 "HeightBin1=99999999999\r\nUSBBandwidth=60\r\n");
    Load(camera, model, setters);
    EXPECT_EQ(Read(*camera).bandwidth, 60);
    EXPECT_TRUE(setters.calls.empty());
}

TEST_F(SettingsFileTest, FormatBinAndSizeGoThroughTheCoresSettersInOrder) {
    TestCamera camera(kMono);
    ASSERT_TRUE(camera.IsOpen());
    const TestModel model(kMono);

    struct Case {
        const char* lines;
        std::vector<std::string> calls;
    };
    const std::string index640 = std::to_string(model.IndexOf(640, 480));
    const Case cases[] = {
        {"WidthBin1=640\r\nHeightBin1=480\r\nBin=2\r\nImageFormat=3\r\n",
         {"SetImgFormat 3", "SetBin 2", "SetImgSizeIndex " + index640}},
        {"ImageFormat=0\r\nBin=1\r\n", {"SetImgFormat 0", "SetBin 1"}},
        {"ImageFormat=4\r\nBin=4\r\n", {"SetImgFormat 4", "SetBin 4"}},
        {"ImageFormat=-1\r\nBin=0\r\n", {}},
        {"WidthBin1=1280\r\nHeightBin1=960\r\n", {}},  // the sensor itself, entry 0
        {"WidthBin1=1000\r\nHeightBin1=1000\r\n", {}},  // not in this model's list
        {"WidthBin1=640\r\n", {}},                     // both or nothing
        {"WidthBin1=320\r\nHeightBin1=240\r\n", {"SetImgSizeIndex " + std::to_string(model.IndexOf(320, 240))}},
    };
    for (const Case& c : cases) {
        WriteSection(kMono, c.lines);
        RecordingSetters setters;
        Load(camera, model, setters);
        EXPECT_EQ(setters.calls, c.calls) << c.lines;
    }
}

TEST_F(SettingsFileTest, HardwareBinFlipsAndSensorModeApplyOnlyWhereTheCameraHasThem) {
    TestCamera mono(kMono), colour(kColour), withModes(kWithModes);
    ASSERT_TRUE(mono.IsOpen() && colour.IsOpen() && withModes.IsOpen());
    const TestModel monoModel(kMono), colourModel(kColour), modesModel(kWithModes);
    RecordingSetters setters;

    ASSERT_TRUE(mono->SetHardBinEnable(false));
    ASSERT_TRUE(mono->SetImgFlip(false, false));
    WriteSection(kMono, "IsHardbin=1\r\nIsFlipHori=1\r\nIsFlipVert=0\r\nSensorModeIndex=1\r\n");
    const int modeBefore = Read(*mono).sensorMode;
    Load(mono, monoModel, setters);
    CameraValues values = Read(*mono);
    EXPECT_TRUE(values.hardBin);
    EXPECT_TRUE(values.flipHorizontal);
    EXPECT_FALSE(values.flipVertical);
    EXPECT_EQ(values.sensorMode, modeBefore);  // a camera without sensor modes

    WriteSection(kMono, "IsHardbin=0\r\nIsFlipVert=1\r\n");  // one flip alone is not applied
    Load(mono, monoModel, setters);
    values = Read(*mono);
    EXPECT_FALSE(values.hardBin);
    EXPECT_TRUE(values.flipHorizontal);
    EXPECT_FALSE(values.flipVertical);

    const CameraValues colourBefore = Read(*colour);
    WriteSection(kColour, "IsHardbin=1\r\n");
    Load(colour, colourModel, setters);
    EXPECT_EQ(Read(*colour), colourBefore);

    ASSERT_TRUE(withModes->SetSensorMode(0));
    WriteSection(kWithModes, "SensorModeIndex=1\r\n");
    Load(withModes, modesModel, setters);
    EXPECT_EQ(Read(*withModes).sensorMode, 1);
    WriteSection(kWithModes, "SensorModeIndex=2\r\n");  // only modes 0 and 1 are ever applied
    ASSERT_TRUE(withModes->SetSensorMode(0));
    Load(withModes, modesModel, setters);
    EXPECT_EQ(Read(*withModes).sensorMode, 0);
    EXPECT_TRUE(setters.calls.empty());
}

// Random bytes, NULs and stray brackets are the fuzz test's (below); here sizes it never reaches,
// a missing or broken section, a read-only file and a folder in the file's place.
TEST_F(SettingsFileTest, GarbageNeverCrashesAndNoOtherSectionIsLost) {
    TestCamera camera(kMono);
    ASSERT_TRUE(camera.IsOpen());
    const TestModel model(kMono);

    std::string thousand;
    for (int i = 0; i < 1000; ++i) thousand += "[Section " + std::to_string(i) + "]\r\nKey=" + std::to_string(i) + "\r\n";
    const std::string megabyte(1 << 20, 'x');
    const std::string other = "\r\n[Other Model]\r\nKeep=1\r\n";
    struct Case {
        const char* name;
        std::string bytes;
    };
    const Case cases[] = {
        {"1 MB line", megabyte + other + megabyte},
        {"1 MB value", "[Kestrel 1M]\r\nGain=" + std::string(1 << 20, '7') + "\r\nOffset=" + megabyte + other},
        {"thousand sections", thousand + other},
        {"missing section", other},
        {"section header without end", "[Kestrel 1M\r\nGain=3\r\n[=]\r\n==\r\n" + other},
    };
    for (const Case& c : cases) {
        WriteBytes(m_path, c.bytes);
        RecordingSetters setters;
        Load(camera, model, setters);
        vyx::SaveSettings(m_path, *model, *camera);
        const Ini ini(m_path);
        ASSERT_TRUE(ini.loaded) << c.name;
        EXPECT_EQ(ini.Value("Other Model", "Keep"), "1") << c.name;
        EXPECT_EQ(ini.Value(kMono, "Gain"), std::to_string(Read(*camera).gain)) << c.name;
        EXPECT_TRUE(LeftoverFiles().empty()) << c.name;
    }
    WriteBytes(m_path, thousand + other);
    vyx::SaveSettings(m_path, *model, *camera);
    CSimpleIniA::TNamesDepend sections;
    Ini(m_path).document.GetAllSections(sections);
    EXPECT_EQ(sections.size(), 1002u);

    // A read-only file is read but never rewritten.
    const std::string readOnly = "[Other Model]\r\nKeep=1\r\n[Kestrel 1M]\r\nTargetBrightness=88\r\n";
    WriteBytes(m_path, readOnly);
    ASSERT_TRUE(SetFileAttributesW(m_path.c_str(), FILE_ATTRIBUTE_READONLY));
    RecordingSetters setters;
    Load(camera, model, setters);
    EXPECT_EQ(Read(*camera).brightness, 88);
    vyx::SaveSettings(m_path, *model, *camera);
    EXPECT_EQ(ReadBytes(m_path), readOnly);
    EXPECT_TRUE(GetFileAttributesW(m_path.c_str()) & FILE_ATTRIBUTE_READONLY);
    EXPECT_TRUE(LeftoverFiles().empty());
    ASSERT_TRUE(SetFileAttributesW(m_path.c_str(), FILE_ATTRIBUTE_NORMAL));

    // A directory where the file belongs: nothing applied, nothing written, still a directory.
    ASSERT_TRUE(DeleteFileW(m_path.c_str()));
    ASSERT_TRUE(CreateDirectoryW(m_path.c_str(), nullptr));
    EXPECT_EQ(vyx::PrepareSettingsPath(m_data), m_path);
    const CameraValues before = Read(*camera);
    Load(camera, model, setters);
    vyx::SaveSettings(m_path, *model, *camera);
    EXPECT_EQ(Read(*camera), before);
    EXPECT_TRUE(setters.calls.empty());
    EXPECT_TRUE(GetFileAttributesW(m_path.c_str()) & FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_TRUE(LeftoverFiles().empty());
}

// A name or value a line-based file can hold: SimpleIni reads a section name across a
// line break ("[a\r\nb]"), which no writer can put back as one line.
bool OneLine(const char* text) {
    return std::strpbrk(text, "\r\n") == nullptr;
}

// Every section the file holds, as the save's parser sees it (NUL bytes read as spaces),
// without the names and values that span lines.
std::map<std::string, std::map<std::string, std::string>> Sections(std::string contents) {
    for (char& c : contents)
        if (c == '\0') c = ' ';
    CSimpleIniA ini(false);
    std::map<std::string, std::map<std::string, std::string>> sections;
    if (ini.LoadData(contents.data(), contents.size()) < 0) return sections;
    CSimpleIniA::TNamesDepend names;
    ini.GetAllSections(names);
    for (const auto& name : names) {
        if (!OneLine(name.pItem)) continue;
        CSimpleIniA::TNamesDepend keys;
        ini.GetAllKeys(name.pItem, keys);
        auto& section = sections[name.pItem];
        for (const auto& key : keys) {
            const char* value = ini.GetValue(name.pItem, key.pItem, "");
            if (OneLine(key.pItem) && OneLine(value)) section[key.pItem] = value;
        }
    }
    return sections;
}

// The sections other than the model's, whose name the file matches in any case. A nameless
// section without keys (stray "[]", or nothing before the first header) holds nothing to keep.
std::map<std::string, std::map<std::string, std::string>> OtherSections(
    std::map<std::string, std::map<std::string, std::string>> sections, const char* model) {
    for (auto it = sections.begin(); it != sections.end();) {
        const bool nothing = it->first.empty() && it->second.empty();
        it = nothing || _stricmp(it->first.c_str(), model) == 0 ? sections.erase(it) : std::next(it);
    }
    return sections;
}

// A settings file broken at random: bytes of every value, NUL, truncation, long lines,
// oversized and repeated sections, stray brackets and separators.
std::string Mutated(std::mt19937& rng, std::string text) {
    const int edits = 1 + static_cast<int>(rng() % 4);
    for (int i = 0; i < edits; ++i) {
        const size_t at = text.empty() ? 0 : rng() % (text.size() + 1);
        switch (rng() % 8) {
        case 0: {
            std::string bytes(1 + rng() % 64, '\0');
            for (char& c : bytes) c = static_cast<char>(rng());
            text.insert(at, bytes);
            break;
        }
        case 1: text.insert(at, 1 + rng() % 4, '\0'); break;
        case 2: text.resize(at); break;
        case 3: text.insert(at, std::string(1 + rng() % 20000, static_cast<char>('!' + rng() % 90))); break;
        case 4: {
            std::string section = "\r\n[" + std::string(kMono) + "]\r\n";
            const int keys = static_cast<int>(rng() % 500);
            for (int k = 0; k < keys; ++k) section += "Key" + std::to_string(k) + "=" + std::to_string(rng()) + "\r\n";
            text.insert(at, section);
            break;
        }
        case 5: {
            static const char* const kStray[] = {"[", "]", "=", ";", "\r", "\n", "[]", "[=]\r\n", "\xEF\xBB\xBF"};
            text.insert(at, kStray[rng() % std::size(kStray)]);
            break;
        }
        case 6:
            if (!text.empty()) text[rng() % text.size()] = static_cast<char>(rng());
            break;
        default: text.insert(at, "\r\nGain=" + std::to_string(static_cast<std::int32_t>(rng())) + "\r\n"); break;
        }
    }
    return text;
}

// One side of the two-process test: saves its model's section `rounds` times, each with a
// new exposure, and before every save checks that the file still holds its previous one.
// Another process's save that started from an older file would have put back an older
// value. Returns the number of rounds that found a lost update.
// Both sides start their rounds together: each signals `ready` and waits for `go`.
int SaveLoop(const std::wstring& path, const char* modelName, int rounds, int firstMs, HANDLE ready, HANDLE go) {
    TestCamera camera(modelName);
    SetEvent(ready);
    if (!camera.IsOpen()) return rounds;
    const TestModel model(modelName);
    if (WaitForSingleObject(go, INFINITE) != WAIT_OBJECT_0) return rounds;
    int lost = 0;
    std::string previous;
    for (int round = 0; round < rounds; ++round) {
        if (!previous.empty()) {
            SettingsFileLock lock;
            std::string contents;
            CSimpleIniA ini(false);
            if (!lock.IsHeld() || vyx::ReadSettingsFile(path, contents) != vyx::FileRead::Ok ||
                ini.LoadData(contents) < 0 || previous != ini.GetValue(modelName, "Exp(ms)", ""))
                ++lost;
        }
        const int milliseconds = firstMs + round;
        camera->SetExposure(milliseconds * 1000, false);
        vyx::SaveSettings(path, *model, *camera);
        previous = std::to_string(milliseconds) + ".000000";
    }
    return lost;
}

TEST_F(SettingsFileTest, TwoProcessesSavingAtOnceLoseNothing) {
    constexpr int kRounds = 150;
    // Each process opens its own model's camera; both are plugged before the child starts.
    ASSERT_TRUE(vyx::test::PlugModel(kMono) && vyx::test::PlugModel(kColour));

    wchar_t program[MAX_PATH] = {};
    ASSERT_NE(GetModuleFileNameW(nullptr, program, MAX_PATH), 0u);
    const std::wstring tag = std::to_wstring(GetCurrentProcessId());
    std::wstring command = L"\"" + std::wstring(program) + L"\" " + Widen(kChildFlag) + L" \"" + m_path + L"\" " +
                           std::to_wstring(kRounds) + L" " + tag;
    vyx::win::UniqueHandle childReady(CreateEventW(nullptr, TRUE, FALSE, (L"vyx_settings_ready_" + tag).c_str()));
    vyx::win::UniqueHandle parentReady(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    vyx::win::UniqueHandle go(CreateEventW(nullptr, TRUE, FALSE, (L"vyx_settings_go_" + tag).c_str()));
    ASSERT_TRUE(childReady && parentReady && go);
    vyx::win::ChildProcess child;
    ASSERT_EQ(child.Start(command, vyx::win::ChildProcessOptions::Program(program)), static_cast<DWORD>(ERROR_SUCCESS));

    // The child's camera is open before either side saves; then both run their rounds at once.
    std::thread release([&] {
        HANDLE both[] = {childReady.Get(), child.Process()};
        WaitForMultipleObjects(2, both, FALSE, INFINITE);
        WaitForSingleObject(parentReady.Get(), INFINITE);
        SetEvent(go.Get());
    });
    EXPECT_EQ(SaveLoop(m_path, kMono, kRounds, 100, parentReady.Get(), go.Get()), 0);
    release.join();

    constexpr DWORD kChildTimeoutMs = 120000;
    EXPECT_EQ(child.Wait(kChildTimeoutMs), static_cast<DWORD>(ERROR_SUCCESS));
    EXPECT_EQ(child.ExitCode(), 0u) << "saves the child lost";

    const Ini ini(m_path);
    EXPECT_EQ(ini.Value(kMono, "Exp(ms)"), std::to_string(100 + kRounds - 1) + ".000000");
    EXPECT_EQ(ini.Value(kColour, "Exp(ms)"), std::to_string(300 + kRounds - 1) + ".000000");
    EXPECT_TRUE(LeftoverFiles().empty());
}

}  // namespace

int main(int argc, char** argv) {
    // The second process of TwoProcessesSavingAtOnceLoseNothing.
    if (argc == 5 && std::string(argv[1]) == kChildFlag) {
        int wideCount = 0;
        LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &wideCount);
        const std::wstring path = wide && wideCount == 5 ? wide[2] : L"";
        const std::wstring tag = wide && wideCount == 5 ? wide[4] : L"";
        LocalFree(wide);
        vyx::win::UniqueHandle ready(OpenEventW(EVENT_MODIFY_STATE, FALSE, (L"vyx_settings_ready_" + tag).c_str()));
        vyx::win::UniqueHandle go(OpenEventW(SYNCHRONIZE, FALSE, (L"vyx_settings_go_" + tag).c_str()));
        if (!ready || !go) return 1000;
        return SaveLoop(path, kColour, std::atoi(argv[3]), 300, ready.Get(), go.Get());
    }
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

// Mutated files into the load and the save that follows: nothing crashes, and every section
// but the model's own comes back exactly as it was. The seed is fixed; VYX_FUZZ_ROUNDS sets
// the count (docs/reliability.md runs 100,000).
TEST_F(SettingsFileTest, FuzzedFilesNeverCrashAndOtherSectionsStayAsTheyWere) {
    constexpr std::uint32_t kSeed = 1400;
    const char* text = std::getenv("VYX_FUZZ_ROUNDS");
    const int rounds = text && std::atoi(text) > 0 ? std::atoi(text) : 150;
    TestCamera camera(kMono);
    ASSERT_TRUE(camera.IsOpen());
    const TestModel model(kMono);
    const std::string base = std::string("[Other Model]\r\nKeep=1\r\nName=a b c\r\n[") + kMono +
                             "]\r\nGain=10\r\nExp(ms)=20.000000\r\nIsFlipHori=1\r\nBin=2\r\n[Third]\r\nX=2\r\n";
    std::mt19937 rng(kSeed);
    for (int round = 0; round < rounds && !HasFailure(); ++round) {
        const std::string bytes = Mutated(rng, base);
        WriteBytes(m_path, bytes);
        auto before = OtherSections(Sections(bytes), kMono);
        RecordingSetters setters;
        Load(camera, model, setters);
        vyx::SaveSettings(m_path, *model, *camera);
        auto after = OtherSections(Sections(ReadBytes(m_path)), kMono);
        ASSERT_EQ(after, before) << "round " << round;
        if ((round + 1) % 10000 == 0) {
            std::printf("%d settings files\n", round + 1);
            std::fflush(stdout);
        }
    }
    std::printf("%d settings files (seed %u)\n", rounds, kSeed);
}
