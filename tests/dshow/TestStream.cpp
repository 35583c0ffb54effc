#include "TestStream.h"

#include <cstring>

#include "VideoTypes.h"

namespace vyx::dshow::test {

TestStream::TestStream(HRESULT* phr, CSource* filter, const StreamScript& script)
    : CSourceStream(L"Test stream", phr, filter, L"Out"), fillsReached(TRUE), m_script(script)
{
}

TestStream::~TestStream() = default;

HRESULT TestStream::FillBuffer(IMediaSample* sample)
{
    streamingThreadId = GetCurrentThreadId();
    if (stateChangedFills < m_script.stateChangedFills) {
        ++stateChangedFills;
        return VFW_E_STATE_CHANGED;
    }
    if (m_script.framesBeforeEnd >= 0 && fills >= m_script.framesBeforeEnd)
        return m_script.endResult;
    BYTE* data = nullptr;
    HRESULT hr = sample->GetPointer(&data);
    if (FAILED(hr))
        return hr;
    const int index = fills;
    const LONG length = static_cast<LONG>(ImageSize(m_mt));
    std::memset(data, index & 0xff, length);
    sample->SetActualDataLength(length);
    REFERENCE_TIME start = index * 333333LL;
    REFERENCE_TIME end = start + 333333LL;
    sample->SetTime(&start, &end);
    sample->SetSyncPoint(TRUE);
    if (++fills == m_script.signalAfterFills)
        fillsReached.Set();
    return S_OK;
}

HRESULT TestStream::OnThreadCreate()
{
    ++threadCreates;
    streamingThreadId = GetCurrentThreadId();
    return m_script.threadCreateResult;
}

HRESULT TestStream::OnThreadDestroy()
{
    ++threadDestroys;
    if (m_script.destroyed != nullptr)
        ++*m_script.destroyed;
    return S_OK;
}

HRESULT TestStream::OnThreadStartPlay()
{
    ++startPlays;
    return S_OK;
}

HRESULT TestStream::GetMediaType(int position, CMediaType* type)
{
    if (position < 0)
        return E_INVALIDARG;
    if (position >= static_cast<int>(m_script.subtypes.size()))
        return VFW_S_NO_MORE_ITEMS;
    MakeVideoType(m_script.subtypes[position], type);
    return S_OK;
}

HRESULT TestStream::CheckMediaType(const CMediaType* type)
{
    for (const GUID& subtype : m_script.subtypes) {
        CMediaType offered;
        MakeVideoType(subtype, &offered);
        if (offered == *type)
            return S_OK;
    }
    return E_FAIL;
}

HRESULT TestStream::DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request)
{
    lastRequest = *request;
    ALLOCATOR_PROPERTIES wanted = *request;
    wanted.cBuffers = 2;
    wanted.cbBuffer = static_cast<LONG>(ImageSize(m_mt));
    ALLOCATOR_PROPERTIES actual{};
    HRESULT hr = allocator->SetProperties(&wanted, &actual);
    if (FAILED(hr))
        return hr;
    return actual.cbBuffer < wanted.cbBuffer ? E_FAIL : S_OK;
}

HRESULT TestStream::InitAllocator(IMemAllocator** allocator)
{
    ++allocatorFallbacks;
    return CBaseOutputPin::InitAllocator(allocator);
}

}  // namespace vyx::dshow::test
