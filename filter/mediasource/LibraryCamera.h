#pragma once
// SourceCamera over the camera library, the filter's camera owner (OpenCamera), its
// settings file and its control mapping: the one place where the media source touches
// the camera.
//
// Threads: m_lock serialises Configure, the controls and SaveSettings with each other; it
// guards m_controls (the mapping's cached values, camera pointer and frame geometry). The
// pump's StartStream and ReadFrame run on its own thread without the lock, while the
// configuration stands still; m_interrupted lets StopStream, from any thread, end a read.
#include <windows.h>
#include <cguid.h>

#include <atomic>
#include <mutex>
#include <string>

#include "OpenCamera.h"
#include "PinState.h"
#include "SourceCamera.h"

namespace vyx::mf {

class LibraryCamera final : public SourceCamera {
public:
    // `found` is the enumeration record of the camera to open.
    LibraryCamera(const ModelDescriptor& model, const CameraProp& found);
    ~LibraryCamera() override;

    // Opens the camera and applies the settings file; false when the library cannot open it.
    bool Open();

    const CameraProp& Description() const override { return m_prop; }
    FrameRates FrameRateRange() override;
    HRESULT Configure(const CameraMode& mode) override;
    HRESULT StartStream() override;
    void StopStream() override;
    HRESULT ReadFrame(BYTE* buffer, std::size_t bytes, LONGLONG* duration) override;
    bool Present() override;
    HRESULT GetControlRange(ControlSet set, long property, ControlRange* range) override;
    HRESULT GetControl(ControlSet set, long property, long* value, long* flags) override;
    HRESULT SetControl(ControlSet set, long property, long value, long flags) override;
    void SaveSettings() override;

private:
    Resolution Sensor() const { return {m_model.sensorWidth, m_model.sensorHeight}; }

    const ModelDescriptor& m_model;
    const CameraProp m_found;  // as enumerated: its camera ID tells whether it is still there
    CameraProp m_prop{};       // as the open camera describes itself
    OpenCamera m_camera;
    std::wstring m_settingsPath;  // empty: no settings file
    std::mutex m_lock;
    PinState m_controls;
    std::atomic<bool> m_interrupted{false};
};

}  // namespace vyx::mf
