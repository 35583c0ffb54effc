#include "FilterTestSupport.h"

#include "CameraSettings.h"
#include "ModelDescriptor.h"
#include "SimulatedBus.h"
#include "UniqueResource.h"
#include "vyx_catalogue.h"

namespace vyx::test {

std::wstring ModelName() {
    const char* name = vyx::g_ModelDescriptor.displayName;
    return std::wstring(name, name + strlen(name));
}

std::wstring OtherModelName() {
    for (const auto& row : vyx::catalogue::kModels)
        if (row.productId != vyx::g_ModelDescriptor.productId) return row.displayNameW;
    return L"";
}

void RemoveSettingsFile() {
    const std::wstring path = vyx::DetermineSettingsPath();
    if (!path.empty()) DeleteFileW(path.c_str());
}

void WriteSettingsSection(const std::string& lines) {
    const std::wstring path = vyx::DetermineSettingsPath();
    const std::string text = std::string("[") + vyx::g_ModelDescriptor.displayName + "]\r\n" + lines;
    vyx::win::UniqueFile file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                          nullptr));
    DWORD written = 0;
    if (file) WriteFile(file.Get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

std::string SettingsValue(const char* key) {
    const std::wstring path = vyx::DetermineSettingsPath();
    const std::string narrow(path.begin(), path.end());
    char value[256] = {};
    GetPrivateProfileStringA(vyx::g_ModelDescriptor.displayName, key, "", value, sizeof value, narrow.c_str());
    return value;
}

PluggedCamera::PluggedCamera(const std::wstring& model, const std::wstring& serial)
    : m_model(model), m_serial(serial), m_result(vyx::sim::bus::Plug(model, serial)) {
    const vyx::catalogue::ModelRow* row = vyx::sim::bus::FindModel(model);
    const std::wstring effective = serial.empty() && row ? vyx::sim::bus::DefaultSerial(*row) : serial;
    for (const vyx::sim::bus::PluggedDevice& device : vyx::sim::bus::ListPlugged())
        if (device.serial == effective && device.model == (row ? std::wstring(row->displayNameW) : model))
            m_instanceId = device.instanceId;
}

PluggedCamera::~PluggedCamera() {
    vyx::sim::bus::Unplug(m_model, m_serial);
}

void PluggedCamera::SetSwitch(const wchar_t* name, DWORD value) const {
    vyx::sim::bus::SetSwitch(m_instanceId, name, value);
}

StartGate::StartGate()
    : m_held(CreateEventW(nullptr, FALSE, FALSE, vyx::sim::bus::kStartHeldEvent)),
      m_release(CreateEventW(nullptr, TRUE, FALSE, vyx::sim::bus::kStartReleaseEvent)) {}

bool StartGate::WaitHeld(DWORD ms) const {
    return WaitForSingleObject(m_held.Get(), ms) == WAIT_OBJECT_0;
}

void StartGate::Release() const {
    SetEvent(m_release.Get());
}

HRESULT CreateFilter(ComPtr<IBaseFilter>* filter) {
    HRESULT hr = S_OK;
    CUnknown* object = vyx::CVCamera::CreateInstance(nullptr, &hr);
    if (!object) return FAILED(hr) ? hr : E_OUTOFMEMORY;
    if (FAILED(hr)) {
        delete object;
        return hr;
    }
    object->NonDelegatingAddRef();
    hr = object->NonDelegatingQueryInterface(IID_IBaseFilter, reinterpret_cast<void**>(filter->ReleaseAndGetAddressOf()));
    object->NonDelegatingRelease();
    return hr;
}

vyx::CVCameraStream* StreamOf(IBaseFilter* filter) {
    return static_cast<vyx::CVCamera*>(filter)->Stream();
}

ComPtr<IPin> OutputPin(IBaseFilter* filter) {
    ComPtr<IPin> pin;
    filter->FindPin(L"Video", &pin);
    return pin;
}

VyxonCamera* CameraOf(IBaseFilter* filter) {
    ComPtr<ICameraInstance> instance;
    VyxonCamera* camera = nullptr;
    if (SUCCEEDED(filter->QueryInterface(vyx::g_ModelDescriptor.cameraInstanceIid, &instance)))
        instance->GetCamera(&camera);
    return camera;
}

HRESULT Graph::Connect(const AM_MEDIA_TYPE* type) {
    return builder->ConnectDirect(output.Get(), input.Get(), type);
}

void Graph::Disconnect() {
    builder->Disconnect(output.Get());
    builder->Disconnect(input.Get());
}

HRESULT MakeGraph(IBaseFilter* filter, REFCLSID downstream, Graph* graph) {
    HRESULT hr = CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&graph->builder));
    if (FAILED(hr)) return hr;
    graph->builder.As(&graph->control);
    // Off the default clock: Wine's system clock can hang the graph's last Release (see
    // docs/wine-notes.md), and no test here paces frames against a clock.
    ComPtr<IMediaFilter> timing;
    if (FAILED(hr = graph->builder.As(&timing)) || FAILED(hr = timing->SetSyncSource(nullptr))) return hr;
    hr = CoCreateInstance(downstream, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&graph->downstream));
    if (FAILED(hr)) return hr;
    if (FAILED(hr = graph->builder->AddFilter(filter, L"Camera"))) return hr;
    if (FAILED(hr = graph->builder->AddFilter(graph->downstream.Get(), L"Downstream"))) return hr;
    graph->output = OutputPin(filter);
    ComPtr<IEnumPins> pins;
    graph->downstream->EnumPins(&pins);
    for (ComPtr<IPin> pin; pins->Next(1, pin.ReleaseAndGetAddressOf(), nullptr) == S_OK;) {
        PIN_DIRECTION direction;
        pin->QueryDirection(&direction);
        if (direction == PINDIR_INPUT) {
            graph->input = pin;
            break;
        }
    }
    return graph->output && graph->input ? S_OK : E_FAIL;
}

HRESULT MakeConnectedGraph(IBaseFilter* filter, Graph* graph) {
    const HRESULT hr = MakeGraph(filter, CLSID_NullRenderer, graph);
    return FAILED(hr) ? hr : graph->builder->Connect(graph->output.Get(), graph->input.Get());
}

std::vector<CMediaType> StreamCapsTypes(IBaseFilter* filter) {
    std::vector<CMediaType> types;
    ComPtr<IAMStreamConfig> config;
    if (FAILED(filter->QueryInterface(IID_PPV_ARGS(&config)))) return types;
    int count = 0, size = 0;
    config->GetNumberOfCapabilities(&count, &size);
    for (int i = 0; i < count; ++i) {
        MediaTypePtr type;
        VIDEO_STREAM_CONFIG_CAPS caps;
        if (config->GetStreamCaps(i, type.Put(), reinterpret_cast<BYTE*>(&caps)) == S_OK) types.emplace_back(*type.Get());
    }
    return types;
}

}  // namespace vyx::test
