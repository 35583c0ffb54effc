#pragma once
// The media source's frame pump: one thread that, for each sample the stream was asked for,
// reads a camera frame, converts it into a sample of its pool and hands it on, until stopped.
//
// States: Stopped (no thread), Running, Paused (the camera's stream stopped, requests kept),
// Ended (a lost camera, a refused start or failed reads: nothing more is read). Start:
// Stopped -> Running. Pause: Running -> Paused. Resume: Paused -> Running. Stop: any ->
// Stopped, requests dropped.
//
// Threads: the source's control threads call Start, Pause, Resume, Stop and Request; the
// pump's thread reads and delivers. m_lock guards the state and the requests; no camera
// call and no delivery is made under it, so Stop and Pause never wait for a frame: the
// camera's Pause and Stop make a read in progress give way. The sink is called on the
// pump's thread and must not call back into the pump. The pool's listener takes m_lock
// (SamplePool.h gives the order).
#include <windows.h>
#include <mfidl.h>
#include <wrl/client.h>

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

#include "SamplePool.h"
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

    FramePump(SourceCamera& camera, Sink& sink) : m_camera(camera), m_sink(sink) {}
    ~FramePump() { Stop(); }
    FramePump(const FramePump&) = delete;
    FramePump& operator=(const FramePump&) = delete;

    // The camera must already be configured for `format`. E_OUTOFMEMORY when the frame
    // buffer, the pool or the thread cannot be had; MF_E_INVALIDREQUEST when the camera
    // cannot leave its stopped state.
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
    static void SampleReturned(void* pump);

    SourceCamera& m_camera;
    Sink& m_sink;
    std::mutex m_lock;
    std::condition_variable m_wake;
    State m_state = State::Stopped;
    std::deque<Microsoft::WRL::ComPtr<IUnknown>> m_requests;
    std::thread m_thread;
    // Set up by Start while stopped, then the pump thread's until Stop.
    Microsoft::WRL::ComPtr<SamplePool> m_pool;
    SourceFormat m_format{};
    std::vector<BYTE> m_frame;  // the camera's frame before conversion
    LONGLONG m_lastTime = 0;
};

}  // namespace vyx::mf
