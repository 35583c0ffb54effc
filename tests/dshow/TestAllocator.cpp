#include "TestAllocator.h"

#include "ComTest.h"

namespace vyx::dshow::test {

Microsoft::WRL::ComPtr<IMemAllocator> TestAllocator::Create(TestAllocator** self)
{
    auto* wrapper = new TestAllocator;
    Microsoft::WRL::ComPtr<IMemAllocator> allocator = Adopt<IMemAllocator>(wrapper);
    CoCreateInstance(CLSID_MemoryAllocator, nullptr, CLSCTX_INPROC_SERVER, IID_IMemAllocator,
                     reinterpret_cast<void**>(wrapper->m_inner.GetAddressOf()));
    if (self != nullptr)
        *self = wrapper;
    return allocator;
}

STDMETHODIMP TestAllocator::QueryInterface(REFIID riid, void** ppv)
{
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IMemAllocator))
        return GetInterface(static_cast<IMemAllocator*>(this), ppv);
    *ppv = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) TestAllocator::AddRef()
{
    return InterlockedIncrement(&m_cRef);
}

STDMETHODIMP_(ULONG) TestAllocator::Release()
{
    LONG ref = InterlockedDecrement(&m_cRef);
    if (ref == 0)
        delete this;
    return ref;
}

STDMETHODIMP TestAllocator::SetProperties(ALLOCATOR_PROPERTIES* request, ALLOCATOR_PROPERTIES* actual)
{
    return m_inner->SetProperties(request, actual);
}

STDMETHODIMP TestAllocator::GetProperties(ALLOCATOR_PROPERTIES* props)
{
    return m_inner->GetProperties(props);
}

STDMETHODIMP TestAllocator::Commit()
{
    decommitted.Reset();
    return m_inner->Commit();
}

STDMETHODIMP TestAllocator::Decommit()
{
    HRESULT hr = m_inner->Decommit();
    decommitted.Set();
    return hr;
}

STDMETHODIMP TestAllocator::GetBuffer(IMediaSample** sample, REFERENCE_TIME* start, REFERENCE_TIME* end, DWORD flags)
{
    return m_inner->GetBuffer(sample, start, end, flags);
}

STDMETHODIMP TestAllocator::ReleaseBuffer(IMediaSample* sample)
{
    return m_inner->ReleaseBuffer(sample);
}

}  // namespace vyx::dshow::test
