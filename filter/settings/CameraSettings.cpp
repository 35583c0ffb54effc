#include "CameraSettings.h"

#include <shlobj.h>
#include <SimpleIni.h>

#include <cstring>
#include <new>

#include "SettingsFileIo.h"
#include "SettingsFileLock.h"
#include "SettingsNumbers.h"
#include "Trace.h"
#include "UniqueResource.h"

namespace vyx {
namespace {

// The pin's functions, whose work this is.
constexpr char kLoadLabel[] = "CVCameraStream::LoadSettings";
constexpr char kSaveLabel[] = "CVCameraStream::SaveSettings";

constexpr wchar_t kFolderName[] = L"\\VYXDShowDriver";
constexpr wchar_t kFileName[] = L"\\CamSettings.ini";

constexpr char kIsHardbin[] = "IsHardbin";
constexpr char kIsFlipHori[] = "IsFlipHori";
constexpr char kIsFlipVert[] = "IsFlipVert";
constexpr char kUsbBandwidth[] = "USBBandwidth";
constexpr char kAutoExpMax[] = "AutoExpMax(ms)";
constexpr char kAutoGainMax[] = "AutoGainMax";
constexpr char kTargetBrightness[] = "TargetBrightness";
constexpr char kExposure[] = "Exp(ms)";
constexpr char kIsExpAuto[] = "IsExpAuto";
constexpr char kGain[] = "Gain";
constexpr char kIsGainAuto[] = "IsGainAuto";
constexpr char kOffset[] = "Offset";
constexpr char kSensorModeIndex[] = "SensorModeIndex";
constexpr char kImageFormat[] = "ImageFormat";
constexpr char kBin[] = "Bin";
constexpr char kWidthBin1[] = "WidthBin1";
constexpr char kHeightBin1[] = "HeightBin1";

// The messages of the C++ library's stoi and stod exceptions, which users know from
// earlier versions' traces.
constexpr char kIntInvalid[] = "invalid stoi argument";
constexpr char kIntOutOfRange[] = "stoi argument out of range";
constexpr char kDoubleInvalid[] = "invalid stod argument";
constexpr char kDoubleOutOfRange[] = "stod argument out of range";

// Preset names stand for GetGainsAndOffsets positions; compared with letter case.
struct Preset {
    const char* name;
    int position;
};
constexpr Preset kGainPresets[] = {{"GainHighestDR", 0}, {"HCGain", 1}, {"UnityGain", 2}, {"GainLowestRN", 3}};
constexpr Preset kOffsetPresets[] = {
    {"OffsetHighestDR", 4}, {"OffsetHCGain", 5}, {"OffsetUnityGain", 6}, {"OffsetLowestRN", 7}};

constexpr std::int32_t kLastImageFormat = IMG_YUY2;
constexpr std::int32_t kMaxBin = 4;

bool IsTrue(const std::string& text) { return text != "0"; }

std::string ReadValue(const CSimpleIniA& ini, const char* section, const char* key) {
    const char* value = ini.GetValue(section, key, "");
    return value ? value : "";
}

// SimpleIni stops parsing at the first NUL byte; blanking them lets it see every section
// behind binary garbage, so a save keeps them.
SI_Error ParseDocument(std::string& contents, CSimpleIniA& ini) {
    for (char& c : contents)
        if (c == '\0') c = ' ';
    return ini.LoadData(contents.data(), contents.size());
}

bool ConvertInt([[maybe_unused]] const char* name, const std::string& text, std::int32_t& value) {
    switch (ParseSettingsInt(text, value)) {
        case Conversion::Ok:
            return true;
        case Conversion::NotANumber:
            VYX_TRACE(kLoadLabel, "%s from ini is not int: %s: %s", name, text.c_str(), kIntInvalid);
            return false;
        case Conversion::OutOfRange:
            VYX_TRACE(kLoadLabel, "%s from ini is out of range: %s: %s", name, text.c_str(), kIntOutOfRange);
            return false;
    }
    return false;
}

bool ConvertExposure(const std::string& text, std::int32_t& microseconds) {
    switch (ParseSettingsMilliseconds(text, microseconds)) {
        case Conversion::Ok:
            return true;
        case Conversion::NotANumber:
            VYX_TRACE(kLoadLabel, "Exp from ini is not double: %s: %s", text.c_str(), kDoubleInvalid);
            return false;
        case Conversion::OutOfRange:
            VYX_TRACE(kLoadLabel, "Exp from ini is out of range: %s: %s", text.c_str(), kDoubleOutOfRange);
            return false;
    }
    return false;
}

// A preset name gives the camera's value for it; any other text is an integer.
bool ConvertPresetOrInt(const char* name, const std::string& text, const Preset (&names)[4],
                        const std::int32_t (&presets)[8], std::int32_t& value) {
    for (const Preset& preset : names) {
        if (text == preset.name) {
            value = presets[preset.position];
            return true;
        }
    }
    return ConvertInt(name, text, value);
}

// Both sizes fail together: one trace line each, with the first failure's message.
bool ConvertSize(const std::string& widthText, const std::string& heightText, std::int32_t& width,
                 std::int32_t& height) {
    Conversion conversion = ParseSettingsInt(widthText, width);
    if (conversion == Conversion::Ok) conversion = ParseSettingsInt(heightText, height);
    switch (conversion) {
        case Conversion::Ok:
            return true;
        case Conversion::NotANumber:
            VYX_TRACE(kLoadLabel, "WidthBin1 from ini is not int: %s: %s", widthText.c_str(), kIntInvalid);
            VYX_TRACE(kLoadLabel, "HeightBin1 from ini is not int: %s: %s", heightText.c_str(), kIntInvalid);
            return false;
        case Conversion::OutOfRange:
            VYX_TRACE(kLoadLabel, "WidthBin1 from ini is out of range: %s: %s", widthText.c_str(), kIntOutOfRange);
            VYX_TRACE(kLoadLabel, "HeightBin1 from ini is out of range: %s: %s", heightText.c_str(), kIntOutOfRange);
            return false;
    }
    return false;
}

void ApplySettings(const CSimpleIniA& ini, const ModelDescriptor& model, VyxonCamera& camera,
                   const std::int32_t (&presets)[8], ConfigurationSetters& setters) {
    const char* section = model.displayName;
    const std::string hardBin = ReadValue(ini, section, kIsHardbin);
    const std::string flipHorizontal = ReadValue(ini, section, kIsFlipHori);
    const std::string flipVertical = ReadValue(ini, section, kIsFlipVert);
    const std::string usbBandwidth = ReadValue(ini, section, kUsbBandwidth);
    const std::string autoExpMax = ReadValue(ini, section, kAutoExpMax);
    const std::string autoGainMax = ReadValue(ini, section, kAutoGainMax);
    const std::string targetBrightness = ReadValue(ini, section, kTargetBrightness);
    const std::string exposure = ReadValue(ini, section, kExposure);
    const std::string exposureAuto = ReadValue(ini, section, kIsExpAuto);
    const std::string gain = ReadValue(ini, section, kGain);
    const std::string gainAuto = ReadValue(ini, section, kIsGainAuto);
    const std::string offset = ReadValue(ini, section, kOffset);
    const std::string sensorMode = ReadValue(ini, section, kSensorModeIndex);
    const std::string imageFormat = ReadValue(ini, section, kImageFormat);
    const std::string bin = ReadValue(ini, section, kBin);
    const std::string widthBin1 = ReadValue(ini, section, kWidthBin1);
    const std::string heightBin1 = ReadValue(ini, section, kHeightBin1);
    VYX_TRACE(kLoadLabel, "read USB bandwidth: %s \n", usbBandwidth.c_str());
    VYX_TRACE(kLoadLabel, "read ini value: %s, %s, %s, %s, %s, %s, %s \n", hardBin.c_str(), exposure.c_str(),
              gain.c_str(), offset.c_str(), bin.c_str(), imageFormat.c_str(), sensorMode.c_str());

    // Applied in this order; an empty text skips its key, a failed conversion only its key.
    std::int32_t value = 0;
    if (!hardBin.empty()) {
        CameraProp prop{};
        if (camera.GetTheProp(&prop) && prop.hasHardwareBin) camera.SetHardBinEnable(IsTrue(hardBin));
    }
    if (!flipHorizontal.empty() && !flipVertical.empty())
        camera.SetImgFlip(IsTrue(flipHorizontal), IsTrue(flipVertical));
    if (!usbBandwidth.empty() && ConvertInt("USB bandwidth", usbBandwidth, value)) camera.SetUsbBandwidthLimit(value);
    if (!autoExpMax.empty() && ConvertInt("Auto Exp Max", autoExpMax, value)) camera.SetAutoExpMax(value);
    if (!autoGainMax.empty() && ConvertInt("Auto Gain Max", autoGainMax, value)) camera.SetAutoGainMax(value);
    if (!targetBrightness.empty() && ConvertInt("Target Brightness", targetBrightness, value))
        camera.SetTargetBrightness(value);
    std::int32_t microseconds = 0;
    if (!exposure.empty() && ConvertExposure(exposure, microseconds))
        camera.SetExposure(microseconds, !exposureAuto.empty() && IsTrue(exposureAuto));
    if (!gain.empty() && ConvertPresetOrInt("Gain", gain, kGainPresets, presets, value) && value >= 0)
        camera.SetGain(value, !gainAuto.empty() && IsTrue(gainAuto));
    if (!offset.empty() && ConvertPresetOrInt("Offset", offset, kOffsetPresets, presets, value) && value >= 0)
        camera.SetOffset(value);
    if (!sensorMode.empty() && ConvertInt("Sensor mode index", sensorMode, value) &&
        camera.GetSensorModeCount() > 0 && (value == 0 || value == 1))
        camera.SetSensorMode(value);
    // Format, bin and size go through the core, so its record and negotiation follow them.
    if (!imageFormat.empty() && ConvertInt("Image Format", imageFormat, value) && value >= 0 &&
        value <= kLastImageFormat)
        setters.SelectImageFormat(static_cast<ImageFormat>(value));
    if (!bin.empty() && ConvertInt("Bin", bin, value) && value >= 1 && value <= kMaxBin) setters.SelectBin(value);
    std::int32_t width = 0, height = 0;
    if (!widthBin1.empty() && !heightBin1.empty() && ConvertSize(widthBin1, heightBin1, width, height)) {
        // Entry 0, the full sensor, is where the camera starts: never selected this way.
        for (std::int32_t index = 0; index < model.resolutionCount; ++index) {
            if (model.resolutions[index].width == width && model.resolutions[index].height == height) {
                if (index != 0) setters.SelectResolution(index);
                break;
            }
        }
    }
}

}  // namespace

std::wstring DetermineSettingsPath() {
    wchar_t folder[MAX_PATH] = {};
    if (FAILED(SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, folder))) return {};
    return PrepareSettingsPath(folder);
}

