#include "CaptureCore.h"

#include <algorithm>
#include <climits>
#include <new>

#include "CameraSettings.h"
#include "OutputFormats.h"
#include "Trace.h"

namespace vyx {
namespace {
constexpr LONGLONG kReadTimeoutMarginMs = 500;
// While waiting for a frame, how often the core asks whether the camera is still there: an
// unplug is then reported within about this, whatever the frame time.
constexpr ULONGLONG kPresenceLookMs = 100;
// A pause waits this long for a sample being delivered; a paused peer may hold it longer.
constexpr std::chrono::milliseconds kPauseDeliveryWait{200};

// Output format recorded for each image format; 8-bit raw and 8-bit mono share RGB8.
constexpr std::int32_t kOutputForImageFormat[] = {kOutputRGB8, kOutputY16, kOutputRGB24, kOutputRGB8, kOutputYUY2};

bool ListsBin(const CameraProp& prop, std::int32_t bin) {
    for (std::int32_t listed : prop.supportedBins) {
        if (listed == 0) break;
        if (listed == bin) return true;
    }
    return false;
}

// The settings file's format, bin and size go through the core's own setters, so its
// record and negotiation follow them.
class CoreSetters : public ConfigurationSetters {
public:
    explicit CoreSetters(CaptureCore& core) : m_core(core) {}
    void SelectImageFormat(ImageFormat format) override { m_core.SelectImageFormat(format); }
    void SelectBin(int bin) override { m_core.SelectBin(bin); }
    void SelectResolution(int index) override { m_core.SelectResolution(index); }

private:
    CaptureCore& m_core;
};
}  // namespace

bool CaptureCore::StreamCamera::StartStream() {
    VyxonCamera* camera = m_core.m_streamCamera;
    return camera && camera->StartVideoStream();
}

void CaptureCore::StreamCamera::StopStream() {
    if (VyxonCamera* camera = m_core.m_streamCamera) camera->StopVideoStream();
}

CaptureCore::CaptureCore(const ModelDescriptor& model)
    : m_model(model),
      m_formats(model.resolutions, model.resolutionCount),
      m_controls(model.sensorWidth, model.sensorHeight, [this] {
          return m_session.Locked([&] { return FrameGeometry{m_config.bin, m_config.width, m_config.height}; });
      }) {}

CaptureCore::~CaptureCore() {
    // Saved before the stream stops and the camera closes, so the file holds what the user
    // last saw.
    SaveSettings();
}

CoreStatus CaptureCore::Open() {
    [[maybe_unused]] const char* label = "CVCameraStream::CVCameraStream";
    try {
        const int count = VyxonCamera::GetCamerasCount();
        CameraProp found{};
        bool matched = false;
        for (int index = 0; index < count && !matched; ++index) {
            CameraProp prop{};
            VyxonCamera::GetCameraProp(index, &prop);
            prop.modelName[sizeof prop.modelName - 1] = '\0';
            VYX_TRACE(label, "Find Camera:%s\n", prop.modelName);
            if (prop.vendorId == m_model.vendorId && prop.productId == m_model.productId) {
                found = prop;
                matched = true;
            }
        }
        if (!matched) return CoreStatus::NoCamera;

        VYX_TRACE(label, "Create Camera: %s\n", found.modelName);
        VyxonCamera* camera = VyxonCamera::CreateCamera(found.cameraId);
        if (!camera) return CoreStatus::OpenFailed;
        if (!camera->OpenCamera()) {
            camera->Destory();
            return CoreStatus::OpenFailed;
        }
        // Owned from here on: nothing was current, so taking it needs no memory.
        m_session.Configure([&] {
            m_owner.Replace(camera);
            return CoreStatus::Ok;
        });
        const CoreStatus status = TakeCamera(camera);
        if (status != CoreStatus::Ok) return status;

        m_session.Configure([&] {
            int bin = 1, width = 0, height = 0;
            camera->GetImgSize(&width, &height);
            camera->GetBin(&bin);
            m_config = StreamConfiguration{};
            m_config.bin = bin;
            m_config.width = width;
            m_config.height = height;
            if (m_prop.isColorCamera) {
                m_config.imageFormat = IMG_RGB24;
                m_config.outputFormatIndex = kOutputRGB24;
                camera->SetWhiteBalance(0, 0, 0, true);
            } else {
                m_config.imageFormat = IMG_RAW8;
                m_config.outputFormatIndex = kOutputRGB8;
            }
            camera->SetImgFormat(static_cast<ImageFormat>(m_config.imageFormat));
            std::int32_t* p = m_presets;
            camera->GetGainsAndOffsets(&p[0], &p[1], &p[2], &p[3], &p[4], &p[5], &p[6], &p[7]);
            return CoreStatus::Ok;
        });

        m_settingsPath = DetermineSettingsPath();
        if (!m_settingsPath.empty()) ApplySettings();
        return CoreStatus::Ok;
    } catch (const std::bad_alloc&) {
        return CoreStatus::OutOfMemory;
    }
}

void CaptureCore::ApplySettings() {
    VyxonCamera* camera = Camera();
    CoreSetters setters(*this);
    LoadSettings(m_settingsPath, m_model, *camera, m_presets, setters);
    // The file sets the exposure and gain on the camera directly: the controls start from
    // what it left in force.
    m_controls.Attach(camera, ControlCache::ReadFrom(*camera));
}

CoreStatus CaptureCore::TakeCamera(VyxonCamera* camera) {
    try {
        return m_session.Configure([&] {
            // Everything is read before anything changes, so a failure leaves the current
            // camera as it was.
            CameraProp prop{};
            if (camera) camera->GetTheProp(&prop);
            FormatList formats(m_model.resolutions, m_model.resolutionCount);
            if (camera) formats.Build(prop);
            const ControlCache cache = camera ? ControlCache::ReadFrom(*camera) : ControlCache{};
            if (!m_owner.Replace(camera)) return CoreStatus::OutOfMemory;
            m_prop = prop;
            m_identity = CameraIdentity::Of(prop);
            m_formats = std::move(formats);
            m_controls.Attach(camera, cache);
            return CoreStatus::Ok;
        });
    } catch (const std::bad_alloc&) {
        return CoreStatus::OutOfMemory;
    }
}

CoreStatus CaptureCore::ReplaceCamera(VyxonCamera* camera) {
    return TakeCamera(camera);
}

CameraIdentity CaptureCore::Identity() const {
    return m_session.Locked([&] { return m_identity; });
}

CameraProp CaptureCore::Properties() const {
    return m_session.Locked([&] { return m_prop; });
}

VyxonCamera* CaptureCore::Camera() const {
    return m_session.Locked([&] { return m_owner.Current(); });
}

bool CaptureCore::CameraOpen() const {
    VyxonCamera* camera = Camera();
    return camera && camera->IsOpened();
}

FrameRateRange CaptureCore::FrameRates() const {
    VyxonCamera* camera = Camera();
    int maxFps = 0, minFps = 0, defaultFps = 0;
    const bool read = camera && camera->GetFrameRateLimitRange(&maxFps, &minFps, &defaultFps);
    return UsableFrameRateRange(read, maxFps, minFps);
}

std::int64_t CaptureCore::CurrentFrameDuration() const {
    std::int64_t duration = m_session.LastSampleDuration();
    if (duration <= 0) duration = TimingOf(Camera()).duration;
    // Applications divide by it.
    return duration > 0 ? duration : FastestFrameInterval(FrameRates());
}

CaptureCore::FrameTiming CaptureCore::TimingOf(VyxonCamera* camera) const {
    long long frameTimeUs = 0;
    float framesPerSecond = 0;
    if (!camera || !camera->GetFrameTime(&frameTimeUs, &framesPerSecond)) frameTimeUs = 0;
    int exposureUs = 0;
    bool automatic = false;
    // The pages and the settings file set it on the camera directly, so the camera knows best.
    if (!camera || !camera->GetExposure(&exposureUs, &automatic)) exposureUs = m_controls.Cached().exposureUs;
    return {frameTimeUs, 10 * std::max<std::int64_t>(frameTimeUs, exposureUs)};
}

std::int32_t CaptureCore::DroppedFrames() const {
    VyxonCamera* camera = Camera();
    int count = 0;
    if (camera) camera->GetDroppedFrames(&count);
    return count;
}

StreamConfiguration CaptureCore::Configuration() const {
    return m_session.Locked([&] { return m_config; });
}

CoreStatus CaptureCore::SelectResolution(std::int32_t index) {
    return Configure([&](CoreChange& change) {
        // Compared unsigned, so a negative index is out of range too.
        if (static_cast<unsigned>(index) > static_cast<unsigned>(m_model.resolutionCount - 1))
            return CoreStatus::InvalidArgument;
        if (!change.camera) return CoreStatus::CameraRefused;
        const Resolution size = FrameSizeAtBin(m_model.resolutions[index], change.config.bin);
        if (!change.camera->SetImgSize(size.width, size.height)) return CoreStatus::CameraRefused;
        change.config.resolutionIndex = index;
        change.config.width = size.width;
        change.config.height = size.height;
        change.config.changed = true;
        return CoreStatus::Ok;
    });
}

CoreStatus CaptureCore::SelectImageFormat(ImageFormat format) {
    return Configure([&](CoreChange& change) {
        if (!change.camera || !change.camera->SetImgFormat(format)) return CoreStatus::CameraRefused;
        change.config.changed = true;
        change.config.formatLocked = true;
        change.config.imageFormat = format;
        // Any other format the camera accepts keeps the output format as it was.
        if (format >= IMG_RAW8 && format <= IMG_YUY2) change.config.outputFormatIndex = kOutputForImageFormat[format];
        return CoreStatus::Ok;
    });
}

CoreStatus CaptureCore::SelectBin(std::int32_t bin) {
    return Configure([&](CoreChange& change) {
        if (bin <= 0 || !ListsBin(m_prop, bin)) return CoreStatus::InvalidArgument;
        if (!change.camera) return CoreStatus::CameraRefused;
        const std::int32_t index = change.config.resolutionIndex;
        const Resolution entry =
            index >= 0 && index < m_model.resolutionCount ? m_model.resolutions[index] : m_model.resolutions[0];
        const Resolution size = FrameSizeAtBin(entry, bin);
        // A bin change the camera accepted stays even when the size is then refused.
        if (!change.camera->SetBin(bin) || !change.camera->SetImgSize(size.width, size.height))
            return CoreStatus::CameraRefused;
        change.config.bin = bin;
        change.config.width = size.width;
        change.config.height = size.height;
        change.config.changed = true;
        return CoreStatus::Ok;
    });
}

CoreStatus CaptureCore::ApplyFormat(const FormatEntry& entry, std::int32_t width, std::int32_t height,
                                    bool intervalRequested, std::int64_t interval) {
    return Configure([&](CoreChange& change) {
        VyxonCamera* camera = change.camera;
        if (!camera || !camera->IsOpened()) return CoreStatus::NoCamera;
        if (!camera->SetBin(entry.bin) || !camera->SetImgSize(width, height) ||
            !camera->SetImgFormat(static_cast<ImageFormat>(entry.imageFormat)))
            return CoreStatus::CameraRefused;
        std::int32_t limit = 0;  // no frame-rate limit
        if (intervalRequested) {
            int maxFps = 0, minFps = 0, defaultFps = 0;
            const bool read = camera->GetFrameRateLimitRange(&maxFps, &minFps, &defaultFps);
            limit = FrameRateLimitFor(interval, read, maxFps, minFps);
        }
        camera->SetFrameRateLimit(limit);
        change.config.Record(entry, width, height);
        change.config.requestedInterval = interval;
        m_applied = entry;
        m_appliedWidth = width;
        m_appliedHeight = height;
        m_appliedLimit = limit;
        m_hasApplied = true;
        m_appliedTo = camera;
        return CoreStatus::Ok;
    });
}

CoreStatus CaptureCore::BeginStream() {
    // Ended by EndStream, which follows a failed start as well.
    m_timerPeriod.Begin();
    const CoreStatus status = m_session.Locked([&] {
        VyxonCamera* camera = m_owner.Current();
        if (!camera || !camera->IsOpened()) return CoreStatus::NoCamera;
        if (m_hasApplied) {
            // A replaced camera starts in its own geometry, and a change not followed by a
            // connection left the camera in another: frames must fill samples exactly.
            int bin = 0, width = 0, height = 0;
            ImageFormat format = IMG_RAW8;
            const bool inForce = m_appliedTo == camera && camera->GetBin(&bin) && camera->GetImgSize(&width, &height) &&
                                 camera->GetImgFormat(&format) && bin == m_applied.bin && width == m_appliedWidth &&
                                 height == m_appliedHeight && format == m_applied.imageFormat;
            if (!inForce) {
                if (!camera->SetBin(m_applied.bin) || !camera->SetImgSize(m_appliedWidth, m_appliedHeight) ||
                    !camera->SetImgFormat(static_cast<ImageFormat>(m_applied.imageFormat)))
                    return CoreStatus::CameraRefused;
                camera->SetFrameRateLimit(m_appliedLimit);
                m_appliedTo = camera;
            }
            m_config.Record(m_applied, m_appliedWidth, m_appliedHeight);
        }
        m_streamCamera = camera;
        m_streamIdentity = m_identity;
        return CoreStatus::Ok;
    });
    if (status == CoreStatus::Ok) m_session.StartStream();
    return status;
}

void CaptureCore::Pause() {
    m_session.Pause(kPauseDeliveryWait);
}

void CaptureCore::EndStream() {
    m_session.End();
    m_session.Locked([&] {
        // Negotiation offers the whole list again once streaming stops.
        m_config.changed = false;
        m_config.formatLocked = false;
    });
    SaveSettings();
    m_timerPeriod.End();
}

FrameRead CaptureCore::ReadFrame(std::uint8_t* buffer, std::uint32_t length, HANDLE wake, FrameInfo* frame) {
    std::uint64_t generation = 0;
    switch (m_session.WaitForStream(wake, &generation)) {
        case CaptureSession::Wait::GaveWay: return FrameRead::GaveWay;
        // A camera unplugged while it started refuses the start: it is lost, not failing.
        case CaptureSession::Wait::Refused: return StreamCameraListed() ? FrameRead::Failed : FrameRead::Lost;
        case CaptureSession::Wait::Ready: break;
    }
    VyxonCamera* camera = m_streamCamera;
    const FrameTiming timing = TimingOf(camera);
    frame->generation = generation;
    frame->duration = timing.duration;
    if (!camera || !camera->IsOpened()) return FrameRead::NotOpen;

    // Poll in 1 ms steps for at most twice the frame time, then read regardless. The waits
    // watch the state changes and `wake`, so none of them waits for the camera, and the
    // camera's presence, so an unplug is reported within about kPresenceLookMs.
    const LONGLONG frameTimeMs = timing.frameTimeUs / 1000;
    if (!camera->IsDataReady()) {
        const HANDLE handles[] = {m_session.Changed(), wake};
        const DWORD count = wake ? 2 : 1;
        ULONGLONG lastLook = GetTickCount64();
        for (LONGLONG sleeps = 1;; ++sleeps) {
            if (WaitForMultipleObjects(count, handles, FALSE, 1) == WAIT_OBJECT_0 + 1 || !m_session.Current(generation))
                return FrameRead::GaveWay;
            if (sleeps > 2 * frameTimeMs || camera->IsDataReady()) break;
            const ULONGLONG now = GetTickCount64();
            if (now - lastLook >= kPresenceLookMs) {
                lastLook = now;
                if (!StreamCameraListed())
                    return m_session.ReadFailed(generation, true) == CaptureSession::ReadVerdict::Lost ? FrameRead::Lost
                                                                                                      : FrameRead::GaveWay;
            }
        }
    }
    if (m_session.ReadsAborted()) return FrameRead::Failed;
    const int timeoutMs = static_cast<int>(std::min<LONGLONG>(frameTimeMs + kReadTimeoutMarginMs, INT_MAX));
    while (!camera->GetImageData(buffer, static_cast<int>(std::min<std::uint32_t>(length, INT_MAX)), timeoutMs)) {
        switch (m_session.ReadFailed(generation, !StreamCameraListed())) {
            case CaptureSession::ReadVerdict::Retry: continue;
            case CaptureSession::ReadVerdict::GiveWay: return FrameRead::GaveWay;
            case CaptureSession::ReadVerdict::Lost: return FrameRead::Lost;
            case CaptureSession::ReadVerdict::Abort: return FrameRead::Failed;
        }
    }
    m_session.ReadSucceeded();
    return FrameRead::Ok;
}

void CaptureCore::SaveSettings() {
    VyxonCamera* camera = Camera();
    if (camera && !m_settingsPath.empty()) vyx::SaveSettings(m_settingsPath, m_model, *camera);
}

}  // namespace vyx
