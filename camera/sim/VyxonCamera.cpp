// The exported camera class: enumeration of the connected cameras and a thin shell over
// CameraDevice. Nothing thrown inside crosses the DLL boundary: a failure is `false`.
#include "VyxonCamera.h"

#include <new>
#include <vector>

#include "CameraDevice.h"
#include "CameraList.h"

class VyxonCamera::Impl final : public vyx::sim::CameraDevice {
public:
    using CameraDevice::CameraDevice;
};

namespace {

template <typename Result, typename Call>
Result Guard(Result fallback, Call call) {
    try {
        return call();
    } catch (const std::bad_alloc&) {
        return fallback;
    }
}

}  // namespace

int VyxonCamera::GetCamerasCount() {
    return Guard(0, [] { return static_cast<int>(vyx::sim::ListCameras().size()); });
}

bool VyxonCamera::GetCameraProp(int index, CameraProp* prop) {
    if (!prop || index < 0) return false;
    return Guard(false, [&] {
        const std::vector<vyx::sim::CameraEntry> cameras = vyx::sim::ListCameras();
        if (index >= static_cast<int>(cameras.size())) return false;
        const vyx::sim::CameraEntry& entry = cameras[index];
        vyx::sim::FillCameraProp(entry, vyx::sim::CameraIdOf(entry), vyx::sim::Usb3Link(entry), prop);
        return true;
    });
}

VyxonCamera* VyxonCamera::CreateCamera(int cameraId) {
    if (cameraId <= 0) return nullptr;
    return Guard<VyxonCamera*>(nullptr, [&]() -> VyxonCamera* {
        for (const vyx::sim::CameraEntry& entry : vyx::sim::ListCameras()) {
            if (vyx::sim::CameraIdOf(entry) != cameraId) continue;
            auto impl = std::make_unique<Impl>(entry, cameraId);
            auto* camera = new VyxonCamera(impl.get());
            impl.release();
            return camera;
        }
        return nullptr;
    });
}

VyxonCamera::VyxonCamera(Impl* impl) : m_impl(impl) {}

VyxonCamera::~VyxonCamera() { delete m_impl; }

void VyxonCamera::Destory() { delete this; }

bool VyxonCamera::GetGainsAndOffsets(int* gainHighestDR, int* gainHCG, int* gainUnity, int* gainLowestRN,
                                     int* offsetHighestDR, int* offsetHCG, int* offsetUnity, int* offsetLowestRN) {
    int* gains[4] = {gainHighestDR, gainHCG, gainUnity, gainLowestRN};
    int* offsets[4] = {offsetHighestDR, offsetHCG, offsetUnity, offsetLowestRN};
    for (int i = 0; i < 4; ++i)
        if (!gains[i] || !offsets[i]) return false;
    int g[4];
    int o[4];
    if (!m_impl->GetGainsAndOffsets(g, o)) return false;
    for (int i = 0; i < 4; ++i) {
        *gains[i] = g[i];
        *offsets[i] = o[i];
    }
    return true;
}

bool VyxonCamera::OpenCamera() {
    return Guard(false, [&] { return m_impl->Open(); });
}

bool VyxonCamera::IsOpened() {
    return Guard(false, [&] { return m_impl->IsOpened(); });
}

bool VyxonCamera::GetTheProp(CameraProp* prop) {
    return Guard(false, [&] { return m_impl->GetTheProp(prop); });
}

bool VyxonCamera::CloseCamera() {
    return Guard(false, [&] { return m_impl->Close(); });
}

bool VyxonCamera::StartVideoStream() {
    return Guard(false, [&] { return m_impl->StartVideoStream(); });
}

bool VyxonCamera::StopVideoStream() {
    return Guard(false, [&] { return m_impl->StopVideoStream(); });
}

bool VyxonCamera::IsDataReady() {
    return Guard(false, [&] { return m_impl->IsDataReady(); });
}

bool VyxonCamera::GetImageData(unsigned char* buffer, int bytes, int timeoutMs) {
    return Guard(false, [&] { return m_impl->GetImageData(buffer, bytes, timeoutMs); });
}

bool VyxonCamera::GetFrameTime(long long* frameTimeUs, float* framesPerSecond) {
    return Guard(false, [&] { return m_impl->GetFrameTime(frameTimeUs, framesPerSecond); });
}

bool VyxonCamera::GetDroppedFrames(int* dropped) {
    return Guard(false, [&] { return m_impl->GetDroppedFrames(dropped); });
}

bool VyxonCamera::SetImgSize(int width, int height) {
    return Guard(false, [&] { return m_impl->SetImgSize(width, height); });
}

bool VyxonCamera::GetImgSize(int* width, int* height) {
    return Guard(false, [&] { return m_impl->GetImgSize(width, height); });
}

bool VyxonCamera::SetBin(int bin) {
    return Guard(false, [&] { return m_impl->SetBin(bin); });
}

bool VyxonCamera::GetBin(int* bin) {
    return Guard(false, [&] { return m_impl->GetBin(bin); });
}

