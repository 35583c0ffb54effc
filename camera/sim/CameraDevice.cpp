#include "CameraDevice.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "AutoControl.h"
#include "FramePacing.h"
#include "GuidePulseLog.h"
#include "SimulatedBus.h"

namespace vyx::sim {
namespace {

// Half the sidereal rate, arcseconds per second: the usual ST4 guide rate.
constexpr double kGuideRateArcsec = 7.52;
constexpr int kLongestPulseMs = 60000;

std::uint32_t SeedOf(const CameraEntry& entry) {
    std::uint32_t hash = 2166136261u ^ entry.row->productId;
    for (wchar_t c : entry.serial) hash = (hash ^ static_cast<std::uint32_t>(c)) * 16777619u;
    return hash;
}

// The test gate of kSwitchHoldStart.
void HoldStart() {
    vyx::win::UniqueHandle held(OpenEventW(EVENT_MODIFY_STATE, FALSE, vyx::sim::bus::kStartHeldEvent));
    vyx::win::UniqueHandle release(OpenEventW(SYNCHRONIZE, FALSE, vyx::sim::bus::kStartReleaseEvent));
    if (!held || !release) return;
    SetEvent(held.Get());
    WaitForSingleObject(release.Get(), 10000);
}

// Kernel object names may not contain backslashes.
std::wstring OpenMutexName(const std::wstring& instanceId) {
    std::wstring name = L"Local\\VyxonCamera#" + instanceId;
    std::replace(name.begin() + 6, name.end(), L'\\', L'#');
    return name;
}

bool Listed(const std::int32_t* values, int count, int value) {
    return std::find(values, values + count, value) != values + count;
}

}  // namespace

CameraDevice::CameraDevice(const CameraEntry& entry, int cameraId)
    : m_entry(entry),
      m_cameraId(cameraId),
      m_traits(TraitsFor(*entry.row)),
      m_sky(m_traits, SeedOf(entry)),
      m_epoch(Clock::now()),
      m_settings(DefaultSettings(m_traits)),
      m_cooler(m_traits.coolerMaxDelta),
      m_thermalTime(m_epoch),
      m_guide(kGuideRateArcsec / m_sky.PlateScaleArcsec()) {
    m_switches.Open(entry.instanceId);
}

CameraDevice::~CameraDevice() { Close(); }

double CameraDevice::Seconds(Clock::time_point t) const {
    return std::chrono::duration<double>(t - m_epoch).count();
}

bool CameraDevice::AnswersLocked() const { return m_open && m_switches.Present(); }

bool CameraDevice::Usb3Link() const { return m_entry.row->usb3 && !m_switches.On(vyx::sim::bus::kSwitchUsb2Link); }

template <typename Change>
bool CameraDevice::Modify(Change change, bool invalidates) {
    std::lock_guard<std::mutex> lock(m_lock);
    if (!m_open) return false;
    CameraSettings next = m_settings;
    if (!change(next)) return false;
    m_settings = next;
    if (invalidates) InvalidateLocked();
    return true;
}

void CameraDevice::InvalidateLocked() {
    if (m_stream) m_stream->Invalidate(FrameTimeUs(m_traits, m_settings, Usb3Link()));
}

// Life

bool CameraDevice::Open() {
    std::lock_guard<std::mutex> lock(m_lock);
    if (m_open) return true;
    if (!m_switches.Present() || m_switches.On(vyx::sim::bus::kSwitchRefuseOpen)) return false;
    vyx::win::UniqueHandle mutex(CreateMutexW(nullptr, FALSE, OpenMutexName(m_entry.instanceId).c_str()));
    if (!mutex || GetLastError() == ERROR_ALREADY_EXISTS) return false;  // open elsewhere
    m_openMutex.Reset(mutex.Release());
    m_open = true;
    return true;
}

bool CameraDevice::IsOpened() {
    std::lock_guard<std::mutex> lock(m_lock);
    return m_open;
}

bool CameraDevice::GetTheProp(CameraProp* prop) {
    if (!prop || !IsOpened()) return false;
    FillCameraProp(m_entry, m_cameraId, Usb3Link(), prop);
    return true;
}

bool CameraDevice::Close() {
    StopVideoStream();
    std::lock_guard<std::mutex> lock(m_lock);
    if (!m_open) return false;
    m_open = false;
    m_openMutex.Reset();
    return true;
}

// Streaming

bool CameraDevice::StartVideoStream() {
    unsigned stopsBefore = 0;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        if (!m_open || !m_switches.Present() || m_switches.On(vyx::sim::bus::kSwitchRefuseStart)) return false;
        if (m_stream) return true;
        stopsBefore = m_stops;
    }
    // The first frame is rendered before the stream starts, outside the lock (rendering
    // asks for the settings): a first full rendering of a large frame touches about a
    // hundred megabytes of fresh memory, which under load took longer than a reader waits
    // for the first frame. A real camera delivers it within a frame time of the start.
    auto stream = std::make_shared<FrameStream>(*this, std::make_unique<FrameRenderer>(m_traits, m_sky));
    CameraSettings rendered;
    if (!stream->RenderFirst(&rendered)) return false;
    if (m_switches.On(vyx::sim::bus::kSwitchHoldStart)) HoldStart();
    std::lock_guard<std::mutex> lock(m_lock);
    if (!m_open) return false;
    if (m_stream) return true;  // another thread started one meanwhile
    // A stop on another thread while the first frame rendered comes after this start: the
    // stream it ended must not begin behind its back.
    if (m_stops != stopsBefore) return true;
    if (!stream->Start(FrameTimeUs(m_traits, m_settings, Usb3Link()), m_switches.On(vyx::sim::bus::kSwitchNoPacing),
                       rendered == m_settings))
        return false;
    m_stream = std::move(stream);
    UpdateThermalLocked(Clock::now());  // the sensor warms from now on
    return true;
}

