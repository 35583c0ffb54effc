#include "LibraryCamera.h"

#include <mferror.h>

#include <algorithm>
#include <climits>

#include "CameraSettings.h"
#include "ControlMapping.h"

namespace vyx::mf {
namespace {

// How long a read may exceed the frame time, and how often a wait for a frame asks whether
// the camera is still plugged in: an unplug is reported within about this, not after reads.
constexpr LONGLONG kReadTimeoutMarginMs = 500;
constexpr LONGLONG kPresencePollMs = 100;
// Without a usable range from the camera: what the filter's capabilities assume too.
constexpr FrameRates kFallbackFrameRates = {1, 2000};

// The settings file's format, bin and size keys belong to the DirectShow pin's choices; the
// media source takes those from the media type the application picks, so it ignores them.
class IgnoredInstance final : public ICameraInstance {
public:
    explicit IgnoredInstance(VyxonCamera* camera) : m_camera(camera) {}
    STDMETHODIMP QueryInterface(REFIID, void** object) override {
        if (object) *object = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 1; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP GetCamera(VyxonCamera** camera) override {
        if (!camera) return E_POINTER;
        *camera = m_camera;
        return S_OK;
    }
    STDMETHODIMP SetCamera(VyxonCamera*) override { return S_OK; }
    STDMETHODIMP GetImgSizeIndex(int* index) override {
        if (!index) return E_POINTER;
        *index = 0;
        return S_OK;
    }
    STDMETHODIMP SetImgSizeIndex(int) override { return S_OK; }
    STDMETHODIMP SetImgFormat(ImageFormat) override { return S_OK; }
    STDMETHODIMP SetBin(int) override { return S_OK; }

private:
    VyxonCamera* m_camera;
};

bool FindModelCamera(const ModelDescriptor& model, CameraProp* found) {
    const int count = VyxonCamera::GetCamerasCount();
    for (int index = 0; index < count; ++index) {
        CameraProp prop{};
        if (!VyxonCamera::GetCameraProp(index, &prop)) continue;
        if (prop.vendorId == model.vendorId && prop.productId == model.productId) {
            *found = prop;
            return true;
        }
    }
    return false;
}

}  // namespace

HRESULT OpenSourceCamera(const ModelDescriptor& model, std::unique_ptr<SourceCamera>* camera) {
    if (!camera) return E_POINTER;
    camera->reset();
    CameraProp found{};
    if (!FindModelCamera(model, &found)) return MF_E_NO_CAPTURE_DEVICES_AVAILABLE;
    auto opened = std::make_unique<LibraryCamera>(model, found);
    if (!opened->Open()) return MF_E_VIDEO_DEVICE_LOCKED;
    *camera = std::move(opened);
    return S_OK;
}

LibraryCamera::LibraryCamera(const ModelDescriptor& model, const CameraProp& found) : m_model(model), m_found(found) {}

LibraryCamera::~LibraryCamera() {
    m_controls.camera = nullptr;
    m_camera.Reset();
}

bool LibraryCamera::Open() {
    if (!m_camera.Open(m_found.cameraId)) return false;
    VyxonCamera* camera = m_camera.Get();
    camera->GetTheProp(&m_prop);
    m_controls.camera = camera;
    m_controls.color = m_prop.isColorCamera;
    if (m_prop.isColorCamera) camera->SetWhiteBalance(0, 0, 0, true);  // as the filter starts a colour camera

    int exposure = 0, gain = 0, bin = 1, width = 0, height = 0;
    bool exposureAuto = false, gainAuto = false;
    camera->GetExposure(&exposure, &exposureAuto);
    camera->GetGain(&gain, &gainAuto);
    camera->GetBin(&bin);
    camera->GetImgSize(&width, &height);
    m_controls.exposureUs = exposure;
    m_controls.exposureAuto = exposureAuto;
    m_controls.exposureLog2 = ExposureToLog2Seconds(exposure);
    m_controls.gain = gain;
    m_controls.gainAuto = gainAuto;
    m_controls.bin = bin;
    m_controls.width = width;
    m_controls.height = height;
    int* presets = m_controls.gainsAndOffsets;
    camera->GetGainsAndOffsets(&presets[0], &presets[1], &presets[2], &presets[3], &presets[4], &presets[5],
                               &presets[6], &presets[7]);

    m_settingsPath = DetermineSettingsPath();
    if (!m_settingsPath.empty()) {
        IgnoredInstance instance(camera);
        LoadSettings(m_settingsPath, m_model, *camera, m_controls.gainsAndOffsets, instance);
    }
    return true;
}

FrameRates LibraryCamera::FrameRateRange() {
    std::lock_guard<std::mutex> lock(m_lock);
    int maximum = 0, minimum = 0, defaultRate = 0;
    if (!m_controls.camera->GetFrameRateLimitRange(&maximum, &minimum, &defaultRate) || minimum < 1 ||
        maximum < minimum)
        return kFallbackFrameRates;
    return {minimum, maximum};
}

HRESULT LibraryCamera::Configure(const CameraMode& mode) {
    std::lock_guard<std::mutex> lock(m_lock);
    VyxonCamera* camera = m_controls.camera;
    if (!camera->SetBin(mode.bin) || !camera->SetImgSize(mode.width, mode.height) ||
        !camera->SetImgFormat(mode.imageFormat))
        return MF_E_INVALIDMEDIATYPE;
    camera->SetFrameRateLimit(mode.framesPerSecond);
    m_controls.bin = mode.bin;
    m_controls.width = mode.width;
    m_controls.height = mode.height;
    m_controls.imageFormat = mode.imageFormat;
    return S_OK;
}

HRESULT LibraryCamera::StartStream() {
    m_interrupted = false;
    return m_camera.Get()->StartVideoStream() ? S_OK : MF_E_HW_MFT_FAILED_START_STREAMING;
}

void LibraryCamera::StopStream() {
    m_interrupted = true;
    m_camera.Get()->StopVideoStream();
}

HRESULT LibraryCamera::ReadFrame(BYTE* buffer, std::size_t bytes, LONGLONG* duration) {
    if (!buffer || !duration) return E_POINTER;
    VyxonCamera* camera = m_camera.Get();
    long long frameTimeUs = 0;
    float framesPerSecond = 0;
    camera->GetFrameTime(&frameTimeUs, &framesPerSecond);
    *duration = 10 * std::max<LONGLONG>(frameTimeUs, m_controls.exposureUs);

    // Wait in 1 ms steps for at most twice the frame time, then read regardless; the waits
    // watch for StopStream and, now and then, for the camera's removal.
    const LONGLONG frameTimeMs = frameTimeUs / 1000;
    for (LONGLONG waited = 0; !camera->IsDataReady() && waited <= 2 * frameTimeMs; ++waited) {
        if (m_interrupted) return S_FALSE;
        if (waited % kPresencePollMs == kPresencePollMs - 1 && !Present())
            return MF_E_VIDEO_RECORDING_DEVICE_INVALIDATED;
        Sleep(1);
    }
    if (m_interrupted) return S_FALSE;
    const int timeoutMs = static_cast<int>(std::min<LONGLONG>(frameTimeMs + kReadTimeoutMarginMs, INT_MAX));
    const int length = static_cast<int>(std::min<std::size_t>(bytes, INT_MAX));
    if (camera->GetImageData(buffer, length, timeoutMs)) return S_OK;
    if (m_interrupted) return S_FALSE;
    return Present() ? E_FAIL : MF_E_VIDEO_RECORDING_DEVICE_INVALIDATED;
}

bool LibraryCamera::Present() {
    const int count = VyxonCamera::GetCamerasCount();
    for (int index = 0; index < count; ++index) {
        CameraProp prop{};
        if (VyxonCamera::GetCameraProp(index, &prop) && prop.cameraId == m_found.cameraId &&
            prop.vendorId == m_found.vendorId && prop.productId == m_found.productId)
            return true;
    }
    return false;
}

HRESULT LibraryCamera::GetControlRange(ControlSet set, long property, ControlRange* range) {
    if (!range) return E_POINTER;
    std::lock_guard<std::mutex> lock(m_lock);
    ControlRange r{};
    const HRESULT hr = set == ControlSet::VideoProcAmp
                           ? VideoProcAmpGetRange(m_controls, property, &r.min, &r.max, &r.step, &r.defaultValue, &r.caps)
                           : CameraControlGetRange(m_controls, Sensor(), property, &r.min, &r.max, &r.step,
                                                   &r.defaultValue, &r.caps);
    if (SUCCEEDED(hr)) *range = r;
    return hr;
}

HRESULT LibraryCamera::GetControl(ControlSet set, long property, long* value, long* flags) {
    std::lock_guard<std::mutex> lock(m_lock);
    return set == ControlSet::VideoProcAmp ? VideoProcAmpGet(m_controls, property, value, flags)
                                           : CameraControlGet(m_controls, Sensor(), property, value, flags);
}

HRESULT LibraryCamera::SetControl(ControlSet set, long property, long value, long flags) {
    std::lock_guard<std::mutex> lock(m_lock);
    return set == ControlSet::VideoProcAmp ? VideoProcAmpSet(m_controls, property, value, flags)
                                           : CameraControlSet(m_controls, Sensor(), property, value, flags);
}

void LibraryCamera::SaveSettings() {
    std::lock_guard<std::mutex> lock(m_lock);
    if (!m_settingsPath.empty()) vyx::SaveSettings(m_settingsPath, m_model, *m_controls.camera);
}

}  // namespace vyx::mf