std::wstring PrepareSettingsPath(const std::wstring& dataFolder) {
    const std::wstring folder = dataFolder + kFolderName;
    const DWORD folderAttributes = GetFileAttributesW(folder.c_str());
    if (folderAttributes == INVALID_FILE_ATTRIBUTES || !(folderAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
        if (!CreateDirectoryW(folder.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) return {};
    }

    const std::wstring path = folder + kFileName;
    if (GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES) {
        // CREATE_NEW, not CREATE_ALWAYS: another process may have written the file since
        // the check, and truncating it would lose its settings.
        const vyx::win::UniqueFile created(
            CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    }
    return path;
}

void LoadSettings(const std::wstring& path, const ModelDescriptor& model, VyxonCamera& camera,
                  const std::int32_t (&presets)[8], ConfigurationSetters& setters,
                  DWORD lockTimeoutMs) {
    try {
        CSimpleIniA ini(false);
        {
            // Only the read is locked: applying calls the camera, which may take long.
            SettingsFileLock lock(lockTimeoutMs);
            if (!lock.IsHeld()) {
                VYX_TRACE(kLoadLabel, "settings file busy: nothing applied\n");
                return;
            }
            std::string contents;
            if (ReadSettingsFile(path, contents) != FileRead::Ok || ParseDocument(contents, ini) < 0) return;
        }
        ApplySettings(ini, model, camera, presets, setters);
    } catch (const std::bad_alloc&) {
        VYX_TRACE(kLoadLabel, "out of memory reading the settings file: nothing more applied\n");
    }
}

void SaveSettings(const std::wstring& path, const ModelDescriptor& model, VyxonCamera& camera,
                  DWORD lockTimeoutMs) {
    // The camera is read before the file is locked, so no other process waits on it. A
    // getter the camera refuses leaves its key out: its outputs are not values.
    int exposure = 0, gain = 0, offset = 0, autoExpMax = 0, autoGainMax = 0, targetBrightness = 0, usbBandwidth = 0;
    bool exposureAuto = false, gainAuto = false, hardBin = false, flipHorizontal = false, flipVertical = false;
    const bool exposureRead = camera.GetExposure(&exposure, &exposureAuto);
    const bool gainRead = camera.GetGain(&gain, &gainAuto);
    const bool offsetRead = camera.GetOffset(&offset);
    const bool autoExpMaxRead = camera.GetAutoExpMax(&autoExpMax);
    const bool autoGainMaxRead = camera.GetAutoGainMax(&autoGainMax);
    const bool targetBrightnessRead = camera.GetTargetBrightness(&targetBrightness);
    const bool usbBandwidthRead = camera.GetUsbBandwidthLimit(&usbBandwidth);
    CameraProp prop{};
    const bool hardBinRead = camera.GetTheProp(&prop) && prop.hasHardwareBin && camera.GetHardBinEnable(&hardBin);
    const bool flipsRead = camera.GetImgFlip(&flipHorizontal, &flipVertical);
    if (!exposureRead && !gainRead && !offsetRead && !autoExpMaxRead && !autoGainMaxRead && !targetBrightnessRead &&
        !usbBandwidthRead && !hardBinRead && !flipsRead) {
        VYX_TRACE(kSaveLabel, "camera answers no getter: not saved\n");
        return;
    }

    try {
        SettingsFileLock lock(lockTimeoutMs);
        if (!lock.IsHeld()) {
            VYX_TRACE(kSaveLabel, "settings file busy: not saved\n");
            return;
        }
        // Every other section and key of the file must survive, so a file that exists but
        // cannot be read is left alone rather than replaced by this section alone.
        std::string contents;
        const FileRead read = ReadSettingsFile(path, contents);
        CSimpleIniA ini(false);
        if (read == FileRead::Failed || (read == FileRead::Ok && ParseDocument(contents, ini) < 0)) {
            VYX_TRACE(kSaveLabel, "settings file unreadable: not saved\n");
            return;
        }

        const char* section = model.displayName;
        if (exposureRead) {
            ini.SetDoubleValue(section, kExposure, exposure / 1000.0);
            ini.SetValue(section, kIsExpAuto, exposureAuto ? "1" : "0");
        }
        if (gainRead) {
            ini.SetLongValue(section, kGain, gain);
            ini.SetValue(section, kIsGainAuto, gainAuto ? "1" : "0");
        }
        if (offsetRead) ini.SetLongValue(section, kOffset, offset);
        if (autoExpMaxRead) ini.SetLongValue(section, kAutoExpMax, autoExpMax);
        if (autoGainMaxRead) ini.SetLongValue(section, kAutoGainMax, autoGainMax);
        if (targetBrightnessRead) ini.SetLongValue(section, kTargetBrightness, targetBrightness);
        if (usbBandwidthRead) ini.SetLongValue(section, kUsbBandwidth, usbBandwidth);
        if (hardBinRead) ini.SetValue(section, kIsHardbin, hardBin ? "1" : "0");
        if (flipsRead) {
            ini.SetValue(section, kIsFlipHori, flipHorizontal ? "1" : "0");
            ini.SetValue(section, kIsFlipVert, flipVertical ? "1" : "0");
        }

        std::string text;
        if (ini.Save(text, false) < 0) {
            VYX_TRACE(kSaveLabel, "settings not written: SimpleIni could not format them\n");
            return;
        }
        if (const DWORD error = ReplaceSettingsFile(path, text); error != ERROR_SUCCESS)
            VYX_TRACE(kSaveLabel, "settings file not replaced: error %lu\n", error);
    } catch (const std::bad_alloc&) {
        VYX_TRACE(kSaveLabel, "out of memory writing the settings file: not saved\n");
    }
}

}  // namespace vyx