bool CameraDevice::StopVideoStream() {
    std::shared_ptr<FrameStream> stream;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        if (!m_open) return false;
        UpdateThermalLocked(Clock::now());
        ++m_stops;
        stream = std::move(m_stream);
        m_stream.reset();
    }
    if (!stream) return true;
    // Joins the producer, which may be waiting for m_lock in PrepareFrame.
    stream->Stop();
    const int dropped = stream->Dropped();
    std::lock_guard<std::mutex> lock(m_lock);
    m_droppedAtStop = dropped;
    return true;
}

bool CameraDevice::IsDataReady() {
    std::shared_ptr<FrameStream> stream;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        stream = m_stream;
    }
    if (!stream) return false;
    bool present = true;
    const bool neverReady = m_switches.Read(vyx::sim::bus::kSwitchNeverReady, &present) != 0;
    if (neverReady || !present) return false;
    return stream->IsReady();
}

bool CameraDevice::GetImageData(unsigned char* buffer, int bytes, int timeoutMs) {
    if (!buffer || bytes <= 0 || timeoutMs < 0) return false;
    std::shared_ptr<FrameStream> stream;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        stream = m_stream;
    }
    if (!stream) return false;
    // One registry query per frame: the fail-reads switch, which also notices an unplug.
    bool present = true;
    if (m_switches.TakeFailedRead(&present) || !present) return false;
    return stream->Read(buffer, static_cast<std::size_t>(bytes), timeoutMs) == FrameStream::ReadResult::kOk;
}

bool CameraDevice::GetFrameTime(long long* frameTimeUs, float* framesPerSecond) {
    if (!frameTimeUs || !framesPerSecond) return false;
    std::lock_guard<std::mutex> lock(m_lock);
    if (!AnswersLocked()) return false;
    const long long frame = FrameTimeUs(m_traits, m_settings, Usb3Link());
    *frameTimeUs = frame;
    *framesPerSecond = static_cast<float>(1e6 / static_cast<double>(frame));
    return true;
}

