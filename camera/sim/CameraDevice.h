// One simulated camera object: its settings and controls, thermal and guiding state,
// open/close, and its video stream. Every public method of VyxonCamera lands here.
//
// Threads: any thread may call any method at once (the filter's streaming thread, its
// control interfaces, property pages); the stream's producer thread, and StartVideoStream
// for the first frame, call PrepareFrame and FramePublished. m_lock guards m_open, m_settings, m_cooler, m_thermalTime,
// m_guide, the drift, m_stream's existence, m_droppedAtStop and m_stops. The stream has its own lock; it is
// never taken while m_lock is held, except by Invalidate and Start, which wait on no
// frame. Reading a frame (waiting for the camera) happens without m_lock.
#pragma once

#include <windows.h>

#include <chrono>
#include <memory>
#include <mutex>
#include <string>

#include "CameraList.h"
#include "CameraSettings.h"
#include "CoolerModel.h"
#include "DeviceSwitches.h"
#include "FrameStream.h"
#include "GuideState.h"
#include "SkyField.h"
#include "UniqueResource.h"

namespace vyx::sim {

class CameraDevice : public FrameSource {
public:
    CameraDevice(const CameraEntry& entry, int cameraId);
    ~CameraDevice() override;

    bool Open();
    bool IsOpened();
    bool GetTheProp(CameraProp* prop);
    bool Close();

    bool StartVideoStream();
    bool StopVideoStream();
    bool IsDataReady();
    bool GetImageData(unsigned char* buffer, int bytes, int timeoutMs);
    bool GetFrameTime(long long* frameTimeUs, float* framesPerSecond);
    bool GetDroppedFrames(int* dropped);

    bool SetImgSize(int width, int height);
    bool GetImgSize(int* width, int* height);
    bool SetBin(int bin);
    bool GetBin(int* bin);
    bool SetImgFormat(ImageFormat format);
    bool GetImgFormat(ImageFormat* format);
    bool SetImgStartPos(int x, int y);
    bool GetImgStartPos(int* x, int* y);
    bool SetImgFlip(bool horizontal, bool vertical);
    bool GetImgFlip(bool* horizontal, bool* vertical);
    bool SetHardBinEnable(bool enable);
    bool GetHardBinEnable(bool* enable);
    bool SetBinSumEnable(bool enable);
    bool GetBinSumEnable(bool* enable);
    bool SetImgHighQualityEnable(bool enable);
    bool GetImgHighQualityEnable(bool* enable);
    int GetSensorModeCount();
    bool GetSensorModeInfo(int index, char* modeName, char* description);
    bool SetSensorMode(int index);
    bool GetSensorMode(int* index);

    bool SetExposure(int microseconds, bool autoMode);
    bool GetExposure(int* microseconds, bool* autoMode);
    bool SetGain(int gain, bool autoMode);
    bool GetGain(int* gain, bool* autoMode);
    bool SetOffset(int offset);
    bool GetOffset(int* offset);
    bool SetWhiteBalance(int red, int green, int blue, bool autoMode);
    bool GetWhiteBalance(int* red, int* green, int* blue, bool* autoMode);
    bool SetIntControl(int CameraSettings::*field, const ControlRange& range, int value, bool invalidates);
    bool GetIntControl(int CameraSettings::*field, int* value);
    bool SetFrameRateLimit(int framesPerSecond);
    bool GetGainsAndOffsets(int* gains, int* offsets);

    bool GetRange(const ControlRange& range, int* max, int* min, int* def);
    bool GetFrameRateLimitRange(int* max, int* min, int* def);
    bool GetWhiteBalanceRange(int* max, int* min, int* defRed, int* defGreen, int* defBlue);

    bool GuidePulse(GuideDirection direction, int milliseconds);

    bool SetCoolerOn(bool on);
    bool GetCoolerOn(bool* on);
    bool GetCoolerPower(int* percent);
    bool GetTemperature(float* celsius);
    bool SetTargetTemperature(int celsius);
    bool GetTargetTemperature(int* celsius);
    bool SetFanPower(int percent);
    bool GetFanPower(int* percent);
    bool SetLensHeaterPower(int percent);
    bool GetLensHeaterPower(int* percent);

    const ModelTraits& Traits() const { return m_traits; }

    // FrameSource, on the producer thread.
    void PrepareFrame(FrameJob* job, long long* frameTimeUs, bool* noPacing) override;
    void FramePublished(const FrameJob& job, const FrameStats& stats) override;

private:
    using Clock = std::chrono::steady_clock;

    double Seconds(Clock::time_point t) const;
    // Open and still on the bus: a USB camera that is gone answers no getter.
    bool AnswersLocked() const;
    bool Usb3Link() const;
    void UpdateThermalLocked(Clock::time_point now);
    bool StartGuidePulse(GuideDirection direction, int milliseconds);
    CoolerInputs CoolerInputsLocked() const;
    // After a change that affects frames: restart the exposure of a running stream.
    void InvalidateLocked();
    // Applies a change of settings under the lock; false (nothing changed) when closed.
    template <typename Change>
    bool Modify(Change change, bool invalidates);

    const CameraEntry m_entry;
    const int m_cameraId;
    const ModelTraits m_traits;
    const SkyField m_sky;
    const Clock::time_point m_epoch;
    DeviceSwitches m_switches;  // thread-safe on its own
    vyx::win::UniqueHandle m_openMutex;  // held while open: a camera opens in one place at a time

    std::mutex m_lock;
    bool m_open = false;
    CameraSettings m_settings;
    CoolerModel m_cooler;
    Clock::time_point m_thermalTime;
    GuideState m_guide;
    double m_driftDx = 0;  // sensor pixels the field has drifted
    double m_driftDy = 0;
    double m_driftTime = 0;  // seconds since m_epoch of the last drift update
    // Shared with readers, which wait on it without m_lock.
    std::shared_ptr<FrameStream> m_stream;
    int m_droppedAtStop = 0;
    unsigned m_stops = 0;  // StopVideoStream calls, so a start that rendered meanwhile yields
};

}  // namespace vyx::sim