bool VyxonCamera::SetImgFormat(ImageFormat format) {
    return Guard(false, [&] { return m_impl->SetImgFormat(format); });
}

bool VyxonCamera::GetImgFormat(ImageFormat* format) {
    return Guard(false, [&] { return m_impl->GetImgFormat(format); });
}

bool VyxonCamera::SetImgStartPos(int x, int y) {
    return Guard(false, [&] { return m_impl->SetImgStartPos(x, y); });
}

bool VyxonCamera::GetImgStartPos(int* x, int* y) {
    return Guard(false, [&] { return m_impl->GetImgStartPos(x, y); });
}

bool VyxonCamera::SetImgFlip(bool horizontal, bool vertical) {
    return Guard(false, [&] { return m_impl->SetImgFlip(horizontal, vertical); });
}

bool VyxonCamera::GetImgFlip(bool* horizontal, bool* vertical) {
    return Guard(false, [&] { return m_impl->GetImgFlip(horizontal, vertical); });
}

bool VyxonCamera::SetHardBinEnable(bool enable) {
    return Guard(false, [&] { return m_impl->SetHardBinEnable(enable); });
}

bool VyxonCamera::GetHardBinEnable(bool* enable) {
    return Guard(false, [&] { return m_impl->GetHardBinEnable(enable); });
}

bool VyxonCamera::SetBinSumEnable(bool enable) {
    return Guard(false, [&] { return m_impl->SetBinSumEnable(enable); });
}

bool VyxonCamera::GetBinSumEnable(bool* enable) {
    return Guard(false, [&] { return m_impl->GetBinSumEnable(enable); });
}

bool VyxonCamera::SetImgHighQualityEnable(bool enable) {
    return Guard(false, [&] { return m_impl->SetImgHighQualityEnable(enable); });
}

bool VyxonCamera::GetImgHighQualityEnable(bool* enable) {
    return Guard(false, [&] { return m_impl->GetImgHighQualityEnable(enable); });
}

int VyxonCamera::GetSensorModeCount() {
    return Guard(0, [&] { return m_impl->GetSensorModeCount(); });
}

bool VyxonCamera::GetSensorModeInfo(int index, char* modeName, char* description) {
    return Guard(false, [&] { return m_impl->GetSensorModeInfo(index, modeName, description); });
}

bool VyxonCamera::SetSensorMode(int index) {
    return Guard(false, [&] { return m_impl->SetSensorMode(index); });
}

bool VyxonCamera::GetSensorMode(int* index) {
    return Guard(false, [&] { return m_impl->GetSensorMode(index); });
}

bool VyxonCamera::SetExposure(int microseconds, bool autoMode) {
    return Guard(false, [&] { return m_impl->SetExposure(microseconds, autoMode); });
}

bool VyxonCamera::GetExposure(int* microseconds, bool* autoMode) {
    return Guard(false, [&] { return m_impl->GetExposure(microseconds, autoMode); });
}

bool VyxonCamera::SetGain(int gain, bool autoMode) {
    return Guard(false, [&] { return m_impl->SetGain(gain, autoMode); });
}

bool VyxonCamera::GetGain(int* gain, bool* autoMode) {
    return Guard(false, [&] { return m_impl->GetGain(gain, autoMode); });
}

bool VyxonCamera::SetOffset(int offset) {
    return Guard(false, [&] { return m_impl->SetOffset(offset); });
}

bool VyxonCamera::GetOffset(int* offset) {
    return Guard(false, [&] { return m_impl->GetOffset(offset); });
}

bool VyxonCamera::SetWhiteBalance(int red, int green, int blue, bool autoMode) {
    return Guard(false, [&] { return m_impl->SetWhiteBalance(red, green, blue, autoMode); });
}

bool VyxonCamera::GetWhiteBalance(int* red, int* green, int* blue, bool* autoMode) {
    return Guard(false, [&] { return m_impl->GetWhiteBalance(red, green, blue, autoMode); });
}

bool VyxonCamera::SetAutoExpMax(int milliseconds) {
    return Guard(false, [&] { return m_impl->SetIntControl(&vyx::sim::CameraSettings::autoExpMaxMs, m_impl->Traits().autoExpMax, milliseconds, true); });
}

bool VyxonCamera::GetAutoExpMax(int* milliseconds) {
    return Guard(false, [&] { return m_impl->GetIntControl(&vyx::sim::CameraSettings::autoExpMaxMs, milliseconds); });
}

bool VyxonCamera::SetAutoGainMax(int gain) {
    return Guard(false, [&] { return m_impl->SetIntControl(&vyx::sim::CameraSettings::autoGainMax, m_impl->Traits().autoGainMax, gain, true); });
}

bool VyxonCamera::GetAutoGainMax(int* gain) {
    return Guard(false, [&] { return m_impl->GetIntControl(&vyx::sim::CameraSettings::autoGainMax, gain); });
}

bool VyxonCamera::SetTargetBrightness(int brightness) {
    return Guard(false, [&] { return m_impl->SetIntControl(&vyx::sim::CameraSettings::targetBrightness, m_impl->Traits().targetBrightness, brightness, true); });
}