bool CameraDevice::GetDroppedFrames(int* dropped) {
    if (!dropped) return false;
    std::shared_ptr<FrameStream> stream;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        if (!AnswersLocked()) return false;
        stream = m_stream;
        if (!stream) {
            *dropped = m_droppedAtStop;
            return true;
        }
    }
    *dropped = stream->Dropped();
    return true;
}

// Frame geometry and readout

bool CameraDevice::SetImgSize(int width, int height) {
    if (m_switches.On(vyx::sim::bus::kSwitchRefuseSetImgSize)) return false;
    return Modify(
        [&](CameraSettings& s) {
            if (width < 8 || height < 4 || width % 4 != 0 || height % 2 != 0) return false;
            const int maxW = MaxWidthAtBin(m_traits, s.bin);
            const int maxH = MaxHeightAtBin(m_traits, s.bin);
            if (width > maxW || height > maxH) return false;
            s.width = width;
            s.height = height;
            // A new size is centred on the sensor, on even coordinates.
            s.startX = (maxW - width) / 2 / 2 * 2;
            s.startY = (maxH - height) / 2 / 2 * 2;
            return true;
        },
        true);
}

bool CameraDevice::GetImgSize(int* width, int* height) {
    if (!width || !height) return false;
    std::lock_guard<std::mutex> lock(m_lock);
    if (!AnswersLocked()) return false;
    *width = m_settings.width;
    *height = m_settings.height;
    return true;
}

bool CameraDevice::SetBin(int bin) {
    if (m_switches.On(vyx::sim::bus::kSwitchRefuseSetBin)) return false;
    return Modify(
        [&](CameraSettings& s) {
            if (!Listed(m_traits.row->binFactors, m_traits.row->binFactorCount, bin)) return false;
            // The frame keeps its size when it fits the binned sensor, else shrinks to it.
            const int maxW = MaxWidthAtBin(m_traits, bin);
            const int maxH = MaxHeightAtBin(m_traits, bin);
            s.bin = bin;
            s.width = std::min(s.width, maxW);
            s.height = std::min(s.height, maxH);
            s.startX = std::min(s.startX, maxW - s.width);
            s.startY = std::min(s.startY, maxH - s.height);
            return true;
        },
        true);
}

bool CameraDevice::GetBin(int* bin) {
    if (!bin) return false;
    std::lock_guard<std::mutex> lock(m_lock);
    if (!AnswersLocked()) return false;
    *bin = m_settings.bin;
    return true;
}

bool CameraDevice::SetImgFormat(ImageFormat format) {
    if (m_switches.On(vyx::sim::bus::kSwitchRefuseSetImgFormat)) return false;
    return Modify(
        [&](CameraSettings& s) {
            if (!Listed(m_traits.row->imageFormats, m_traits.row->imageFormatCount, format)) return false;
            s.format = format;
            return true;
        },
        true);
}

bool CameraDevice::GetImgFormat(ImageFormat* format) {
    if (!format) return false;
    std::lock_guard<std::mutex> lock(m_lock);
    if (!AnswersLocked()) return false;
    const DWORD reported = m_switches.Read(vyx::sim::bus::kSwitchReportImgFormat);
    *format = reported ? static_cast<ImageFormat>(reported - 1) : m_settings.format;
    return true;
}

bool CameraDevice::SetImgStartPos(int x, int y) {
    return Modify(
        [&](CameraSettings& s) {
            if (x < 0 || y < 0 || x > MaxWidthAtBin(m_traits, s.bin) - s.width ||
                y > MaxHeightAtBin(m_traits, s.bin) - s.height)
                return false;
            s.startX = x;
            s.startY = y;
            return true;
        },
        true);
}

bool CameraDevice::GetImgStartPos(int* x, int* y) {
    if (!x || !y) return false;
    std::lock_guard<std::mutex> lock(m_lock);
    if (!AnswersLocked()) return false;
    *x = m_settings.startX;
    *y = m_settings.startY;
    return true;
}

