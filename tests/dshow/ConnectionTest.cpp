// The pin connection protocol against a hand-written downstream pin: media type agreement,
// ReceiveConnection, allocator negotiation and the refusals of each step.
#include <streams.h>
#include <wrl/client.h>

#include <gtest/gtest.h>

#include "ComTest.h"
#include "TestSinkPin.h"
#include "TestSource.h"
#include "VideoTypes.h"

using Microsoft::WRL::ComPtr;

namespace vyx::dshow::test {
namespace {

class ConnectionTest : public ComTest {
protected:
    void MakeSource(std::vector<GUID> subtypes)
    {
        StreamScript script;
        script.subtypes = std::move(subtypes);
        m_filter = TestSource::Create(script, &m_stream);
        m_out = m_stream;
    }
    void MakeSink(const SinkScript& script) { m_in = TestSinkPin::Create(script, &m_sink); }
    void TearDown() override
    {
        if (m_out != nullptr)
            m_out->Disconnect();
        if (m_in != nullptr)
            m_in->Disconnect();
        m_out.Reset();
        m_in.Reset();
        m_filter.Reset();
        EXPECT_EQ(TestSource::s_live, 0);
        ComTest::TearDown();
    }

    ComPtr<IBaseFilter> m_filter;
    TestStream* m_stream = nullptr;
    ComPtr<IPin> m_out;
    ComPtr<IPin> m_in;
    TestSinkPin* m_sink = nullptr;
};

TEST_F(ConnectionTest, AgreesOnTypesReceiverFirstThenOwnAndRecordsThemOnBothSides)
{
    // The receiver proposes RGB32 first although the source prefers RGB24.
    MakeSource({MEDIASUBTYPE_RGB24, MEDIASUBTYPE_RGB32});
    SinkScript sinkScript;
    sinkScript.offered = {MEDIASUBTYPE_RGB8, MEDIASUBTYPE_RGB32};
    MakeSink(sinkScript);
    ASSERT_EQ(m_out->Connect(m_in.Get(), nullptr), S_OK);
    EXPECT_TRUE(IsEqualGUID(m_sink->connectedType.subtype, MEDIASUBTYPE_RGB32));
    EXPECT_EQ(m_sink->connector.Get(), m_out.Get());
    EXPECT_TRUE(m_stream->ConnectedType() == m_sink->connectedType);

    ComPtr<IPin> peer;
    ASSERT_EQ(m_out->ConnectedTo(peer.GetAddressOf()), S_OK);
    EXPECT_EQ(peer.Get(), m_in.Get());
    AM_MEDIA_TYPE type;
    ASSERT_EQ(m_out->ConnectionMediaType(&type), S_OK);
    EXPECT_TRUE(IsEqualGUID(type.subtype, MEDIASUBTYPE_RGB32));
    FreeMediaType(type);

    EXPECT_EQ(m_out->Connect(m_in.Get(), nullptr), VFW_E_ALREADY_CONNECTED);
    EXPECT_EQ(m_out->Disconnect(), S_OK);
    EXPECT_EQ(m_out->Disconnect(), S_FALSE);
    EXPECT_EQ(m_out->ConnectedTo(peer.ReleaseAndGetAddressOf()), VFW_E_NOT_CONNECTED);
    m_in->Disconnect();

    // Without receiver types the pin's own order decides.
    m_in.Reset();
    MakeSink(SinkScript{});
    ASSERT_EQ(m_out->Connect(m_in.Get(), nullptr), S_OK);
    EXPECT_TRUE(IsEqualGUID(m_sink->connectedType.subtype, MEDIASUBTYPE_RGB24));
}

TEST_F(ConnectionTest, PartialAndFullTypesRestrictTheChoice)
{
    MakeSource({MEDIASUBTYPE_RGB24, MEDIASUBTYPE_RGB32});
    MakeSink(SinkScript{});

    CMediaType partial(&MEDIATYPE_Video);
    partial.SetSubtype(&MEDIASUBTYPE_RGB32);
    ASSERT_EQ(m_out->Connect(m_in.Get(), &partial), S_OK);
    EXPECT_TRUE(IsEqualGUID(m_sink->connectedType.subtype, MEDIASUBTYPE_RGB32));
    m_out->Disconnect();
    m_in->Disconnect();

    CMediaType unknownSize;
    MakeVideoType(MEDIASUBTYPE_RGB24, &unknownSize);
    reinterpret_cast<VIDEOINFOHEADER*>(unknownSize.Format())->bmiHeader.biWidth = 320;
    EXPECT_EQ(m_out->Connect(m_in.Get(), &unknownSize), VFW_E_TYPE_NOT_ACCEPTED)
        << "a full type the pin refuses is tried alone";
    EXPECT_EQ(m_sink->connector, nullptr);

    CMediaType audio(&MEDIATYPE_Audio);
    EXPECT_EQ(m_out->Connect(m_in.Get(), &audio), VFW_E_NO_ACCEPTABLE_TYPES);

    CMediaType full;
    MakeVideoType(MEDIASUBTYPE_RGB32, &full);
    ASSERT_EQ(m_out->Connect(m_in.Get(), &full), S_OK);
    EXPECT_TRUE(m_sink->connectedType == full);
}

TEST_F(ConnectionTest, RefusalsLeaveBothPinsUnconnected)
{
    MakeSource({MEDIASUBTYPE_RGB24});
    SinkScript picky;
    picky.accepted = {MEDIASUBTYPE_YUY2};
    MakeSink(picky);
    EXPECT_EQ(m_out->Connect(m_in.Get(), nullptr), VFW_E_NO_ACCEPTABLE_TYPES);
    EXPECT_EQ(m_sink->connector, nullptr);
    ComPtr<IPin> peer;
    EXPECT_EQ(m_out->ConnectedTo(peer.GetAddressOf()), VFW_E_NOT_CONNECTED);

    // Output to output: the direction check refuses before any type is tried.
    StreamScript script;
    script.subtypes = {MEDIASUBTYPE_RGB24};
    TestStream* otherStream = nullptr;
    ComPtr<IBaseFilter> other = TestSource::Create(script, &otherStream);
    EXPECT_EQ(m_out->Connect(otherStream, nullptr), VFW_E_INVALID_DIRECTION);
    CMediaType rgb24;
    MakeVideoType(MEDIASUBTYPE_RGB24, &rgb24);
    EXPECT_EQ(m_out->ReceiveConnection(otherStream, &rgb24), VFW_E_INVALID_DIRECTION);
    other.Reset();

    // No connection while the filter is active.
    m_in.Reset();
    MakeSink(SinkScript{});
    ComPtr<IMediaFilter> media;
    ASSERT_EQ(m_filter.As(&media), S_OK);
    ASSERT_EQ(media->Pause(), S_OK);
    EXPECT_EQ(m_out->Connect(m_in.Get(), nullptr), VFW_E_NOT_STOPPED);
    ASSERT_EQ(media->Stop(), S_OK);
    ASSERT_EQ(m_out->Connect(m_in.Get(), nullptr), S_OK);
    ASSERT_EQ(media->Pause(), S_OK);
    EXPECT_EQ(m_out->Disconnect(), VFW_E_NOT_STOPPED);
    ASSERT_EQ(media->Stop(), S_OK);
    EXPECT_EQ(m_out->Disconnect(), S_OK);
}

TEST_F(ConnectionTest, AllocatorIsDownstreamsElseThePlatformsMemoryAllocator)
{
    MakeSource({MEDIASUBTYPE_RGB24});

    SinkScript offering;
    offering.offerAllocator = true;
    offering.cbAlign = 16;
    MakeSink(offering);
    ASSERT_EQ(m_out->Connect(m_in.Get(), nullptr), S_OK);
    EXPECT_EQ(m_sink->notifiedAllocator.Get(), m_sink->ownAllocator.Get());
    EXPECT_EQ(m_stream->Allocator(), m_sink->ownAllocator.Get());
    EXPECT_EQ(m_stream->allocatorFallbacks, 0);
    EXPECT_EQ(m_stream->lastRequest.cbAlign, 16) << "downstream requirements reach DecideBufferSize";
    ALLOCATOR_PROPERTIES granted{};
    ASSERT_EQ(m_sink->ownAllocator->GetProperties(&granted), S_OK);
    EXPECT_EQ(granted.cbBuffer, kWidth * kHeight * 3);
    m_out->Disconnect();
    m_in->Disconnect();

    SinkScript none;
    m_in.Reset();
    MakeSink(none);
    ASSERT_EQ(m_out->Connect(m_in.Get(), nullptr), S_OK);
    EXPECT_EQ(m_stream->allocatorFallbacks, 1);
    ASSERT_NE(m_sink->notifiedAllocator, nullptr);
    EXPECT_EQ(m_sink->notifiedAllocator.Get(), m_stream->Allocator());
    EXPECT_EQ(m_stream->lastRequest.cbAlign, 1) << "no requirements: alignment 1";
    m_out->Disconnect();
    m_in->Disconnect();

    SinkScript refusing;
    refusing.offerAllocator = true;
    refusing.refuseOwnAllocator = true;
    m_in.Reset();
    MakeSink(refusing);
    ASSERT_EQ(m_out->Connect(m_in.Get(), nullptr), S_OK);
    EXPECT_EQ(m_stream->allocatorFallbacks, 2);
    ASSERT_NE(m_sink->notifiedAllocator, nullptr);
    EXPECT_NE(m_sink->notifiedAllocator.Get(), m_sink->ownAllocator.Get());
}

}  // namespace
}  // namespace vyx::dshow::test
