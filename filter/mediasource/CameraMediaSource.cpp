#include "CameraMediaSource.h"

#include <mfapi.h>
#include <mferror.h>

#include <new>

#include "CameraMediaStream.h"
#include "KsProperties.h"
#include "MediaSourceFactory.h"
#include "MfPlatform.h"

namespace vyx::mf {

using Microsoft::WRL::ComPtr;

namespace {
constexpr DWORD kStreamId = 0;
const HRESULT kSetNotFound = HRESULT_FROM_WIN32(ERROR_SET_NOT_FOUND);
}  // namespace

CUnknown* CALLBACK CreateCameraMediaSource(LPUNKNOWN outer, HRESULT* result) {
    if (outer) {
        *result = CLASS_E_NOAGGREGATION;
        return nullptr;
    }
    auto* source = new (std::nothrow) CameraMediaSource(g_ModelDescriptor, result);
    if (!source) *result = E_OUTOFMEMORY;
    return source;
}

CameraMediaSource::CameraMediaSource(const ModelDescriptor& model, HRESULT* result)
    : CUnknown(L"Camera media source", nullptr) {
    HRESULT hr = platform::Startup();
    m_mfStarted = SUCCEEDED(hr);
    if (SUCCEEDED(hr)) hr = Initialize(model);
    if (FAILED(hr) && result) *result = hr;
}

HRESULT CameraMediaSource::Initialize(const ModelDescriptor& model) {
    HRESULT hr = OpenSourceCamera(model, &m_camera);
    if (FAILED(hr)) return hr;
    m_formats = BuildSourceFormats(m_camera->Description(), model.resolutions, model.resolutionCount);
    m_rates = m_camera->FrameRates();
    if (m_formats.empty()) return MF_E_INVALIDMEDIATYPE;

    std::vector<ComPtr<IMFMediaType>> types(m_formats.size());
    std::vector<IMFMediaType*> typePointers;
    for (std::size_t i = 0; i < m_formats.size(); ++i) {
        if (FAILED(hr = CreateSourceMediaType(m_formats[i], m_rates, &types[i]))) return hr;
        typePointers.push_back(types[i].Get());
    }
    ComPtr<IMFStreamDescriptor> stream;
    ComPtr<IMFMediaTypeHandler> handler;
    if (FAILED(hr = platform::CreateStreamDescriptor(kStreamId, static_cast<DWORD>(typePointers.size()), typePointers.data(),
                                             &stream)) ||
        FAILED(hr = stream->GetMediaTypeHandler(&handler)) || FAILED(hr = handler->SetCurrentMediaType(types[0].Get())) ||
        FAILED(hr = platform::CreatePresentationDescriptor(1, stream.GetAddressOf(), &m_descriptor)) ||
        FAILED(hr = m_descriptor->SelectStream(kStreamId)) || FAILED(hr = platform::CreateEventQueue(&m_events)) ||
        FAILED(hr = platform::CreateAttributes(&m_attributes, 1)) || FAILED(hr = platform::CreateAttributes(&m_streamAttributes, 1)))
        return hr;
    m_stream = CameraMediaStream::Create(this, stream.Get(), &hr);
    if (!m_stream) return hr;
    m_pump = std::make_unique<FramePump>(*m_camera, *this);
    return S_OK;
}

CameraMediaSource::~CameraMediaSource() {
    Shutdown();
    m_pump.reset();
    m_camera.reset();
    if (m_mfStarted) platform::Shutdown();
}

STDMETHODIMP CameraMediaSource::NonDelegatingQueryInterface(REFIID riid, void** object) {
    if (!object) return E_POINTER;
    if (riid == IID_IMFMediaEventGenerator || riid == IID_IMFMediaSource || riid == IID_IMFMediaSourceEx)
        return GetInterface(static_cast<IMFMediaSourceEx*>(this), object);
    if (riid == IID_IMFGetService) return GetInterface(static_cast<IMFGetService*>(this), object);
    if (riid == IID_IKsControl) return GetInterface(static_cast<IKsControl*>(this), object);
    return CUnknown::NonDelegatingQueryInterface(riid, object);
}

// IMFMediaEventGenerator: the queue answers MF_E_SHUTDOWN once shut down.

STDMETHODIMP CameraMediaSource::GetEvent(DWORD flags, IMFMediaEvent** event) {
    if (!m_events) return MF_E_SHUTDOWN;
    return m_events->GetEvent(flags, event);
}

STDMETHODIMP CameraMediaSource::BeginGetEvent(IMFAsyncCallback* callback, IUnknown* state) {
    if (!m_events) return MF_E_SHUTDOWN;
    return m_events->BeginGetEvent(callback, state);
}

STDMETHODIMP CameraMediaSource::EndGetEvent(IMFAsyncResult* result, IMFMediaEvent** event) {
    if (!m_events) return MF_E_SHUTDOWN;
    return m_events->EndGetEvent(result, event);
}

STDMETHODIMP CameraMediaSource::QueueEvent(MediaEventType type, REFGUID extendedType, HRESULT status,
                                           const PROPVARIANT* value) {
    if (!m_events) return MF_E_SHUTDOWN;
    return m_events->QueueEventParamVar(type, extendedType, status, value);
}

// IMFMediaSource

STDMETHODIMP CameraMediaSource::GetCharacteristics(DWORD* characteristics) {
    if (!characteristics) return E_POINTER;
    std::lock_guard<std::mutex> lock(m_lock);
    if (m_state == State::Shutdown) return MF_E_SHUTDOWN;
    *characteristics = MFMEDIASOURCE_IS_LIVE;
    return S_OK;
}

STDMETHODIMP CameraMediaSource::CreatePresentationDescriptor(IMFPresentationDescriptor** descriptor) {
    if (!descriptor) return E_POINTER;
    *descriptor = nullptr;
    std::lock_guard<std::mutex> lock(m_lock);
    if (m_state == State::Shutdown) return MF_E_SHUTDOWN;
    return m_descriptor->Clone(descriptor);
}

STDMETHODIMP CameraMediaSource::Start(IMFPresentationDescriptor* descriptor, const GUID* timeFormat,
                                      const PROPVARIANT* startPosition) {
    if (!descriptor || !startPosition) return E_INVALIDARG;
    if (timeFormat && !IsEqualGUID(*timeFormat, GUID_NULL)) return MF_E_UNSUPPORTED_TIME_FORMAT;
    if (startPosition->vt != VT_EMPTY && startPosition->vt != VT_I8) return MF_E_UNSUPPORTED_TIME_FORMAT;
    std::lock_guard<std::mutex> lock(m_lock);
    if (m_state == State::Shutdown) return MF_E_SHUTDOWN;
    if (m_ended == MF_E_VIDEO_RECORDING_DEVICE_INVALIDATED) return MF_E_VIDEO_RECORDING_DEVICE_INVALIDATED;
    // A live source has no earlier or later position to go to.
    if (m_state != State::Stopped && startPosition->vt == VT_I8) return MF_E_INVALIDREQUEST;

    DWORD count = 0;
    BOOL selected = FALSE;
    DWORD id = 0;
    ComPtr<IMFStreamDescriptor> stream;
    if (FAILED(descriptor->GetStreamDescriptorCount(&count)) || count != 1 ||
        FAILED(descriptor->GetStreamDescriptorByIndex(0, &selected, &stream)) ||
        FAILED(stream->GetStreamIdentifier(&id)) || id != kStreamId)
        return E_INVALIDARG;

    if (m_state == State::Stopped && selected) {
        const HRESULT hr = StartStreaming(stream.Get());
        if (FAILED(hr)) return hr;
    } else if (m_state == State::Paused) {
        m_pump->Resume();
    }
    if (m_state == State::Stopped) m_streamSelected = selected != FALSE;
    m_state = State::Started;

    if (m_streamSelected) {
        m_events->QueueEventParamUnk(m_streamAnnounced ? MEUpdatedStream : MENewStream, GUID_NULL, S_OK,
                                     static_cast<IMFMediaStream*>(m_stream.Get()));
        m_streamAnnounced = true;
        m_stream->QueueState(MEStreamStarted, startPosition);
    }
    return m_events->QueueEventParamVar(MESourceStarted, GUID_NULL, S_OK, startPosition);
}

HRESULT CameraMediaSource::StartStreaming(IMFStreamDescriptor* descriptor) {
    ComPtr<IMFMediaTypeHandler> handler;
    ComPtr<IMFMediaType> type;
    HRESULT hr = descriptor->GetMediaTypeHandler(&handler);
    if (FAILED(hr)) return hr;
    if (FAILED(handler->GetCurrentMediaType(&type))) return MF_E_INVALIDMEDIATYPE;
    const std::int32_t index = FindSourceFormat(m_formats, type.Get());
    if (index < 0) return MF_E_INVALIDMEDIATYPE;
    const SourceFormat& format = m_formats[static_cast<std::size_t>(index)];
    const CameraMode mode{format.entry, format.width, format.height, FrameIntervalOf(type.Get())};
    if (FAILED(hr = m_camera->Configure(mode))) return hr;
    m_ended = S_OK;
    return m_pump->Start(format);
}

STDMETHODIMP CameraMediaSource::Stop() {
    std::lock_guard<std::mutex> lock(m_lock);
    if (m_state == State::Shutdown) return MF_E_SHUTDOWN;
    if (m_state != State::Stopped) m_pump->Stop();  // the camera's stream ends and the settings are saved
    m_state = State::Stopped;
    if (m_streamSelected) m_stream->QueueState(MEStreamStopped, nullptr);
    return m_events->QueueEventParamVar(MESourceStopped, GUID_NULL, S_OK, nullptr);
}

STDMETHODIMP CameraMediaSource::Pause() {
    std::lock_guard<std::mutex> lock(m_lock);
    if (m_state == State::Shutdown) return MF_E_SHUTDOWN;
    if (m_state != State::Started) return MF_E_INVALID_STATE_TRANSITION;
    m_pump->Pause();
    m_state = State::Paused;
    if (m_streamSelected) m_stream->QueueState(MEStreamPaused, nullptr);
    return m_events->QueueEventParamVar(MESourcePaused, GUID_NULL, S_OK, nullptr);
}

STDMETHODIMP CameraMediaSource::Shutdown() {
    std::lock_guard<std::mutex> lock(m_lock);
    if (m_state == State::Shutdown) return MF_E_SHUTDOWN;
    if (m_camera) {  // none when creation failed
        m_pump.reset();    // stops the stream
        m_camera.reset();  // saves the settings and closes it: another program may open it now
    }
    if (m_stream) m_stream->Shutdown();
    if (m_events) m_events->Shutdown();
    m_state = State::Shutdown;
    return S_OK;
}

// IMFMediaSourceEx

STDMETHODIMP CameraMediaSource::GetSourceAttributes(IMFAttributes** attributes) {
    if (!attributes) return E_POINTER;
    std::lock_guard<std::mutex> lock(m_lock);
    if (m_state == State::Shutdown) return MF_E_SHUTDOWN;
    return m_attributes.CopyTo(attributes);
}

STDMETHODIMP CameraMediaSource::GetStreamAttributes(DWORD streamId, IMFAttributes** attributes) {
    if (!attributes) return E_POINTER;
    std::lock_guard<std::mutex> lock(m_lock);
    if (m_state == State::Shutdown) return MF_E_SHUTDOWN;
    if (streamId != kStreamId) return MF_E_INVALIDSTREAMNUMBER;
    return m_streamAttributes.CopyTo(attributes);
}

STDMETHODIMP CameraMediaSource::SetD3DManager(IUnknown*) {
    // Samples are in system memory; a device manager has nothing to do here.
    std::lock_guard<std::mutex> lock(m_lock);
    return m_state == State::Shutdown ? MF_E_SHUTDOWN : S_OK;
}

// IMFGetService

STDMETHODIMP CameraMediaSource::GetService(REFGUID service, REFIID riid, void** object) {
    if (!object) return E_POINTER;
    *object = nullptr;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        if (m_state == State::Shutdown) return MF_E_SHUTDOWN;
    }
    if (!IsEqualGUID(service, GUID_NULL)) return MF_E_UNSUPPORTED_SERVICE;
    return NonDelegatingQueryInterface(riid, object);
}

