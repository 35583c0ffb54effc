#include "CBaseOutputPin.h"

#include "CMemAllocator.h"

#include <uuids.h>
#include <vfwmsgs.h>

using Microsoft::WRL::ComPtr;

CBaseOutputPin::CBaseOutputPin(LPCTSTR pObjectName, CBaseFilter* pFilter, CCritSec* pLock, HRESULT* phr,
                               LPCWSTR pName)
    : CBasePin(pObjectName, pFilter, pLock, phr, pName, PINDIR_OUTPUT)
{
}

HRESULT CBaseOutputPin::CheckConnect(IPin* pPin)
{
    HRESULT hr = CBasePin::CheckConnect(pPin);
    if (FAILED(hr))
        return hr;
    return pPin->QueryInterface(IID_IMemInputPin, reinterpret_cast<void**>(m_pInputPin.ReleaseAndGetAddressOf()));
}

HRESULT CBaseOutputPin::CompleteConnect(IPin*)
{
    return DecideAllocator(m_pInputPin.Get(), m_pAllocator.ReleaseAndGetAddressOf());
}

HRESULT CBaseOutputPin::BreakConnect()
{
    if (m_pAllocator != nullptr) {
        HRESULT hr = m_pAllocator->Decommit();
        if (FAILED(hr))
            return hr;
        m_pAllocator.Reset();
    }
    m_pInputPin.Reset();
    return S_OK;
}

HRESULT CBaseOutputPin::DecideAllocator(IMemInputPin* pPin, IMemAllocator** ppAlloc)
{
    CheckPointer(pPin, E_POINTER);
    CheckPointer(ppAlloc, E_POINTER);
    *ppAlloc = nullptr;

    ALLOCATOR_PROPERTIES wanted = {};
    // Optional for the downstream pin: without requirements we start from zero.
    pPin->GetAllocatorRequirements(&wanted);
    if (wanted.cbAlign == 0)
        wanted.cbAlign = 1;

    // Each candidate starts from the downstream wishes, whatever an earlier one was granted.
    auto tryAllocator = [&](IMemAllocator* allocator) {
        ALLOCATOR_PROPERTIES request = wanted;
        HRESULT hr = DecideBufferSize(allocator, &request);
        if (FAILED(hr))
            return hr;
        return pPin->NotifyAllocator(allocator, FALSE);
    };

    ComPtr<IMemAllocator> allocator;
    HRESULT hr = pPin->GetAllocator(allocator.GetAddressOf());
    if (SUCCEEDED(hr) && allocator != nullptr) {
        hr = tryAllocator(allocator.Get());
        if (SUCCEEDED(hr)) {
            *ppAlloc = allocator.Detach();
            return S_OK;
        }
    }
    allocator.Reset();
    hr = InitAllocator(allocator.GetAddressOf());
    if (FAILED(hr))
        return hr;
    hr = tryAllocator(allocator.Get());
    if (FAILED(hr))
        return hr;
    *ppAlloc = allocator.Detach();
    return S_OK;
}

HRESULT CBaseOutputPin::InitAllocator(IMemAllocator** ppAlloc)
{
    CheckPointer(ppAlloc, E_POINTER);
    *ppAlloc = CMemAllocator::Create();
    return *ppAlloc != nullptr ? S_OK : E_OUTOFMEMORY;
}

HRESULT CBaseOutputPin::GetDeliveryBuffer(IMediaSample** ppSample, REFERENCE_TIME* pStartTime,
                                          REFERENCE_TIME* pEndTime, DWORD dwFlags)
{
    if (m_pAllocator == nullptr)
        return E_NOINTERFACE;
    return m_pAllocator->GetBuffer(ppSample, pStartTime, pEndTime, dwFlags);
}

HRESULT CBaseOutputPin::Deliver(IMediaSample* pSample)
{
    if (m_pInputPin == nullptr)
        return VFW_E_NOT_CONNECTED;
    return m_pInputPin->Receive(pSample);
}

HRESULT CBaseOutputPin::DeliverEndOfStream()
{
    if (m_Connected == nullptr)
        return VFW_E_NOT_CONNECTED;
    return m_Connected->EndOfStream();
}

HRESULT CBaseOutputPin::DeliverBeginFlush()
{
    if (m_Connected == nullptr)
        return VFW_E_NOT_CONNECTED;
    return m_Connected->BeginFlush();
}

HRESULT CBaseOutputPin::DeliverEndFlush()
{
    if (m_Connected == nullptr)
        return VFW_E_NOT_CONNECTED;
    return m_Connected->EndFlush();
}

HRESULT CBaseOutputPin::DeliverNewSegment(REFERENCE_TIME tStart, REFERENCE_TIME tStop, double dRate)
{
    if (m_Connected == nullptr)
        return VFW_E_NOT_CONNECTED;
    return m_Connected->NewSegment(tStart, tStop, dRate);
}

HRESULT CBaseOutputPin::Active()
{
    if (m_pAllocator == nullptr)
        return VFW_E_NO_ALLOCATOR;
    return m_pAllocator->Commit();
}

HRESULT CBaseOutputPin::Inactive()
{
    if (m_pAllocator == nullptr)
        return VFW_E_NO_ALLOCATOR;
    return m_pAllocator->Decommit();
}

STDMETHODIMP CBaseOutputPin::EndOfStream()
{
    return E_UNEXPECTED;
}

STDMETHODIMP CBaseOutputPin::BeginFlush()
{
    return E_UNEXPECTED;
}

STDMETHODIMP CBaseOutputPin::EndFlush()
{
    return E_UNEXPECTED;
}