bool CameraDevice::SetImgFlip(bool horizontal, bool vertical) {
    return Modify(
        [&](CameraSettings& s) {
            s.flipH = horizontal;
            s.flipV = vertical;
            return true;
        },
        true);
}

bool CameraDevice::GetImgFlip(bool* horizontal, bool* vertical) {
    if (!horizontal || !vertical) return false;
    std::lock_guard<std::mutex> lock(m_lock);
    if (!AnswersLocked()) return false;
    *horizontal = m_settings.flipH;
    *vertical = m_settings.flipV;
    return true;
}

bool CameraDevice::SetHardBinEnable(bool enable) {
    if (m_switches.On(vyx::sim::bus::kSwitchRefuseSetHardBin)) return false;
    return Modify(
        [&](CameraSettings& s) {
            if (enable && !m_traits.row->hardwareBin) return false;
            s.hardBin = enable;
            return true;
        },
        true);
}

bool CameraDevice::GetHardBinEnable(bool* enable) {
    if (!enable) return false;
    std::lock_guard<std::mutex> lock(m_lock);
    if (!AnswersLocked()) return false;
    *enable = m_settings.hardBin || m_switches.On(vyx::sim::bus::kSwitchReportHardBin);
    return true;
}

bool CameraDevice::SetBinSumEnable(bool enable) {
    return Modify(
        [&](CameraSettings& s) {
            s.binSum = enable;
            return true;
        },
        true);
}

bool CameraDevice::GetBinSumEnable(bool* enable) {
    if (!enable) return false;
    std::lock_guard<std::mutex> lock(m_lock);
    if (!AnswersLocked()) return false;
    *enable = m_settings.binSum;
    return true;
}

bool CameraDevice::SetImgHighQualityEnable(bool enable) {
    return Modify(
        [&](CameraSettings& s) {
            s.highQuality = enable;
            return true;
        },
        true);
}

bool CameraDevice::GetImgHighQualityEnable(bool* enable) {
    if (!enable) return false;
    std::lock_guard<std::mutex> lock(m_lock);
    if (!AnswersLocked()) return false;
    *enable = m_settings.highQuality;
    return true;
}

int CameraDevice::GetSensorModeCount() { return IsOpened() ? m_traits.row->sensorModeCount : 0; }

bool CameraDevice::GetSensorModeInfo(int index, char* modeName, char* description) {
    if (!modeName || !description || !IsOpened() || index < 0 || index >= m_traits.row->sensorModeCount)
        return false;
    if (m_switches.Read(vyx::sim::bus::kSwitchFailSensorModeInfo) == static_cast<DWORD>(index) + 1) return false;
    const char* name = m_traits.row->sensorModes[index];
    const SensorModeTraits mode = m_traits.ModeTraits(index);
    std::snprintf(modeName, 64, "%s", name);
    std::snprintf(description, 128, "conversion gain x%.1f, read noise x%.1f, full well x%.1f, readout x%.1f",
                  mode.conversionGain, mode.readNoise, mode.fullWell, mode.lineTime);
    return true;
}

bool CameraDevice::SetSensorMode(int index) {
    return Modify(
        [&](CameraSettings& s) {
            if (index < 0 || index >= m_traits.row->sensorModeCount) return false;
            s.sensorMode = index;
            return true;
        },
        true);
}

bool CameraDevice::GetSensorMode(int* index) {
    if (!index || m_traits.row->sensorModeCount == 0) return false;
    std::lock_guard<std::mutex> lock(m_lock);
    if (!AnswersLocked()) return false;
    *index = m_settings.sensorMode;
    return true;
}

// Controls

bool CameraDevice::SetExposure(int microseconds, bool autoMode) {
    return Modify(
        [&](CameraSettings& s) {
            if (!m_traits.exposure.Contains(microseconds)) return false;
            s.exposureUs = microseconds;
            s.autoExposure = autoMode;
            return true;
        },
        true);
}

