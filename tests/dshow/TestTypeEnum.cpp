#include "TestTypeEnum.h"

#include "VideoTypes.h"

namespace vyx::dshow::test {

TestTypeEnum::TestTypeEnum(std::vector<GUID> subtypes, size_t position)
    : m_subtypes(std::move(subtypes)), m_position(position)
{
}

STDMETHODIMP TestTypeEnum::QueryInterface(REFIID riid, void** ppv)
{
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IEnumMediaTypes))
        return GetInterface(static_cast<IEnumMediaTypes*>(this), ppv);
    *ppv = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) TestTypeEnum::AddRef()
{
    return InterlockedIncrement(&m_cRef);
}

STDMETHODIMP_(ULONG) TestTypeEnum::Release()
{
    LONG ref = InterlockedDecrement(&m_cRef);
    if (ref == 0)
        delete this;
    return ref;
}

STDMETHODIMP TestTypeEnum::Next(ULONG count, AM_MEDIA_TYPE** types, ULONG* fetched)
{
    ULONG done = 0;
    while (done < count && m_position < m_subtypes.size()) {
        CMediaType type;
        MakeVideoType(m_subtypes[m_position++], &type);
        types[done++] = CreateMediaType(&type);
    }
    if (fetched != nullptr)
        *fetched = done;
    return done == count ? S_OK : S_FALSE;
}

STDMETHODIMP TestTypeEnum::Skip(ULONG count)
{
    m_position += count;
    return m_position <= m_subtypes.size() ? S_OK : S_FALSE;
}

STDMETHODIMP TestTypeEnum::Reset()
{
    m_position = 0;
    return S_OK;
}

STDMETHODIMP TestTypeEnum::Clone(IEnumMediaTypes** clone)
{
    *clone = new TestTypeEnum(m_subtypes, m_position);
    return S_OK;
}

}  // namespace vyx::dshow::test
