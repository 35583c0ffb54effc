#pragma once
// A simulated camera of one model, plugged and with the model's filter build registered
// from the installed layout, as a user's machine has it after the service ran. The
// destructor unplugs the camera. A build is registered once per test program, at its first
// rig, and unregistered when the program's tests end, since regsvr32 costs a second a run.
#include <windows.h>
#include <dshow.h>
#include <wrl/client.h>

#include <string>

#include "vyx_catalogue.h"

namespace vyx::vyxcap::test {

class CameraRig {
public:
    // `model` is a catalogue display name. The settings file starts empty, so every rig
    // starts from the camera's own defaults.
    explicit CameraRig(const wchar_t* model);
    CameraRig(const CameraRig&) = delete;
    CameraRig& operator=(const CameraRig&) = delete;
    ~CameraRig();

    bool Ready() const { return m_ready; }
    const vyx::catalogue::ModelRow& Model() const { return *m_model; }
    std::wstring FriendlyName() const { return m_model->friendlyName; }
    const std::wstring& InstanceId() const { return m_instanceId; }

    // Creates the filter the way an application does: through the device moniker.
    Microsoft::WRL::ComPtr<IBaseFilter> CreateFilter() const;

    // Sets one of the simulator's behaviour switches on this camera.
    void SetSwitch(const wchar_t* name, DWORD value) const;

private:
    const vyx::catalogue::ModelRow* m_model = nullptr;
    std::wstring m_instanceId;
    bool m_plugged = false;
    bool m_ready = false;
};

// The per-user settings file of the filter builds.
std::wstring SettingsFilePath();

}  // namespace vyx::vyxcap::test
