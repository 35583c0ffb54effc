#pragma once
// Shared helpers of the filter's component tests: COM, simulated cameras, creating the
// filter as its class factory does, and graphs with the platform's renderers.
#include <windows.h>
#include <dshow.h>
#include <wrl/client.h>

#include <string>
#include <vector>

#include "CVCamera.h"
#include "CVCameraStream.h"
#include "ComApartment.h"
#include "MediaTypePtr.h"
#include "SampleGrabber.h"

namespace vyx::test {

using Microsoft::WRL::ComPtr;
using vyx::win::ComApartment;
using vyx::win::MediaTypePtr;

// The build's model as the catalogue names it, and some other model.
std::wstring ModelName();
std::wstring OtherModelName();

// Starts from no saved settings, so no earlier test's values reach the camera.
void RemoveSettingsFile();

// A simulated camera plugged for the object's lifetime.
class PluggedCamera {
public:
    explicit PluggedCamera(const std::wstring& model = ModelName(), const std::wstring& serial = L"");
    ~PluggedCamera();
    PluggedCamera(const PluggedCamera&) = delete;
    PluggedCamera& operator=(const PluggedCamera&) = delete;
    DWORD Result() const { return m_result; }
    void SetSwitch(const wchar_t* name, DWORD value) const;

private:
    std::wstring m_model;
    std::wstring m_serial;
    std::wstring m_instanceId;
    DWORD m_result;
};

// Creates the filter through its creation function exactly as the class factory does.
HRESULT CreateFilter(ComPtr<IBaseFilter>* filter);
// The pin object behind a filter made in this process.
vyx::CVCameraStream* StreamOf(IBaseFilter* filter);
ComPtr<IPin> OutputPin(IBaseFilter* filter);
VyxonCamera* CameraOf(IBaseFilter* filter);

// A stopped graph holding the filter and a downstream filter (null renderer or sample grabber).
struct Graph {
    ComPtr<IGraphBuilder> builder;
    ComPtr<IMediaControl> control;
    ComPtr<IBaseFilter> downstream;
    ComPtr<IPin> output;
    ComPtr<IPin> input;
    HRESULT Connect(const AM_MEDIA_TYPE* type);
    void Disconnect();
};
HRESULT MakeGraph(IBaseFilter* filter, REFCLSID downstream, Graph* graph);
// A graph into a null renderer, connected in the type the pin prefers.
HRESULT MakeConnectedGraph(IBaseFilter* filter, Graph* graph);

// The video header of a type the pin handed out (always FORMAT_VideoInfo).
inline VIDEOINFOHEADER* Info(const AM_MEDIA_TYPE& type) { return vyx::win::VideoInfoHeader(type); }
inline const VIDEOINFOHEADER* Info(const MediaTypePtr& type) { return Info(*type.Get()); }

// Every capability of the pin, in GetStreamCaps order.
std::vector<CMediaType> StreamCapsTypes(IBaseFilter* filter);

}  // namespace vyx::test