bool CameraDevice::GetExposure(int* microseconds, bool* autoMode) {
    if (!microseconds || !autoMode) return false;
    std::lock_guard<std::mutex> lock(m_lock);
    if (!AnswersLocked()) return false;
    *microseconds = m_settings.exposureUs;
    *autoMode = m_settings.autoExposure;
    return true;
}

bool CameraDevice::SetGain(int gain, bool autoMode) {
    return Modify(
        [&](CameraSettings& s) {
            if (!m_traits.gain.Contains(gain)) return false;
            s.gain = gain;
            s.autoGain = autoMode;
            return true;
        },
        true);
}

bool CameraDevice::GetGain(int* gain, bool* autoMode) {
    if (!gain || !autoMode) return false;
    std::lock_guard<std::mutex> lock(m_lock);
    if (!AnswersLocked()) return false;
    *gain = m_settings.gain;
    *autoMode = m_settings.autoGain;
    return true;
}

bool CameraDevice::SetOffset(int offset) {
    return SetIntControl(&CameraSettings::offset, m_traits.offset, offset, true);
}

bool CameraDevice::GetOffset(int* offset) { return GetIntControl(&CameraSettings::offset, offset); }

bool CameraDevice::SetWhiteBalance(int red, int green, int blue, bool autoMode) {
    if (!m_traits.row->color) return false;
    return Modify(
        [&](CameraSettings& s) {
            // In automatic mode the camera chooses the values; the given ones are not used.
            if (!autoMode) {
                for (int v : {red, green, blue})
                    if (!m_traits.whiteBalance.Contains(v)) return false;
                s.whiteBalance[0] = red;
                s.whiteBalance[1] = green;
                s.whiteBalance[2] = blue;
            }
            s.autoWhiteBalance = autoMode;
            return true;
        },
        true);
}

bool CameraDevice::GetWhiteBalance(int* red, int* green, int* blue, bool* autoMode) {
    if (!red || !green || !blue || !autoMode || !m_traits.row->color) return false;
    std::lock_guard<std::mutex> lock(m_lock);
    if (!AnswersLocked()) return false;
    *red = m_settings.whiteBalance[0];
    *green = m_settings.whiteBalance[1];
    *blue = m_settings.whiteBalance[2];
    *autoMode = m_settings.autoWhiteBalance;
    return true;
}

bool CameraDevice::SetIntControl(int CameraSettings::*field, const ControlRange& range, int value, bool invalidates) {
    return Modify(
        [&](CameraSettings& s) {
            if (!range.Contains(value)) return false;
            s.*field = value;
            return true;
        },
        invalidates);
}

bool CameraDevice::GetIntControl(int CameraSettings::*field, int* value) {
    if (!value) return false;
    std::lock_guard<std::mutex> lock(m_lock);
    if (!AnswersLocked()) return false;
    *value = m_settings.*field;
    return true;
}

bool CameraDevice::SetFrameRateLimit(int framesPerSecond) {
    return Modify(
        [&](CameraSettings& s) {
            if (framesPerSecond != 0 && !m_traits.frameRateLimit.Contains(framesPerSecond)) return false;
            s.frameRateLimit = framesPerSecond;
            return true;
        },
        true);
}

bool CameraDevice::GetGainsAndOffsets(int* gains, int* offsets) {
    if (!gains || !offsets || !IsOpened()) return false;
    for (int i = 0; i < 4; ++i) {
        gains[i] = m_traits.presetGains[i];
        offsets[i] = m_traits.presetOffsets[i];
    }
    return true;
}

bool CameraDevice::GetRange(const ControlRange& range, int* max, int* min, int* def) {
    if (!max || !min || !def || !IsOpened()) return false;
    *max = range.max;
    *min = range.min;
    *def = range.def;
    return true;
}

