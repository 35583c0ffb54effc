#pragma once
// The camera of the build's model as a capture source, without COM: everything a capture
// client does that is not its own framework's, so that every client of the library (the
// DirectShow pin, a Media Foundation media source) has the same camera, the same settings
// rules and the same frames. A client maps its media types onto FormatEntry (formats/) and
// its control identifiers onto Control (controls/), and its error codes from CoreStatus.
//
// A client's life with it:
//   Open()                           find and open the camera, load the user's settings
//   Read / Configuration()           the configuration and the format list, any time
//   Select*, ApplyFormat, Configure  change the configuration, only while stopped
//   Activate()                       the client leaves Stopped (refused while a change it
//                                    made is still being followed: BeginFollowing)
//   on the client's worker:  BeginStream(), then per frame ReadFrame(), NextSampleTimes(),
//                            BeginDelivery()/EndDelivery() around handing it on; EndStream()
//   Run(), Pause(), Stop()           never wait for the camera
//   Deactivate()                     back to Stopped, once the worker has ended
//   destruction                      saves the settings, closes and frees the camera
//
// Threads and locks:
// - m_session's lock (the core's lock) guards the configuration, the applied format and the
//   open camera's record (identity, properties, format list), and the session's states.
//   Every read and write of them takes it; a change takes it only while the source is
//   stopped and no camera start is in progress (CaptureSession::Configure). Camera calls
//   under it are short configuration calls; nothing under it waits for a frame.
// - The controls (Controls()) have a lock of their own, never held while the core's is taken.
// - The worker keeps its own copy of the camera and its identity from BeginStream to
//   EndStream: the camera cannot be replaced while the source is active.
// - The camera library object stays valid until the core goes (CameraOwner.h).
#include <windows.h>

#include <cstdint>
#include <string>

#include "CameraControls.h"
#include "CameraIdentity.h"
#include "CameraOwner.h"
#include "CaptureSession.h"
#include "CoreStatus.h"
#include "FormatList.h"
#include "FrameRates.h"
#include "ModelDescriptor.h"
#include "StreamConfiguration.h"
#include "StreamingTimerPeriod.h"
#include "VyxonCamera.h"

namespace vyx {

// The outcome of ReadFrame.
enum class FrameRead {
    Ok,         // the frame is in the buffer
    GaveWay,    // a state change came first (or `wake` was set): no frame, no failure
    Lost,       // the camera library no longer lists the camera: the stream is over
    Failed,     // the camera refused to start, or three reads in a row failed
    NotOpen,    // no open camera
};

struct FrameInfo {
    std::uint64_t generation = 0;  // for BeginDelivery
    std::int64_t duration = 0;     // 100 ns: the frame time or the longer exposure
};

class CaptureCore {
public:
    explicit CaptureCore(const ModelDescriptor& model);
    // Saves the settings before the camera is stopped and closed.
    ~CaptureCore();
    CaptureCore(const CaptureCore&) = delete;
    CaptureCore& operator=(const CaptureCore&) = delete;

    // Opens the first camera of the model the library lists, reads its state, gives it its
    // starting format (RGB24 with automatic white balance on a colour camera, 8-bit raw on
    // a monochrome one), builds the format list and applies the user's settings.
    // NoCamera, OpenFailed or OutOfMemory leave the core without a camera.
    CoreStatus Open();

    // The open camera.
    CameraIdentity Identity() const;
    CameraProp Properties() const;
    // The library object, for the property pages; null when none. Valid until the core goes.
    VyxonCamera* Camera() const;
    bool CameraOpen() const;
    // Takes `camera` (null: none) in place of the current one, which is closed; everything
    // read from a camera is read from the new one. NotStopped, OutOfMemory.
    CoreStatus ReplaceCamera(VyxonCamera* camera);
    // The camera's frame-rate range, or 1 to 2000 frames per second when it cannot tell.
    FrameRateRange FrameRates() const;
    std::int32_t DroppedFrames() const;
    // 100 ns, never 0: the duration of the running stream's last sample; before the first,
    // the duration its samples will have (the frame time the camera reports for its format
    // and limit, or the longer exposure); failing both, the fastest interval of the range.
    std::int64_t CurrentFrameDuration() const;

