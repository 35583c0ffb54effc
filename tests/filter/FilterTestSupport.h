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
#include "UniqueResource.h"

namespace vyx::test {

using Microsoft::WRL::ComPtr;
using vyx::win::ComApartment;
using vyx::win::MediaTypePtr;

// The build's model as the catalogue names it, and some other model.
std::wstring ModelName();
std::wstring OtherModelName();

// Starts from no saved settings, so no earlier test's values reach the camera.
void RemoveSettingsFile();
// Replaces the settings file with the build's model section holding `lines` ("Key=value\r\n"...).
void WriteSettingsSection(const std::string& lines);
// A value of the build's model section, or "" when the key is not there.
std::string SettingsValue(const char* key);

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

// The simulator's start gate: while the camera's SimHoldStart switch is on, each start of
// its stream, once the first frame is rendered, waits for Release (at most 10 s).
class StartGate {
public:
    StartGate();
    // The next start has reached the gate.
    bool WaitHeld(DWORD ms = 30000) const;
    // Lets the held start and every later one through.
    void Release() const;

private:
    vyx::win::UniqueHandle m_held;
    vyx::win::UniqueHandle m_release;
};

// Waits, looking every 10 ms, until `condition` holds; false after `ms`.
template <class Condition>
bool WaitUntil(Condition&& condition, DWORD ms = 10000) {
    for (DWORD waited = 0; !condition(); waited += 10) {
        if (waited >= ms) return false;
        Sleep(10);
    }
    return true;
}

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
