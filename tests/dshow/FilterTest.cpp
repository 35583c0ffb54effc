// A framework filter as COM objects: identity, reference counts, enumerations and the exact
// results for null pointers and unconnected pins.
#include <streams.h>
#include <wrl/client.h>

#include <gtest/gtest.h>

#include <cstring>

#include "ComTest.h"
#include "TestSource.h"
#include "VideoTypes.h"

using Microsoft::WRL::ComPtr;

namespace vyx::dshow::test {
namespace {

class FilterTest : public ComTest {
protected:
    void SetUp() override
    {
        ComTest::SetUp();
        m_objectsBefore = CBaseObject::ObjectsActive();
        StreamScript script;
        script.subtypes = {MEDIASUBTYPE_RGB24, MEDIASUBTYPE_RGB32};
        m_filter = TestSource::Create(script, &m_stream);
        ASSERT_NE(m_filter, nullptr);
        ASSERT_EQ(TestSource::s_live, 1);
    }
    void TearDown() override
    {
        m_filter.Reset();
        EXPECT_EQ(TestSource::s_live, 0);
        EXPECT_EQ(CBaseObject::ObjectsActive(), m_objectsBefore) << "every framework object is gone";
        ComTest::TearDown();
    }

    ComPtr<IPin> FirstPin()
    {
        ComPtr<IEnumPins> pins;
        EXPECT_EQ(m_filter->EnumPins(pins.GetAddressOf()), S_OK);
        ComPtr<IPin> pin;
        EXPECT_EQ(pins->Next(1, pin.GetAddressOf(), nullptr), S_OK);
        return pin;
    }

