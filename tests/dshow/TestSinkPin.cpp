#include "TestSinkPin.h"

#include "ComTest.h"
#include "TestAllocator.h"
#include "TestTypeEnum.h"

namespace vyx::dshow::test {

Microsoft::WRL::ComPtr<IPin> TestSinkPin::Create(const SinkScript& script, TestSinkPin** self)
{
    auto* pin = new TestSinkPin(script);
    if (self != nullptr)
        *self = pin;
    return Adopt(static_cast<IPin*>(pin));
}

TestSinkPin::TestSinkPin(const SinkScript& script) : m_script(script)
{
    if (m_script.offerAllocator)
        ownAllocator = TestAllocator::Create(&ownAllocatorWrapper);
}

bool TestSinkPin::Accepts(const AM_MEDIA_TYPE* type) const
{
    if (!IsEqualGUID(type->majortype, MEDIATYPE_Video))
        return false;
    if (m_script.accepted.empty())
        return true;
    for (const GUID& subtype : m_script.accepted) {
        if (IsEqualGUID(subtype, type->subtype))
            return true;
    }
    return false;
}

STDMETHODIMP TestSinkPin::QueryInterface(REFIID riid, void** ppv)
{
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IPin))
        return GetInterface(static_cast<IPin*>(this), ppv);
    if (IsEqualIID(riid, IID_IMemInputPin))
        return GetInterface(static_cast<IMemInputPin*>(this), ppv);
    *ppv = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) TestSinkPin::AddRef()
{
    return InterlockedIncrement(&m_cRef);
}

STDMETHODIMP_(ULONG) TestSinkPin::Release()
{
    LONG ref = InterlockedDecrement(&m_cRef);
    if (ref == 0)
        delete this;
    return ref;
}

STDMETHODIMP TestSinkPin::Connect(IPin*, const AM_MEDIA_TYPE*)
{
    return E_UNEXPECTED;
}

STDMETHODIMP TestSinkPin::ReceiveConnection(IPin* connectorPin, const AM_MEDIA_TYPE* type)
{
    if (connector != nullptr)
        return VFW_E_ALREADY_CONNECTED;
    if (!Accepts(type))
        return VFW_E_TYPE_NOT_ACCEPTED;
    connector = connectorPin;
    connectedType = *type;
    return S_OK;
}

STDMETHODIMP TestSinkPin::Disconnect()
{
    if (connector == nullptr)
        return S_FALSE;
    connector.Reset();
    notifiedAllocator.Reset();
    return S_OK;
}

STDMETHODIMP TestSinkPin::ConnectedTo(IPin** pin)
{
    *pin = connector.Get();
    if (*pin == nullptr)
        return VFW_E_NOT_CONNECTED;
    (*pin)->AddRef();
    return S_OK;
}

STDMETHODIMP TestSinkPin::ConnectionMediaType(AM_MEDIA_TYPE* type)
{
    return CopyMediaType(type, &connectedType);
}

STDMETHODIMP TestSinkPin::QueryPinInfo(PIN_INFO* info)
{
    info->pFilter = nullptr;
    info->dir = PINDIR_INPUT;
    wcscpy(info->achName, L"Sink");
    return S_OK;
}

STDMETHODIMP TestSinkPin::QueryDirection(PIN_DIRECTION* direction)
{
    *direction = PINDIR_INPUT;
    return S_OK;
}

STDMETHODIMP TestSinkPin::QueryId(LPWSTR* id)
{
    return AMGetWideString(L"Sink", id);
}

STDMETHODIMP TestSinkPin::QueryAccept(const AM_MEDIA_TYPE* type)
{
    return Accepts(type) ? S_OK : S_FALSE;
}

STDMETHODIMP TestSinkPin::EnumMediaTypes(IEnumMediaTypes** types)
{
    if (m_script.offered.empty())
        return E_NOTIMPL;
    *types = new TestTypeEnum(m_script.offered);
    return S_OK;
}

STDMETHODIMP TestSinkPin::QueryInternalConnections(IPin**, ULONG*)
{
    return E_NOTIMPL;
}

STDMETHODIMP TestSinkPin::EndOfStream()
{
    ++endOfStreams;
    endOfStream.Set();
    return S_OK;
}

STDMETHODIMP TestSinkPin::BeginFlush()
{
    return S_OK;
}

STDMETHODIMP TestSinkPin::EndFlush()
{
    return S_OK;
}

STDMETHODIMP TestSinkPin::NewSegment(REFERENCE_TIME, REFERENCE_TIME, double)
{
    return S_OK;
}

STDMETHODIMP TestSinkPin::GetAllocator(IMemAllocator** allocator)
{
    if (!m_script.offerAllocator)
        return VFW_E_NO_ALLOCATOR;
    *allocator = ownAllocator.Get();
    (*allocator)->AddRef();
    return S_OK;
}

STDMETHODIMP TestSinkPin::NotifyAllocator(IMemAllocator* allocator, BOOL)
{
    if (m_script.refuseOwnAllocator && allocator == ownAllocator.Get())
        return E_FAIL;
    notifiedAllocator = allocator;
    return S_OK;
}

STDMETHODIMP TestSinkPin::GetAllocatorRequirements(ALLOCATOR_PROPERTIES* props)
{
    if (m_script.cbAlign == 0)
        return E_NOTIMPL;
    props->cbAlign = m_script.cbAlign;
    return S_OK;
}

STDMETHODIMP TestSinkPin::Receive(IMediaSample* sample)
{
    receiveThreadId = GetCurrentThreadId();
    if (m_script.onReceive)
        m_script.onReceive(sample);
    const int number = ++samples;
    if (number == m_script.signalAfterSamples)
        samplesReached.Set();
    sampleArrived.Set();
    return m_script.refuseFromSample != 0 && number >= m_script.refuseFromSample ? VFW_E_WRONG_STATE : S_OK;
}

STDMETHODIMP TestSinkPin::ReceiveMultiple(IMediaSample** samplesIn, long count, long* processed)
{
    for (*processed = 0; *processed < count; ++*processed)
        Receive(samplesIn[*processed]);
    return S_OK;
}

STDMETHODIMP TestSinkPin::ReceiveCanBlock()
{
    return S_FALSE;
}

}  // namespace vyx::dshow::test
