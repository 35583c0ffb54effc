#pragma once
// The capture graph of `vyxcap capture`, built as common capture applications build it:
// the device's filter, the platform's capture graph builder, a sample grabber and a null
// renderer, or for a recording vyxcap's own recording sink (the platform's AVI mux and file
// writer are not available everywhere: Wine's writer offers the mux no stream).
//
// Threads: every method runs on the main thread; the graph's streaming threads only call
// the grabber's callback.
#include <windows.h>
#include <dshow.h>
#include <wrl/client.h>

#include <initializer_list>
#include <optional>
#include <string>
#include <vector>

#include "FormatChoice.h"
#include "MediaTypePtr.h"
#include "SampleGrabber.h"

namespace vyx::vyxcap {

enum class WaitResult { Signalled, TimedOut };

class CaptureGraph {
public:
    explicit CaptureGraph(Microsoft::WRL::ComPtr<IBaseFilter> device);
    CaptureGraph(const CaptureGraph&) = delete;
    CaptureGraph& operator=(const CaptureGraph&) = delete;
    ~CaptureGraph();  // stops the graph and detaches the callback

    std::vector<StreamCapability> Capabilities() const;
    vyx::win::MediaTypePtr CurrentFormat() const;  // empty when the device does not tell
    void SetFormat(const AM_MEDIA_TYPE& type);

    // Connects device -> grabber -> null renderer, or -> `recorder` when one is given.
    void Build(const AM_MEDIA_TYPE& chosen, IBaseFilter* recorder);
    // The grabber calls SampleCB of `callback` for every sample from the next Run on.
    void SetCallback(ISampleGrabberCB* callback);
    vyx::win::MediaTypePtr ConnectedType() const;

    void Run();
    void Stop();
    // Waits for one of `wake`, a graph event or the time-out. Throws ToolError when the
    // graph reports that the stream ended, failed or lost the device.
    WaitResult Wait(std::initializer_list<HANDLE> wake, DWORD timeoutMs);
    std::optional<long> DroppedFrames() const;

private:
    void AddFilter(IBaseFilter* filter, const wchar_t* name);
    void HandleGraphEvents();

    Microsoft::WRL::ComPtr<IBaseFilter> m_device;
    Microsoft::WRL::ComPtr<IPin> m_capturePin;
    Microsoft::WRL::ComPtr<IAMStreamConfig> m_streamConfig;
    Microsoft::WRL::ComPtr<IGraphBuilder> m_graph;
    Microsoft::WRL::ComPtr<ICaptureGraphBuilder2> m_builder;
    Microsoft::WRL::ComPtr<IMediaControl> m_control;
    Microsoft::WRL::ComPtr<IMediaEventEx> m_events;
    Microsoft::WRL::ComPtr<ISampleGrabber> m_grabber;
    bool m_running = false;
};

}  // namespace vyx::vyxcap
