#pragma once
// The camera's controls in the units of the platform's video-processing and camera-control
// interfaces, which the kernel-streaming control properties share: sensor offset, gain and
// white balance; exposure in log2 seconds; pan and tilt of the region of interest around
// its centred position; ST4 guide pulses; hardware binning; gamma, which only this object
// holds; and the image flips. A client maps its own property identifiers onto Control.
//
// Threads: any thread, concurrently with the streaming thread and the property pages. One
// caller at a time holds m_lock, under which the camera is swapped (Attach) and the cached
// values are written; the camera calls made under it are short and none waits for a frame.
// The frame geometry is read before m_lock is taken, from a source whose own lock is never
// taken while m_lock is held.
#include <cstdint>
#include <functional>
#include <mutex>

#include "VyxonCamera.h"

namespace vyx {

enum class Control {
    Brightness,  // the sensor offset
    Gamma,
    WhiteBalance,
    Gain,
    Pan,
    Tilt,
    Exposure,
    HardwareBin,
    GuideNorth,
    GuideSouth,
    GuideWest,
    GuideEast,
};
enum class ControlOperation { GetRange, Get, Set };
enum class ControlResult { Ok, Unsupported, NoCamera };

// Capability flags and modes, numbered as the platform numbers them.
inline constexpr long kControlAuto = 1;
inline constexpr long kControlManual = 2;

struct ControlRange {
    long min = 0;
    long max = 0;
    long step = 0;
    long byDefault = 0;
    long caps = 0;
};

// Values read from the camera and kept between calls.
struct ControlCache {
    std::int32_t exposureUs = 0;
    bool exposureAuto = false;
    std::int32_t exposureLog2 = 0;  // the last exposure set in log2 seconds
    std::int32_t gain = 0;
    bool gainAuto = false;
    std::int32_t offset = 0;
    std::int32_t startX = 0;
    std::int32_t startY = 0;
    bool flipHorizontal = false;
    bool flipVertical = false;
    std::int32_t gamma = 0;  // never reaches the camera

    // What a camera opens with: its exposure, gain and region start; flips and gamma clear.
    static ControlCache ReadFrom(VyxonCamera& camera);
};

// The frame pan and tilt centre on.
struct FrameGeometry {
    std::int32_t bin = 1;
    std::int32_t width = 0;
    std::int32_t height = 0;
};

class CameraControls {
public:
    // The sensor size is the model's at bin 1; `geometry` is asked for the current frame.
    CameraControls(std::int32_t sensorWidth, std::int32_t sensorHeight, std::function<FrameGeometry()> geometry);
    CameraControls(const CameraControls&) = delete;
    CameraControls& operator=(const CameraControls&) = delete;

    // The camera the controls act on (null: none), with the values read when it opened.
    void Attach(VyxonCamera* camera, const ControlCache& cache);

    // Guide pulses can only be set; hardware binning has no range.
    static bool Supports(Control control, ControlOperation operation);

    // Unsupported for an operation Supports refuses; NoCamera when the control needs the
    // camera and none is attached. Results the camera library reports are not checked: a
    // getter leaves what the library wrote.
    ControlResult Range(Control control, ControlRange* range) const;
    ControlResult Set(Control control, long value, bool autoMode);
    ControlResult Get(Control control, long* value, bool* autoMode);

    // The flips can be switched on here one at a time, not off; Flips reads them back.
    ControlResult EnableFlip(bool horizontal);
    ControlResult Flips(bool* horizontal, bool* vertical);

    ControlCache Cached() const;

    // Exposure in the platform's units, 2^n seconds: log2 of the time in single precision,
    // truncated toward zero (10 ms gives -6). A time of zero or less gives -17.
    static long ExposureToLog2Seconds(std::int32_t microseconds);

private:
    // (binned sensor - frame) / 2 on the axis of pan or tilt.
    long CentredStart(Control control, const FrameGeometry& frame) const;
    void RefreshStartPosition(VyxonCamera& camera);

    const std::int32_t m_sensorWidth;
    const std::int32_t m_sensorHeight;
    const std::function<FrameGeometry()> m_geometry;
    mutable std::mutex m_lock;
    VyxonCamera* m_camera = nullptr;
    ControlCache m_cache;
};

}  // namespace vyx
