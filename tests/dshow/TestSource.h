#pragma once
// A source filter built on the framework, with one TestStream. Counts live instances so
// tests can see when the last reference really deleted it.
#include <streams.h>
#include <wrl/client.h>

#include <atomic>

#include "TestStream.h"

namespace vyx::dshow::test {

// {6A1D5E40-2C1B-4F7A-9C55-0D3E8B7F1A01}
inline constexpr CLSID CLSID_TestSource = {
    0x6a1d5e40, 0x2c1b, 0x4f7a, {0x9c, 0x55, 0x0d, 0x3e, 0x8b, 0x7f, 0x1a, 0x01}};

class TestSource : public CSource {
public:
    TestSource(LPUNKNOWN outer, HRESULT* phr, const StreamScript& script);
    ~TestSource() override;

    // A new source held by the returned interface; the stream stays owned by the source.
    static Microsoft::WRL::ComPtr<IBaseFilter> Create(const StreamScript& script, TestStream** stream);

    static std::atomic<int> s_live;
};

}  // namespace vyx::dshow::test
