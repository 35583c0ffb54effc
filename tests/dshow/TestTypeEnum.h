#pragma once
// IEnumMediaTypes over a fixed list, for the hand-written sink pin.
#include <streams.h>

#include <vector>

namespace vyx::dshow::test {

class TestTypeEnum : public IEnumMediaTypes {
public:
    explicit TestTypeEnum(std::vector<GUID> subtypes, size_t position = 0);

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

    STDMETHODIMP Next(ULONG count, AM_MEDIA_TYPE** types, ULONG* fetched) override;
    STDMETHODIMP Skip(ULONG count) override;
    STDMETHODIMP Reset() override;
    STDMETHODIMP Clone(IEnumMediaTypes** clone) override;

private:
    virtual ~TestTypeEnum() = default;

    volatile LONG m_cRef = 1;
    std::vector<GUID> m_subtypes;
    size_t m_position;
};

}  // namespace vyx::dshow::test
