#pragma once
// The recording sink's input pin: takes the one subtype vyxcap chose, lets the upstream pin
// bring its own allocator, and hands each sample to the sink.
//
// Threads: connection calls arrive on the application's thread under the sink's state lock;
// Receive and ReceiveMultiple on the upstream streaming thread.
#include <streams.h>

namespace vyx::vyxcap {

class RecordingSink;

class RecordingInputPin final : public CBasePin, public IMemInputPin {
public:
    RecordingInputPin(RecordingSink* sink, CCritSec* lock, const GUID& subtype);

    DECLARE_IUNKNOWN
    STDMETHODIMP NonDelegatingQueryInterface(REFIID riid, void** ppv) override;

    // IPin: a file has nothing to flush; the frames already written stay.
    STDMETHODIMP BeginFlush() override;
    STDMETHODIMP EndFlush() override;

    // IMemInputPin
    STDMETHODIMP GetAllocator(IMemAllocator** allocator) override;
    STDMETHODIMP NotifyAllocator(IMemAllocator* allocator, BOOL readOnly) override;
    STDMETHODIMP GetAllocatorRequirements(ALLOCATOR_PROPERTIES* props) override;
    STDMETHODIMP Receive(IMediaSample* sample) override;
    STDMETHODIMP ReceiveMultiple(IMediaSample** samples, long count, long* processed) override;
    STDMETHODIMP ReceiveCanBlock() override;

    // Video of the chosen subtype with a bitmap header, nothing else.
    HRESULT CheckMediaType(const CMediaType* type) override;

private:
    RecordingSink* const m_sink;
    const GUID m_subtype;
};

}  // namespace vyx::vyxcap