bool CameraDevice::GetFrameRateLimitRange(int* max, int* min, int* def) {
    if (m_switches.On(vyx::sim::bus::kSwitchFailFrameRateRange)) return false;
    if (!GetRange(m_traits.frameRateLimit, max, min, def)) return false;
    if (m_switches.On(vyx::sim::bus::kSwitchFrameRateMinZero)) *min = 0;
    if (const DWORD top = m_switches.Read(vyx::sim::bus::kSwitchMaxFrameRate)) *max = static_cast<int>(top);
    return true;
}

bool CameraDevice::GetWhiteBalanceRange(int* max, int* min, int* defRed, int* defGreen, int* defBlue) {
    if (!max || !min || !defRed || !defGreen || !defBlue || !m_traits.row->color || !IsOpened()) return false;
    *max = m_traits.whiteBalance.max;
    *min = m_traits.whiteBalance.min;
    *defRed = m_traits.whiteBalanceDefault[0];
    *defGreen = m_traits.whiteBalanceDefault[1];
    *defBlue = m_traits.whiteBalanceDefault[2];
    return true;
}

// Guiding

bool CameraDevice::GuidePulse(GuideDirection direction, int milliseconds) {
    vyx::sim::bus::GuidePulseRecord record{direction, milliseconds, 0, 0, vyx::sim::bus::GuideClockUs()};
    const bool accepted = StartGuidePulse(direction, milliseconds);
    // Every request to an open camera is recorded, refused ones too, for the tests to see.
    if (IsOpened()) {
        record.accepted = accepted ? 1 : 0;
        vyx::sim::bus::AppendGuidePulse(m_entry.instanceId, record);
    }
    return accepted;
}

bool CameraDevice::StartGuidePulse(GuideDirection direction, int milliseconds) {
    if (!m_traits.row->st4Port || direction < GUIDE_NORTH || direction > GUIDE_EAST || milliseconds <= 0 ||
        milliseconds > kLongestPulseMs)
        return false;
    std::lock_guard<std::mutex> lock(m_lock);
    if (!m_open) return false;
    m_guide.Pulse(direction, Seconds(Clock::now()), milliseconds / 1000.0);
    return true;
}

// Cooling

CoolerInputs CameraDevice::CoolerInputsLocked() const {
    CoolerInputs in;
    in.hasCooler = m_traits.row->cooler;
    in.coolerOn = m_settings.coolerOn;
    in.targetTemperature = m_settings.targetTemperature;
    in.fanPower = m_settings.fanPower;
    in.lensHeaterPower = m_settings.lensHeaterPower;
    in.streaming = m_stream != nullptr;
    return in;
}

void CameraDevice::UpdateThermalLocked(Clock::time_point now) {
    m_cooler.Advance(std::chrono::duration<double>(now - m_thermalTime).count(), CoolerInputsLocked());
    m_thermalTime = now;
}

bool CameraDevice::SetCoolerOn(bool on) {
    if (!m_traits.row->cooler) return false;
    std::lock_guard<std::mutex> lock(m_lock);
    if (!m_open) return false;
    UpdateThermalLocked(Clock::now());
    m_settings.coolerOn = on;
    return true;
}

bool CameraDevice::GetCoolerOn(bool* on) {
    if (!on || !m_traits.row->cooler) return false;
    std::lock_guard<std::mutex> lock(m_lock);
    if (!AnswersLocked()) return false;
    *on = m_settings.coolerOn;
    return true;
}

bool CameraDevice::GetCoolerPower(int* percent) {
    if (!percent || !m_traits.row->cooler) return false;
    std::lock_guard<std::mutex> lock(m_lock);
    if (!AnswersLocked()) return false;
    UpdateThermalLocked(Clock::now());
    *percent = m_cooler.PowerPercent();
    return true;
}