    // Configuration.
    StreamConfiguration Configuration() const;
    template <class Reader>
    auto Read(Reader&& reader) const {
        return m_session.Locked([&] { return reader(CoreView{m_config, m_formats, m_prop.isColorCamera}); });
    }
    template <class Change>
    CoreStatus Configure(Change&& change) {
        return m_session.Configure([&] {
            CoreChange view{m_config, m_formats, m_prop.isColorCamera, m_owner.Current()};
            return change(view);
        });
    }
    // The setters of the property pages and the settings file: an entry of the model's
    // resolution list at the current bin, an image format (the output format follows it and
    // negotiation is locked to it), a bin of the camera's list. NotStopped, InvalidArgument,
    // CameraRefused (the camera keeps a bin it took before refusing the size).
    CoreStatus SelectResolution(std::int32_t index);
    CoreStatus SelectImageFormat(ImageFormat format);
    CoreStatus SelectBin(std::int32_t bin);
    // A format a client connected: the camera is set to the entry's bin and image format,
    // to width x height and to the frame-rate limit of a requested interval (none without),
    // and the configuration records it with `interval` as its frame interval.
    // NotStopped, NoCamera, CameraRefused (the record is then unchanged).
    CoreStatus ApplyFormat(const FormatEntry& entry, std::int32_t width, std::int32_t height, bool intervalRequested,
                           std::int64_t interval);
    void BeginFollowing() { m_session.BeginFollowing(); }
    void EndFollowing() { m_session.EndFollowing(); }

    // Stream.
    CoreStatus Activate() { return m_session.Activate(); }
    // Worker: sets the camera to the applied format where it differs (a replaced camera, a
    // change that was not followed), then starts it without waiting. NoCamera, CameraRefused.
    CoreStatus BeginStream();
    void Run() { m_session.Run(); }
    void Pause();
    void Stop() { m_session.Stop(); }
    // Worker: stops the camera, clears the negotiation locks and saves the settings.
    void EndStream();
    void Deactivate() { m_session.Deactivate(); }
    // Worker: waits for the running stream, then for the camera's data, and reads one frame
    // of `length` bytes into `buffer`. Gives way when `wake` (may be null) is set.
    FrameRead ReadFrame(std::uint8_t* buffer, std::uint32_t length, HANDLE wake, FrameInfo* frame);
    SampleTimes NextSampleTimes(std::int64_t duration) { return m_session.NextSampleTimes(duration); }
    void TakeBackSample(std::int64_t start) { m_session.TakeBackSample(start); }
    bool BeginDelivery(std::uint64_t generation) { return m_session.BeginDelivery(generation); }
    void EndDelivery() { m_session.EndDelivery(); }
    std::int32_t Delivered() const { return m_session.Delivered(); }
    const CaptureSession& Session() const { return m_session; }

    // Controls, in the platform's units.
    CameraControls& Controls() { return m_controls; }

    // Writes the camera's values into the user's settings file; keys whose getter the
    // camera refuses keep what the file holds.
    void SaveSettings();

private:
    class StreamCamera : public SessionCamera {
    public:
        explicit StreamCamera(CaptureCore& core) : m_core(core) {}
        bool StartStream() override;
        void StopStream() override;

    private:
        CaptureCore& m_core;
    };

    struct FrameTiming {
        std::int64_t frameTimeUs;  // as the camera reports it, 0 when it cannot tell
        std::int64_t duration;     // 100 ns: the frame time or the longer exposure
    };
    FrameTiming TimingOf(VyxonCamera* camera) const;
    // Under the lock: everything read from `camera`, in place of the current camera's.
    CoreStatus TakeCamera(VyxonCamera* camera);
    void ApplySettings();
    // Presence during a read: false once the library no longer lists the worker's camera.
    bool StreamCameraListed() const { return m_streamIdentity.Listed(); }

    const ModelDescriptor& m_model;
    BasicCameraOwner<VyxonCamera> m_owner;
    CameraProp m_prop{};
    CameraIdentity m_identity;
    FormatList m_formats;
    StreamConfiguration m_config;
    std::int32_t m_presets[8] = {};  // GetGainsAndOffsets at opening: the settings file's preset names
    std::wstring m_settingsPath;     // empty: settings are neither loaded nor saved

    // The format a client connected, to be in force when the stream starts.
    FormatEntry m_applied{};
    std::int32_t m_appliedWidth = 0;
    std::int32_t m_appliedHeight = 0;
    std::int32_t m_appliedLimit = 0;
    bool m_hasApplied = false;
    VyxonCamera* m_appliedTo = nullptr;  // the camera it was applied to

    // The worker's, from BeginStream to EndStream.
    VyxonCamera* m_streamCamera = nullptr;
    CameraIdentity m_streamIdentity;
    StreamingTimerPeriod m_timerPeriod;

    CameraControls m_controls;
    StreamCamera m_sessionCamera{*this};
    CaptureSession m_session{m_sessionCamera};  // last: its starter thread uses the members above
};

}  // namespace vyx