    LONG m_objectsBefore = 0;
    ComPtr<IBaseFilter> m_filter;
    TestStream* m_stream = nullptr;
};

TEST_F(FilterTest, InterfacesShareOneIdentityAndCountOnTheFilter)
{
    ComPtr<IUnknown> identity;
    ASSERT_EQ(m_filter.As(&identity), S_OK);
    for (REFIID iid : {IID_IBaseFilter, IID_IMediaFilter, IID_IPersist, IID_IAMovieSetup}) {
        ComPtr<IUnknown> part;
        ASSERT_EQ(m_filter->QueryInterface(iid, reinterpret_cast<void**>(part.GetAddressOf())), S_OK);
        ComPtr<IUnknown> back;
        ASSERT_EQ(part.As(&back), S_OK);
        EXPECT_EQ(back.Get(), identity.Get());
    }
    ComPtr<IUnknown> none;
    EXPECT_EQ(m_filter->QueryInterface(IID_IPin, reinterpret_cast<void**>(none.GetAddressOf())), E_NOINTERFACE);
    EXPECT_EQ(none, nullptr);
    EXPECT_EQ(m_filter->QueryInterface(IID_IBaseFilter, nullptr), E_POINTER);

    // AddRef and Release return the real count.
    identity.Reset();
    EXPECT_EQ(m_filter->AddRef(), 2u);
    EXPECT_EQ(m_filter->Release(), 1u);

    ComPtr<IPin> pin = FirstPin();
    ComPtr<IQualityControl> quality;
    ASSERT_EQ(pin.As(&quality), S_OK);
    ComPtr<IPin> pinAgain;
    ASSERT_EQ(quality.As(&pinAgain), S_OK);
    EXPECT_EQ(pinAgain.Get(), pin.Get());
    EXPECT_EQ(pin->QueryInterface(IID_IBaseFilter, reinterpret_cast<void**>(none.GetAddressOf())), E_NOINTERFACE);
    EXPECT_EQ(pin->AddRef(), 5u) << "filter, pin, quality and pinAgain references, plus this one";
    EXPECT_EQ(pin->Release(), 4u);
}

TEST_F(FilterTest, PinInterfaceKeepsTheFilterAlive)
{
    ComPtr<IPin> pin = FirstPin();
    ComPtr<IQualityControl> quality;
    ASSERT_EQ(pin.As(&quality), S_OK);
    pin.Reset();
    m_filter.Reset();
    EXPECT_EQ(TestSource::s_live, 1) << "an interface of the pin still counts on the filter";

    ASSERT_EQ(quality.As(&pin), S_OK);
    PIN_INFO info{};
    ASSERT_EQ(pin->QueryPinInfo(&info), S_OK);
    ASSERT_NE(info.pFilter, nullptr) << "the pin's filter is handed out with a reference";
    EXPECT_STREQ(info.achName, L"Out");
    EXPECT_EQ(info.dir, PINDIR_OUTPUT);
    m_filter = Adopt(info.pFilter);

    pin.Reset();
    quality.Reset();
    EXPECT_EQ(TestSource::s_live, 1);
    m_filter.Reset();
    EXPECT_EQ(TestSource::s_live, 0) << "the last reference deletes filter and pin";
}

TEST_F(FilterTest, EnumeratesPinsAndMediaTypes)
{
    ComPtr<IEnumPins> pins;
    ASSERT_EQ(m_filter->EnumPins(pins.GetAddressOf()), S_OK);
    IPin* fetched[2] = {};
    ULONG count = 99;
    EXPECT_EQ(pins->Next(2, fetched, &count), S_FALSE);
    ASSERT_EQ(count, 1u);
    ComPtr<IPin> pin = Adopt(fetched[0]);
    EXPECT_EQ(pins->Next(2, fetched, nullptr), E_INVALIDARG) << "more than one needs a count";
    EXPECT_EQ(pins->Next(1, fetched, &count), S_FALSE);
    EXPECT_EQ(count, 0u);
    EXPECT_EQ(pins->Reset(), S_OK);
    EXPECT_EQ(pins->Skip(1), S_OK);
    EXPECT_EQ(pins->Skip(1), S_FALSE);
    ComPtr<IEnumPins> clone;
    ASSERT_EQ(pins->Clone(clone.GetAddressOf()), S_OK);
    EXPECT_EQ(clone->Next(1, fetched, &count), S_FALSE) << "a clone keeps the position";

    ComPtr<IPin> found;
    EXPECT_EQ(m_filter->FindPin(L"Out", found.GetAddressOf()), S_OK);
    EXPECT_EQ(found.Get(), pin.Get());
    EXPECT_EQ(m_filter->FindPin(L"Video", found.ReleaseAndGetAddressOf()), VFW_E_NOT_FOUND);
    EXPECT_EQ(found, nullptr);
    LPWSTR id = nullptr;
    ASSERT_EQ(pin->QueryId(&id), S_OK);
    EXPECT_STREQ(id, L"Out");
    CoTaskMemFree(id);

    ComPtr<IEnumMediaTypes> types;
    ASSERT_EQ(pin->EnumMediaTypes(types.GetAddressOf()), S_OK);
    AM_MEDIA_TYPE* listed[3] = {};
    ASSERT_EQ(types->Next(3, listed, &count), S_FALSE);
    ASSERT_EQ(count, 2u);
    EXPECT_TRUE(IsEqualGUID(listed[0]->subtype, MEDIASUBTYPE_RGB24)) << "the pin's order is kept";
    EXPECT_TRUE(IsEqualGUID(listed[1]->subtype, MEDIASUBTYPE_RGB32));
    EXPECT_EQ(listed[0]->cbFormat, sizeof(VIDEOINFOHEADER));
    DeleteMediaType(listed[0]);
    DeleteMediaType(listed[1]);

    ASSERT_EQ(types->Reset(), S_OK);
    EXPECT_EQ(types->Skip(1), S_OK);
    ComPtr<IEnumMediaTypes> typesClone;
    ASSERT_EQ(types->Clone(typesClone.GetAddressOf()), S_OK);
    ASSERT_EQ(typesClone->Next(1, listed, nullptr), S_OK);
    EXPECT_TRUE(IsEqualGUID(listed[0]->subtype, MEDIASUBTYPE_RGB32));
    DeleteMediaType(listed[0]);
    EXPECT_EQ(types->Skip(5), S_FALSE);

    m_stream->IncrementTypeVersion();
    EXPECT_EQ(types->Next(1, listed, nullptr), VFW_E_ENUM_OUT_OF_SYNC) << "the pin's types changed";
    EXPECT_EQ(types->Skip(1), VFW_E_ENUM_OUT_OF_SYNC);
    ASSERT_EQ(types->Reset(), S_OK);
    ASSERT_EQ(types->Next(1, listed, nullptr), S_OK);
    DeleteMediaType(listed[0]);
}

TEST_F(FilterTest, NullPointersAndUnconnectedPinsGiveExactResults)
{
    ComPtr<IMediaFilter> media;
    ASSERT_EQ(m_filter.As(&media), S_OK);
    EXPECT_EQ(m_filter->EnumPins(nullptr), E_POINTER);
    EXPECT_EQ(m_filter->FindPin(L"Out", nullptr), E_POINTER);
    IPin* pinOut = reinterpret_cast<IPin*>(1);
    EXPECT_EQ(m_filter->FindPin(nullptr, &pinOut), E_POINTER);
    EXPECT_EQ(pinOut, nullptr);
    EXPECT_EQ(m_filter->QueryFilterInfo(nullptr), E_POINTER);
    EXPECT_EQ(m_filter->GetClassID(nullptr), E_POINTER);
    EXPECT_EQ(media->GetState(0, nullptr), E_POINTER);
    EXPECT_EQ(media->GetSyncSource(nullptr), E_POINTER);
    LPWSTR vendor = nullptr;
    EXPECT_EQ(m_filter->QueryVendorInfo(&vendor), E_NOTIMPL);

    CLSID clsid{};
    ASSERT_EQ(m_filter->GetClassID(&clsid), S_OK);
    EXPECT_TRUE(IsEqualCLSID(clsid, CLSID_TestSource));
    FILTER_STATE state = State_Running;
    ASSERT_EQ(media->GetState(0, &state), S_OK);
    EXPECT_EQ(state, State_Stopped);
    IReferenceClock* clock = reinterpret_cast<IReferenceClock*>(1);
    ASSERT_EQ(media->GetSyncSource(&clock), S_OK);
    EXPECT_EQ(clock, nullptr);

    FILTER_INFO info{};
    ASSERT_EQ(m_filter->QueryFilterInfo(&info), S_OK);
    EXPECT_STREQ(info.achName, L"") << "named only when it joins a graph";
    EXPECT_EQ(info.pGraph, nullptr);

    ComPtr<IAMovieSetup> setup;
    ASSERT_EQ(m_filter.As(&setup), S_OK);
    EXPECT_EQ(setup->Register(), S_FALSE) << "no setup data, nothing to register";
    EXPECT_EQ(setup->Unregister(), S_FALSE);

    ComPtr<IPin> pin = FirstPin();
    EXPECT_EQ(pin->Connect(nullptr, nullptr), E_POINTER);
    EXPECT_EQ(pin->ReceiveConnection(nullptr, nullptr), E_POINTER);
    EXPECT_EQ(pin->ConnectedTo(nullptr), E_POINTER);
    EXPECT_EQ(pin->ConnectionMediaType(nullptr), E_POINTER);
    EXPECT_EQ(pin->QueryPinInfo(nullptr), E_POINTER);
    EXPECT_EQ(pin->QueryDirection(nullptr), E_POINTER);
    EXPECT_EQ(pin->QueryId(nullptr), E_POINTER);
    EXPECT_EQ(pin->QueryAccept(nullptr), E_POINTER);
    EXPECT_EQ(pin->EnumMediaTypes(nullptr), E_POINTER);

    IPin* peer = reinterpret_cast<IPin*>(1);
    EXPECT_EQ(pin->ConnectedTo(&peer), VFW_E_NOT_CONNECTED);
    EXPECT_EQ(peer, nullptr);
    AM_MEDIA_TYPE type;
    std::memset(&type, 0xcc, sizeof(type));
    EXPECT_EQ(pin->ConnectionMediaType(&type), VFW_E_NOT_CONNECTED);
    EXPECT_EQ(type.pbFormat, nullptr) << "an unconnected pin clears the caller's type";
    EXPECT_EQ(type.cbFormat, 0u);
    EXPECT_EQ(pin->Disconnect(), S_FALSE);

    EXPECT_EQ(pin->EndOfStream(), E_UNEXPECTED) << "input-side calls on an output pin";
    EXPECT_EQ(pin->BeginFlush(), E_UNEXPECTED);
    EXPECT_EQ(pin->EndFlush(), E_UNEXPECTED);

    CMediaType rgb32;
    MakeVideoType(MEDIASUBTYPE_RGB32, &rgb32);
    EXPECT_EQ(pin->QueryAccept(&rgb32), S_OK);
    CMediaType audio(&MEDIATYPE_Audio);
    EXPECT_EQ(pin->QueryAccept(&audio), S_FALSE);

    // Unconnected pins do not start a thread, and the filter still changes state.
    ASSERT_EQ(media->Pause(), S_OK);
    EXPECT_EQ(media->Run(0), S_OK);
    ASSERT_EQ(media->GetState(0, &state), S_OK);
    EXPECT_EQ(state, State_Running);
    EXPECT_EQ(media->Stop(), S_OK);
    EXPECT_EQ(m_stream->threadCreates, 0);
}

}  // namespace
}  // namespace vyx::dshow::test