bool CameraDevice::GetTemperature(float* celsius) {
    if (!celsius) return false;
    std::lock_guard<std::mutex> lock(m_lock);
    if (!AnswersLocked()) return false;
    UpdateThermalLocked(Clock::now());
    *celsius = static_cast<float>(m_cooler.Temperature());
    const DWORD held = m_switches.Read(vyx::sim::bus::kSwitchSensorTemperature);
    if (held != 0) *celsius = static_cast<float>(static_cast<std::int32_t>(held) / 10.0);
    return true;
}

bool CameraDevice::SetTargetTemperature(int celsius) {
    if (!m_traits.row->cooler) return false;
    std::lock_guard<std::mutex> lock(m_lock);
    if (!m_open || !m_traits.targetTemperature.Contains(celsius)) return false;
    UpdateThermalLocked(Clock::now());
    m_settings.targetTemperature = celsius;
    return true;
}

bool CameraDevice::GetTargetTemperature(int* celsius) {
    if (!m_traits.row->cooler) return false;
    return GetIntControl(&CameraSettings::targetTemperature, celsius);
}

bool CameraDevice::SetFanPower(int percent) {
    if (!m_traits.row->cooler) return false;
    std::lock_guard<std::mutex> lock(m_lock);
    if (!m_open || percent < 0 || percent > 100) return false;
    UpdateThermalLocked(Clock::now());
    m_settings.fanPower = percent;
    return true;
}

bool CameraDevice::GetFanPower(int* percent) {
    if (!m_traits.row->cooler) return false;
    return GetIntControl(&CameraSettings::fanPower, percent);
}

bool CameraDevice::SetLensHeaterPower(int percent) {
    if (!m_traits.row->cooler) return false;
    std::lock_guard<std::mutex> lock(m_lock);
    if (!m_open || percent < 0 || percent > 100) return false;
    UpdateThermalLocked(Clock::now());
    m_settings.lensHeaterPower = percent;
    return true;
}

bool CameraDevice::GetLensHeaterPower(int* percent) {
    if (!m_traits.row->cooler) return false;
    return GetIntControl(&CameraSettings::lensHeaterPower, percent);
}

// FrameSource

void CameraDevice::PrepareFrame(FrameJob* job, long long* frameTimeUs, bool* noPacing) {
    // Registry reads first, outside the lock.
    const bool testPattern = m_switches.On(vyx::sim::bus::kSwitchTestPattern);
    const double drift = m_switches.Read(vyx::sim::bus::kSwitchDrift) / 1000.0;
    const bool usb3 = Usb3Link();
    *noPacing = m_switches.On(vyx::sim::bus::kSwitchNoPacing);

    std::lock_guard<std::mutex> lock(m_lock);
    const Clock::time_point now = Clock::now();
    UpdateThermalLocked(now);
    job->settings = m_settings;
    job->testPattern = testPattern;
    job->temperature = m_cooler.Temperature();
    const double t = Seconds(now);
    m_guide.Offset(t, &job->fieldDx, &job->fieldDy);
    // Slow drift mostly along right ascension, a little in declination, accumulated
    // while the switch is on so the field never jumps.
    m_driftDx += drift * (t - m_driftTime);
    m_driftDy += 0.3 * drift * (t - m_driftTime);
    m_driftTime = t;
    job->fieldDx += m_driftDx;
    job->fieldDy += m_driftDy;
    *frameTimeUs = FrameTimeUs(m_traits, m_settings, usb3);
}

void CameraDevice::FramePublished(const FrameJob& job, const FrameStats& stats) {
    if (job.testPattern) return;
    std::lock_guard<std::mutex> lock(m_lock);
    // Only regulate from a frame taken with the settings now in force.
    CameraSettings& s = m_settings;
    if (s.exposureUs != job.settings.exposureUs || s.gain != job.settings.gain ||
        std::memcmp(s.whiteBalance, job.settings.whiteBalance, sizeof s.whiteBalance) != 0)
        return;
    StepAutoControls(m_traits, stats, &s);
}

}  // namespace vyx::sim
