#pragma once
// The platform's memory allocator behind a wrapper that signals when it is decommitted,
// so a test can tell that a stopping filter has reached its streaming thread.
#include <streams.h>
#include <wrl/client.h>

namespace vyx::dshow::test {

class TestAllocator : public IMemAllocator {
public:
    static Microsoft::WRL::ComPtr<IMemAllocator> Create(TestAllocator** self);

    CAMEvent decommitted{TRUE};

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

    STDMETHODIMP SetProperties(ALLOCATOR_PROPERTIES* request, ALLOCATOR_PROPERTIES* actual) override;
    STDMETHODIMP GetProperties(ALLOCATOR_PROPERTIES* props) override;
    STDMETHODIMP Commit() override;
    STDMETHODIMP Decommit() override;
    STDMETHODIMP GetBuffer(IMediaSample** sample, REFERENCE_TIME* start, REFERENCE_TIME* end, DWORD flags) override;
    STDMETHODIMP ReleaseBuffer(IMediaSample* sample) override;

private:
    TestAllocator() = default;
    virtual ~TestAllocator() = default;

    volatile LONG m_cRef = 1;
    Microsoft::WRL::ComPtr<IMemAllocator> m_inner;
};

}  // namespace vyx::dshow::test
