#include "RecordingInputPin.h"

#include "MediaTypePtr.h"
#include "RecordingSink.h"

namespace vyx::vyxcap {

RecordingInputPin::RecordingInputPin(RecordingSink* sink, CCritSec* lock, const GUID& subtype)
    : CBasePin(L"Recording input", sink, lock, nullptr, L"In", PINDIR_INPUT), m_sink(sink), m_subtype(subtype) {}

STDMETHODIMP RecordingInputPin::NonDelegatingQueryInterface(REFIID riid, void** ppv) {
    CheckPointer(ppv, E_POINTER);
    if (IsEqualIID(riid, IID_IMemInputPin)) return GetInterface(static_cast<IMemInputPin*>(this), ppv);
    return CBasePin::NonDelegatingQueryInterface(riid, ppv);
}

STDMETHODIMP RecordingInputPin::BeginFlush() { return S_OK; }
STDMETHODIMP RecordingInputPin::EndFlush() { return S_OK; }

STDMETHODIMP RecordingInputPin::GetAllocator(IMemAllocator** allocator) {
    CheckPointer(allocator, E_POINTER);
    *allocator = nullptr;
    return VFW_E_NO_ALLOCATOR;
}

STDMETHODIMP RecordingInputPin::NotifyAllocator(IMemAllocator* allocator, BOOL) {
    CheckPointer(allocator, E_POINTER);
    return S_OK;
}

STDMETHODIMP RecordingInputPin::GetAllocatorRequirements(ALLOCATOR_PROPERTIES* props) {
    CheckPointer(props, E_POINTER);
    return E_NOTIMPL;
}

STDMETHODIMP RecordingInputPin::Receive(IMediaSample* sample) {
    CheckPointer(sample, E_POINTER);
    if (IsStopped()) return VFW_E_WRONG_STATE;
    return m_sink->Record(sample);
}

STDMETHODIMP RecordingInputPin::ReceiveMultiple(IMediaSample** samples, long count, long* processed) {
    CheckPointer(samples, E_POINTER);
    CheckPointer(processed, E_POINTER);
    *processed = 0;
    HRESULT hr = S_OK;
    while (*processed < count) {
        hr = Receive(samples[*processed]);
        if (hr != S_OK) break;
        ++*processed;
    }
    return hr;
}

STDMETHODIMP RecordingInputPin::ReceiveCanBlock() { return S_OK; }

HRESULT RecordingInputPin::CheckMediaType(const CMediaType* type) {
    CheckPointer(type, E_POINTER);
    if (!IsEqualGUID(type->majortype, MEDIATYPE_Video) || !IsEqualGUID(type->subtype, m_subtype))
        return VFW_E_TYPE_NOT_ACCEPTED;
    return vyx::win::BitmapHeader(*type) ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
}

}  // namespace vyx::vyxcap
