#include "TestSource.h"

namespace vyx::dshow::test {

std::atomic<int> TestSource::s_live{0};

TestSource::TestSource(LPUNKNOWN outer, HRESULT* phr, const StreamScript& script)
    : CSource(L"Test source", outer, CLSID_TestSource, phr)
{
    ++s_live;
    CAutoLock lock(&m_cStateLock);
    new TestStream(phr, this, script);  // enters m_paStreams; deleted by ~CSource
}

TestSource::~TestSource()
{
    --s_live;
}

Microsoft::WRL::ComPtr<IBaseFilter> TestSource::Create(const StreamScript& script, TestStream** stream)
{
    HRESULT hr = S_OK;
    auto* source = new TestSource(nullptr, &hr, script);
    Microsoft::WRL::ComPtr<IBaseFilter> filter;
    source->NonDelegatingQueryInterface(IID_IBaseFilter, reinterpret_cast<void**>(filter.GetAddressOf()));
    if (stream != nullptr)
        *stream = static_cast<TestStream*>(source->GetPin(0));
    return filter;
}

}  // namespace vyx::dshow::test
