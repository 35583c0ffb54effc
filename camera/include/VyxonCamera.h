// VyxonCamera: the camera maker's SDK interface (VyxonCamera.dll, linked by name).
// The maker's header, frozen: not ours to change. Our simulator (camera/sim/) implements it.
// Every method returns true on success unless stated otherwise; out-values are written
// only on success. All methods may be called from several threads at once.
#pragma once

#include <cstdint>

#ifdef VYXONCAMERA_BUILD
#define VYXONCAMERA_API __declspec(dllexport)
#else
#define VYXONCAMERA_API __declspec(dllimport)
#endif

enum ImageFormat : std::int32_t {
    IMG_RAW8 = 0,   // 8-bit raw (Bayer mosaic on colour sensors), bottom-up rows
    IMG_RAW16 = 1,  // 16-bit raw, little-endian, top-down rows
    IMG_RGB24 = 2,  // B, G, R bytes, bottom-up rows
    IMG_Y8 = 3,     // 8-bit luminance, bottom-up rows
    IMG_YUY2 = 4,   // packed Y0 U Y1 V, top-down rows
};

enum GuideDirection : std::int32_t {
    GUIDE_NORTH = 0,
    GUIDE_SOUTH = 1,
    GUIDE_WEST = 2,
    GUIDE_EAST = 3,
};

struct CameraProp {
    char modelName[64];
    std::int32_t vendorId;
    std::int32_t productId;
    std::int32_t cameraId;          // pass to CreateCamera
    bool isColorCamera;
    bool hasST4Port;
    bool hasCooler;
    bool isUsb3Host;
    bool hasHardwareBin;
    char extraInfo[64];             // shown in parentheses beside the model name
    std::int32_t supportedBins[16];     // ends at the first 0
    std::int32_t supportedFormats[8];   // ImageFormat values; ends at the first -1
};

class VYXONCAMERA_API VyxonCamera {
public:
    // Enumeration of the connected cameras.
    static int GetCamerasCount();
    static bool GetCameraProp(int index, CameraProp* prop);
    static VyxonCamera* CreateCamera(int cameraId);  // null when no such camera

    // Life: OpenCamera ... CloseCamera, then Destory frees the object.
    bool OpenCamera();
    bool IsOpened();
    bool GetTheProp(CameraProp* prop);
    bool CloseCamera();
    void Destory();

    // Streaming.
    bool StartVideoStream();
    bool StopVideoStream();
    bool IsDataReady();
    // Copies one frame in the current format and size, at most `bytes` bytes.
    bool GetImageData(unsigned char* buffer, int bytes, int timeoutMs);
    bool GetFrameTime(long long* frameTimeUs, float* framesPerSecond);
    bool GetDroppedFrames(int* dropped);

    // Frame geometry and readout.
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
    bool GetSensorModeInfo(int index, char modeName[64], char description[128]);
    bool SetSensorMode(int index);
    bool GetSensorMode(int* index);

    // Controls; `autoMode` selects the camera's automatic regulation.
    bool SetExposure(int microseconds, bool autoMode);
    bool GetExposure(int* microseconds, bool* autoMode);
    bool SetGain(int gain, bool autoMode);
    bool GetGain(int* gain, bool* autoMode);
    bool SetOffset(int offset);
    bool GetOffset(int* offset);
    bool SetWhiteBalance(int red, int green, int blue, bool autoMode);
    bool GetWhiteBalance(int* red, int* green, int* blue, bool* autoMode);
    bool SetAutoExpMax(int milliseconds);
    bool GetAutoExpMax(int* milliseconds);
    bool SetAutoGainMax(int gain);
    bool GetAutoGainMax(int* gain);
    bool SetTargetBrightness(int brightness);
    bool GetTargetBrightness(int* brightness);
    bool SetUsbBandwidthLimit(int percent);
    bool GetUsbBandwidthLimit(int* percent);
    bool SetFrameRateLimit(int framesPerSecond);  // 0: no limit
    bool GetFrameRateLimit(int* framesPerSecond);
    // Gains for highest dynamic range, high conversion gain, unity gain, lowest read
    // noise, then the four matching offsets.
    bool GetGainsAndOffsets(int* gainHighestDR, int* gainHCG, int* gainUnity, int* gainLowestRN,
                            int* offsetHighestDR, int* offsetHCG, int* offsetUnity, int* offsetLowestRN);

    // Ranges: maximum, minimum, default.
    bool GetExposureRange(int* max, int* min, int* def);
    bool GetGainRange(int* max, int* min, int* def);
    bool GetOffsetRange(int* max, int* min, int* def);
    bool GetAutoExpMaxRange(int* max, int* min, int* def);
    bool GetAutoGainMaxRange(int* max, int* min, int* def);
    bool GetTargetBrightnessRange(int* max, int* min, int* def);
    bool GetUsbBandwidthRange(int* max, int* min, int* def);
    bool GetFrameRateLimitRange(int* max, int* min, int* def);
    bool GetTargetTemperatureRange(int* max, int* min, int* def);
    bool GetWhiteBalanceRange(int* max, int* min, int* defRed, int* defGreen, int* defBlue);

    // ST4 guiding.
    bool GuidePulse(GuideDirection direction, int milliseconds);

    // Cooling (degrees Celsius; powers in percent, 0 to 100).
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

    VyxonCamera(const VyxonCamera&) = delete;
    VyxonCamera& operator=(const VyxonCamera&) = delete;

private:
    class Impl;
    explicit VyxonCamera(Impl* impl);
    ~VyxonCamera();
    Impl* m_impl;
};
