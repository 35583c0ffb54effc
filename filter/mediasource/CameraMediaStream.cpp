#include "CameraMediaStream.h"

#include <mfapi.h>
#include <mferror.h>

#include <new>

#include "CameraMediaSource.h"
#include "MfPlatform.h"

namespace vyx::mf {

using Microsoft::WRL::ComPtr;

ComPtr<CameraMediaStream> CameraMediaStream::Create(CameraMediaSource* source, IMFStreamDescriptor* descriptor,
                                                    HRESULT* result) {
    ComPtr<CameraMediaStream> stream;
    stream.Attach(new (std::nothrow) CameraMediaStream(source, descriptor));
    if (!stream) {
        *result = E_OUTOFMEMORY;
        return nullptr;
    }
    *result = platform::CreateEventQueue(&stream->m_events);
    if (FAILED(*result)) return nullptr;
    return stream;
}

CameraMediaStream::CameraMediaStream(CameraMediaSource* source, IMFStreamDescriptor* descriptor)
    : m_source(source), m_descriptor(descriptor) {}

// IUnknown

STDMETHODIMP CameraMediaStream::QueryInterface(REFIID riid, void** object) {
    if (!object) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IMFMediaEventGenerator || riid == IID_IMFMediaStream) {
        *object = static_cast<IMFMediaStream*>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) CameraMediaStream::AddRef() {
    return static_cast<ULONG>(InterlockedIncrement(&m_refCount));
}

STDMETHODIMP_(ULONG) CameraMediaStream::Release() {
    const LONG count = InterlockedDecrement(&m_refCount);
    if (count == 0) delete this;
    return static_cast<ULONG>(count);
}

// IMFMediaEventGenerator: the queue answers MF_E_SHUTDOWN once shut down.

STDMETHODIMP CameraMediaStream::GetEvent(DWORD flags, IMFMediaEvent** event) {
    return m_events->GetEvent(flags, event);
}

STDMETHODIMP CameraMediaStream::BeginGetEvent(IMFAsyncCallback* callback, IUnknown* state) {
    return m_events->BeginGetEvent(callback, state);
}

STDMETHODIMP CameraMediaStream::EndGetEvent(IMFAsyncResult* result, IMFMediaEvent** event) {
    return m_events->EndGetEvent(result, event);
}

STDMETHODIMP CameraMediaStream::QueueEvent(MediaEventType type, REFGUID extendedType, HRESULT status,
                                           const PROPVARIANT* value) {
    return m_events->QueueEventParamVar(type, extendedType, status, value);
}

// IMFMediaStream

STDMETHODIMP CameraMediaStream::GetMediaSource(IMFMediaSource** source) {
    if (!source) return E_POINTER;
    *source = nullptr;
    std::lock_guard<std::mutex> lock(m_lock);
    if (!m_source) return MF_E_SHUTDOWN;
    *source = static_cast<IMFMediaSource*>(static_cast<IMFMediaSourceEx*>(m_source));
    (*source)->AddRef();
    return S_OK;
}

STDMETHODIMP CameraMediaStream::GetStreamDescriptor(IMFStreamDescriptor** descriptor) {
    if (!descriptor) return E_POINTER;
    *descriptor = nullptr;
    std::lock_guard<std::mutex> lock(m_lock);
    if (!m_source) return MF_E_SHUTDOWN;
    *descriptor = m_descriptor.Get();
    (*descriptor)->AddRef();
    return S_OK;
}

STDMETHODIMP CameraMediaStream::RequestSample(IUnknown* token) {
    ComPtr<CameraMediaSource> source;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        if (!m_source) return MF_E_SHUTDOWN;
        source = m_source;
    }
    return source->RequestSample(token);
}

void CameraMediaStream::QueueSample(IMFSample* sample) {
    m_events->QueueEventParamUnk(MEMediaSample, GUID_NULL, S_OK, sample);
}

void CameraMediaStream::QueueEnd(HRESULT status) {
    m_events->QueueEventParamVar(MEError, GUID_NULL, status, nullptr);
    m_events->QueueEventParamVar(MEEndOfStream, GUID_NULL, S_OK, nullptr);
}

void CameraMediaStream::QueueState(MediaEventType type, const PROPVARIANT* value) {
    m_events->QueueEventParamVar(type, GUID_NULL, S_OK, value);
}

void CameraMediaStream::Shutdown() {
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_source = nullptr;
    }
    m_events->Shutdown();
}

}  // namespace vyx::mf