bool VyxonCamera::GetTargetBrightness(int* brightness) {
    return Guard(false, [&] { return m_impl->GetIntControl(&vyx::sim::CameraSettings::targetBrightness, brightness); });
}

bool VyxonCamera::SetUsbBandwidthLimit(int percent) {
    return Guard(false, [&] { return m_impl->SetIntControl(&vyx::sim::CameraSettings::usbBandwidth, m_impl->Traits().usbBandwidth, percent, true); });
}

bool VyxonCamera::GetUsbBandwidthLimit(int* percent) {
    return Guard(false, [&] { return m_impl->GetIntControl(&vyx::sim::CameraSettings::usbBandwidth, percent); });
}

bool VyxonCamera::SetFrameRateLimit(int framesPerSecond) {
    return Guard(false, [&] { return m_impl->SetFrameRateLimit(framesPerSecond); });
}

bool VyxonCamera::GetFrameRateLimit(int* framesPerSecond) {
    return Guard(false, [&] { return m_impl->GetIntControl(&vyx::sim::CameraSettings::frameRateLimit, framesPerSecond); });
}

bool VyxonCamera::GetExposureRange(int* max, int* min, int* def) {
    return Guard(false, [&] { return m_impl->GetRange(m_impl->Traits().exposure, max, min, def); });
}

bool VyxonCamera::GetGainRange(int* max, int* min, int* def) {
    return Guard(false, [&] { return m_impl->GetRange(m_impl->Traits().gain, max, min, def); });
}

bool VyxonCamera::GetOffsetRange(int* max, int* min, int* def) {
    return Guard(false, [&] { return m_impl->GetRange(m_impl->Traits().offset, max, min, def); });
}

bool VyxonCamera::GetAutoExpMaxRange(int* max, int* min, int* def) {
    return Guard(false, [&] { return m_impl->GetRange(m_impl->Traits().autoExpMax, max, min, def); });
}

bool VyxonCamera::GetAutoGainMaxRange(int* max, int* min, int* def) {
    return Guard(false, [&] { return m_impl->GetRange(m_impl->Traits().autoGainMax, max, min, def); });
}

bool VyxonCamera::GetTargetBrightnessRange(int* max, int* min, int* def) {
    return Guard(false, [&] { return m_impl->GetRange(m_impl->Traits().targetBrightness, max, min, def); });
}

bool VyxonCamera::GetUsbBandwidthRange(int* max, int* min, int* def) {
    return Guard(false, [&] { return m_impl->GetRange(m_impl->Traits().usbBandwidth, max, min, def); });
}

bool VyxonCamera::GetFrameRateLimitRange(int* max, int* min, int* def) {
    return Guard(false, [&] { return m_impl->GetFrameRateLimitRange(max, min, def); });
}

bool VyxonCamera::GetTargetTemperatureRange(int* max, int* min, int* def) {
    return Guard(false, [&] { return m_impl->GetRange(m_impl->Traits().targetTemperature, max, min, def); });
}

bool VyxonCamera::GetWhiteBalanceRange(int* max, int* min, int* defRed, int* defGreen, int* defBlue) {
    return Guard(false, [&] { return m_impl->GetWhiteBalanceRange(max, min, defRed, defGreen, defBlue); });
}

bool VyxonCamera::GuidePulse(GuideDirection direction, int milliseconds) {
    return Guard(false, [&] { return m_impl->GuidePulse(direction, milliseconds); });
}

bool VyxonCamera::SetCoolerOn(bool on) {
    return Guard(false, [&] { return m_impl->SetCoolerOn(on); });
}

bool VyxonCamera::GetCoolerOn(bool* on) {
    return Guard(false, [&] { return m_impl->GetCoolerOn(on); });
}

bool VyxonCamera::GetCoolerPower(int* percent) {
    return Guard(false, [&] { return m_impl->GetCoolerPower(percent); });
}

bool VyxonCamera::GetTemperature(float* celsius) {
    return Guard(false, [&] { return m_impl->GetTemperature(celsius); });
}

bool VyxonCamera::SetTargetTemperature(int celsius) {
    return Guard(false, [&] { return m_impl->SetTargetTemperature(celsius); });
}

bool VyxonCamera::GetTargetTemperature(int* celsius) {
    return Guard(false, [&] { return m_impl->GetTargetTemperature(celsius); });
}

bool VyxonCamera::SetFanPower(int percent) {
    return Guard(false, [&] { return m_impl->SetFanPower(percent); });
}

bool VyxonCamera::GetFanPower(int* percent) {
    return Guard(false, [&] { return m_impl->GetFanPower(percent); });
}

bool VyxonCamera::SetLensHeaterPower(int percent) {
    return Guard(false, [&] { return m_impl->SetLensHeaterPower(percent); });
}

bool VyxonCamera::GetLensHeaterPower(int* percent) {
    return Guard(false, [&] { return m_impl->GetLensHeaterPower(percent); });
}

