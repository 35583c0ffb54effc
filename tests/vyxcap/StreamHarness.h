#pragma once
// The graph an application builds around a capture filter: the device, the platform's
// sample grabber recording every sample (the tool's FrameCollector) and a null renderer.
// Connections can be made through SetFormat and the capture graph builder, or directly
// with a media type; Capture runs the graph until N samples arrived and stops it.
#include <windows.h>
#include <dshow.h>
#include <wrl/client.h>

#include "FrameStats.h"
#include "MediaTypePtr.h"
#include "SampleGrabber.h"

namespace vyx::vyxcap::test {

struct CaptureResult {
    HRESULT hr = E_FAIL;            // Run, or the EC_ERRORABORT code, or E_ABORT on a stall
    vyx::vyxcap::FrameStats stats{0};
    long lastLength = 0;
};

class StreamHarness {
public:
    explicit StreamHarness(Microsoft::WRL::ComPtr<IBaseFilter> device);
    StreamHarness(const StreamHarness&) = delete;
    StreamHarness& operator=(const StreamHarness&) = delete;
    ~StreamHarness();

    IBaseFilter* Device() const { return m_device.Get(); }
    IPin* CapturePin() const { return m_capturePin.Get(); }
    IAMStreamConfig* Config() const { return m_config.Get(); }
    IGraphBuilder* Graph() const { return m_graph.Get(); }
    ICaptureGraphBuilder2* Builder() const { return m_builder.Get(); }
    IMediaControl* Control() const { return m_control.Get(); }
    IBaseFilter* Grabber() const { return m_grabberFilter.Get(); }
    IBaseFilter* Renderer() const { return m_renderer.Get(); }

    // The grabber accepts video of this subtype only (GUID_NULL: any video).
    void AcceptSubtype(const GUID& subtype);
    // SetFormat, then RenderStream from the capture pin through the grabber.
    HRESULT ConnectThroughSetFormat(const AM_MEDIA_TYPE& type);
    // The capture pin straight to the grabber with this type, then on to the renderer.
    HRESULT ConnectDirect(const AM_MEDIA_TYPE& type);
    // Breaks every connection, ready for the next type.
    void Disconnect();
    vyx::win::MediaTypePtr ConnectedType() const;

    // Runs until `frames` samples arrived (or the graph aborts or stalls), then stops.
    CaptureResult Capture(int frames);

private:
    Microsoft::WRL::ComPtr<IBaseFilter> m_device;
    Microsoft::WRL::ComPtr<IPin> m_capturePin;
    Microsoft::WRL::ComPtr<IAMStreamConfig> m_config;
    Microsoft::WRL::ComPtr<IGraphBuilder> m_graph;
    Microsoft::WRL::ComPtr<ICaptureGraphBuilder2> m_builder;
    Microsoft::WRL::ComPtr<IMediaControl> m_control;
    Microsoft::WRL::ComPtr<IMediaEventEx> m_events;
    Microsoft::WRL::ComPtr<IBaseFilter> m_grabberFilter;
    Microsoft::WRL::ComPtr<ISampleGrabber> m_grabber;
    Microsoft::WRL::ComPtr<IBaseFilter> m_renderer;
};

// A capture that ran: `frames` samples of `frameBytes` each, sync points, time-stamped
// gap-free from 0 with `duration` each.
void ExpectWholeTimedFrames(const CaptureResult& result, int frames, long frameBytes, REFERENCE_TIME duration);

// A pin of the filter in the given direction (the first one).
Microsoft::WRL::ComPtr<IPin> PinOf(IBaseFilter* filter, PIN_DIRECTION direction);

}  // namespace vyx::vyxcap::test
