#pragma once
// A hand-written downstream input pin (IPin and IMemInputPin without the framework), scripted
// to accept some subtypes, offer its own types and allocator or not, and to record what the
// upstream pin does to it.
#include <streams.h>
#include <wrl/client.h>

#include <atomic>
#include <functional>
#include <vector>

namespace vyx::dshow::test {

struct SinkScript {
    std::vector<GUID> accepted;        // empty: any subtype
    std::vector<GUID> offered;         // EnumMediaTypes; empty: E_NOTIMPL
    bool offerAllocator = false;
    bool refuseOwnAllocator = false;   // NotifyAllocator refuses the allocator it offered
    long cbAlign = 0;                  // GetAllocatorRequirements; 0: E_NOTIMPL
    int signalAfterSamples = 0;        // sets samplesReached after this many samples
    int refuseFromSample = 0;          // Receive refuses (VFW_E_WRONG_STATE) from this sample on; 0: never
    std::function<void(IMediaSample*)> onReceive;
};

class TestSinkPin : public IPin, public IMemInputPin {
public:
    static Microsoft::WRL::ComPtr<IPin> Create(const SinkScript& script, TestSinkPin** self);

    CAMEvent samplesReached{TRUE};
    CAMEvent sampleArrived;  // auto reset, set by every Receive
    CAMEvent endOfStream{TRUE};
    std::atomic<int> samples{0};
    std::atomic<int> endOfStreams{0};
    std::atomic<DWORD> receiveThreadId{0};
    CMediaType connectedType;
    Microsoft::WRL::ComPtr<IPin> connector;
    Microsoft::WRL::ComPtr<IMemAllocator> ownAllocator;
    Microsoft::WRL::ComPtr<IMemAllocator> notifiedAllocator;
    class TestAllocator* ownAllocatorWrapper = nullptr;

    // IUnknown
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

    // IPin
    STDMETHODIMP Connect(IPin* receivePin, const AM_MEDIA_TYPE* type) override;
    STDMETHODIMP ReceiveConnection(IPin* connectorPin, const AM_MEDIA_TYPE* type) override;
    STDMETHODIMP Disconnect() override;
    STDMETHODIMP ConnectedTo(IPin** pin) override;
    STDMETHODIMP ConnectionMediaType(AM_MEDIA_TYPE* type) override;
    STDMETHODIMP QueryPinInfo(PIN_INFO* info) override;
    STDMETHODIMP QueryDirection(PIN_DIRECTION* direction) override;
    STDMETHODIMP QueryId(LPWSTR* id) override;
    STDMETHODIMP QueryAccept(const AM_MEDIA_TYPE* type) override;
    STDMETHODIMP EnumMediaTypes(IEnumMediaTypes** types) override;
    STDMETHODIMP QueryInternalConnections(IPin** pins, ULONG* count) override;
    STDMETHODIMP EndOfStream() override;
    STDMETHODIMP BeginFlush() override;
    STDMETHODIMP EndFlush() override;
    STDMETHODIMP NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) override;

    // IMemInputPin
    STDMETHODIMP GetAllocator(IMemAllocator** allocator) override;
    STDMETHODIMP NotifyAllocator(IMemAllocator* allocator, BOOL readOnly) override;
    STDMETHODIMP GetAllocatorRequirements(ALLOCATOR_PROPERTIES* props) override;
    STDMETHODIMP Receive(IMediaSample* sample) override;
    STDMETHODIMP ReceiveMultiple(IMediaSample** samples, long count, long* processed) override;
    STDMETHODIMP ReceiveCanBlock() override;

private:
    explicit TestSinkPin(const SinkScript& script);
    virtual ~TestSinkPin() = default;
    bool Accepts(const AM_MEDIA_TYPE* type) const;

    volatile LONG m_cRef = 1;
    SinkScript m_script;
};

}  // namespace vyx::dshow::test
