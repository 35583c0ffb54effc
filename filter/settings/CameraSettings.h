#pragma once
// The user's camera settings: one INI file per Windows user (CamSettings.ini in the folder
// VYXDShowDriver of the local application-data folder) with one section per model, named
// after the model's display name. The pin loads it once when it opens the camera and saves
// it when streaming stops and when it is destroyed.
//
// Threads: loads run on the thread that creates the filter, saves on the streaming thread
// or the releasing thread; other processes (other applications, other models' builds) use
// the same file. Every load and every load-modify-save holds one named mutex per session,
// and a save replaces the file in one rename, so readers never see half a file and no
// writer drops another's section.
#include <windows.h>

#include <cstdint>
#include <string>

#include "ModelDescriptor.h"
#include "SettingsFileLock.h"
#include "VyxonCamera.h"

namespace vyx {

// Where the file's image format, bin and frame size go: the capture core's own setters,
// so that its record and its negotiation follow them.
class ConfigurationSetters {
public:
    virtual void SelectImageFormat(ImageFormat format) = 0;
    virtual void SelectBin(int bin) = 0;
    virtual void SelectResolution(int index) = 0;

protected:
    ~ConfigurationSetters() = default;
};

// Full path of the settings file under the user's local application-data folder, with the
// folder and an empty file created when missing; empty when the folder is unusable.
std::wstring DetermineSettingsPath();

// The same below `dataFolder` (the local application-data folder, or a test's folder).
std::wstring PrepareSettingsPath(const std::wstring& dataFolder);

// Applies the model's section to the open camera. Image format, bin and frame size go
// through `setters`. `presets` are the eight values of GetGainsAndOffsets read when the
// camera opened. Never fails: an unusable value skips its key with a trace line, an
// unreadable file applies nothing, and a file whose lock is not free within `lockTimeoutMs`
// applies nothing with one trace line.
void LoadSettings(const std::wstring& path, const ModelDescriptor& model, VyxonCamera& camera,
                  const std::int32_t (&presets)[8], ConfigurationSetters& setters,
                  DWORD lockTimeoutMs = SettingsFileLock::kDefaultTimeoutMs);

// Writes the camera's current values into the model's section, keeping every other
// section and key of the file. A value whose getter the camera refuses (a camera unplugged
// a moment ago) is not written: its key keeps what the file holds. Failures leave the file
// as it was; a lock not free within `lockTimeoutMs` writes nothing, with one trace line.
void SaveSettings(const std::wstring& path, const ModelDescriptor& model, VyxonCamera& camera,
                  DWORD lockTimeoutMs = SettingsFileLock::kDefaultTimeoutMs);

}  // namespace vyx
