#pragma once
// The media source's frame pump: one thread that, for each sample the stream was asked for,
// reads a camera frame, converts it into a new sample and hands it on, until stopped.
//
// States: Stopped (no thread), Running, Paused (the camera's stream stopped, requests kept),
// Ended (a lost camera or three failed reads in a row: nothing more is read). Start:
// Stopped -> Running. Pause: Running -> Paused. Resume: Paused -> Running. Stop: any ->
// Stopped, requests dropped.
//
// Threads: the source's control threads call Start, Pause, Resume, Stop and Request; the
// pump's thread reads and delivers. m_lock guards the state and the requests; no camera
// call and no delivery is made under it, so Stop and Pause never wait for a frame: they stop
// the camera's stream, which ends a read in progress. The sink is called on the pump's
// thread and must not call back into the pump.
#include <windows.h>
#include <mfidl.h>
#include <wrl/client.h>

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

#include "SourceCamera.h"
#include "SourceFormats.h"

namespace vyx::mf {

class FramePump {
public:
    class Sink {
    public:
        virtual ~Sink() = default;
        virtual void OnSample(IMFSample* sample) = 0;
        // The stream ended: MF_E_VIDEO_RECORDING_DEVICE_INVALIDATED for a lost camera,
        // MF_E_HW_MFT_FAILED_START_STREAMING for a refused start, else the read's error.
        virtual void OnStreamEnded(HRESULT status) = 0;
    };

    static constexpr int kMaxReadFailures = 3;

    FramePump(SourceCamera& camera, Sink& sink) : m_camera(camera), m_sink(sink) {}
    ~FramePump() { Stop(); }
    FramePump(const FramePump&) = delete;
    FramePump& operator=(const FramePump&) = delete;

    // The camera must already be configured for `format`. E_OUTOFMEMORY when the frame
    // buffer cannot be had.
    HRESULT Start(const SourceFormat& format);
    void Pause();
    void Resume();
    void Stop();
    // One more sample, to carry `token` (may be null) as MFSampleExtension_Token.
    HRESULT Request(IUnknown* token);

private:
    enum class State { Stopped, Running, Paused, Ended };
    void Run();
    // Reads and converts one frame; S_FALSE when a stop or pause cut it short.
    HRESULT ReadSample(Microsoft::WRL::ComPtr<IMFSample>* sample);

    SourceCamera& m_camera;
    Sink& m_sink;
    std::mutex m_lock;
    std::condition_variable m_wake;
    State m_state = State::Stopped;
    bool m_restart = false;  // a pause stopped the camera's stream: the next read restarts it
    std::deque<Microsoft::WRL::ComPtr<IUnknown>> m_requests;
    std::thread m_thread;
    // Pump thread only, between Start and Stop.
    SourceFormat m_format{};
    std::vector<BYTE> m_frame;  // the camera's frame before conversion
    LONGLONG m_lastTime = 0;
};

}  // namespace vyx::mf