// IKsControl

STDMETHODIMP CameraMediaSource::KsProperty(PKSPROPERTY property, ULONG propertyLength, LPVOID data,
                                           ULONG dataLength, ULONG* returned) {
    std::lock_guard<std::mutex> lock(m_lock);
    if (m_state == State::Shutdown) return MF_E_SHUTDOWN;
    return HandleKsProperty(m_camera->Controls(), property, propertyLength, data, dataLength, returned);
}

STDMETHODIMP CameraMediaSource::KsMethod(PKSMETHOD, ULONG, LPVOID, ULONG, ULONG*) {
    return kSetNotFound;
}

STDMETHODIMP CameraMediaSource::KsEvent(PKSEVENT, ULONG, LPVOID, ULONG, ULONG*) {
    return kSetNotFound;
}

HRESULT CameraMediaSource::RequestSample(IUnknown* token) {
    std::lock_guard<std::mutex> lock(m_lock);
    if (m_state == State::Shutdown) return MF_E_SHUTDOWN;
    const HRESULT ended = m_ended;
    if (ended == MF_E_VIDEO_RECORDING_DEVICE_INVALIDATED) return ended;
    if (FAILED(ended)) return MF_E_END_OF_STREAM;
    if (m_state == State::Stopped) return MF_E_MEDIA_SOURCE_WRONGSTATE;
    if (!m_streamSelected) return MF_E_INVALIDREQUEST;
    return m_pump->Request(token);
}

// FramePump::Sink

void CameraMediaSource::OnSample(IMFSample* sample) {
    m_stream->QueueSample(sample);
}

void CameraMediaSource::OnStreamEnded(HRESULT status) {
    m_ended = status;
    // As the platform's own camera sources report a removed device.
    if (status == MF_E_VIDEO_RECORDING_DEVICE_INVALIDATED)
        m_events->QueueEventParamVar(MEVideoCaptureDeviceRemoved, GUID_NULL, S_OK, nullptr);
    m_stream->QueueEnd(status);
}

}  // namespace vyx::mf
