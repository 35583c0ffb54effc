// Mutated inputs from applications: media types into QueryAccept, a connection attempt,
// SetFormat and GetStreamCaps round trips, and IKsPropertySet calls with random sets, ids
// and sizes. Nothing may crash, every refusal is an error code (or QueryAccept's S_FALSE),
// and what is accepted describes a real frame. The seeds are fixed, so a failure repeats;
// VYX_FUZZ_ROUNDS sets the count (docs/reliability.md runs 100,000 and more).
#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <cstring>
#include <random>
#include <vector>

#include "FilterFixture.h"
#include "FilterTestSupport.h"
#include "SimulatedBus.h"

using namespace vyx::test;

namespace {
constexpr std::uint32_t kMediaTypeSeed = 20261209;
constexpr std::uint32_t kPropertySeed = 4242;

int Rounds(int normal) {
    const char* text = std::getenv("VYX_FUZZ_ROUNDS");
    const int rounds = text ? std::atoi(text) : 0;
    return rounds > 0 ? rounds : normal;
}

GUID RandomGuid(std::mt19937& rng) {
    GUID guid;
    auto* bytes = reinterpret_cast<std::uint8_t*>(&guid);
    for (size_t i = 0; i < sizeof guid; ++i) bytes[i] = static_cast<std::uint8_t>(rng());
    return guid;
}

template <typename T>
T Pick(std::mt19937& rng, std::initializer_list<T> values) {
    return values.begin()[rng() % values.size()];
}

// An application's media type: mostly near an offered one, with fields broken at random.
class MutatedType {
public:
    MutatedType(std::mt19937& rng, const std::vector<CMediaType>& offered) {
        const CMediaType& base = offered[rng() % offered.size()];
        m_type = base;  // the structure; the format block is replaced below
        m_type.pbFormat = nullptr;
        m_type.pUnk = nullptr;
        switch (rng() % 8) {
        case 0: m_type.majortype = Pick(rng, {MEDIATYPE_Audio, MEDIATYPE_Stream, GUID_NULL}); break;
        case 1: m_type.majortype = RandomGuid(rng); break;
        default: break;
        }
        switch (rng() % 6) {
        case 0: m_type.subtype = offered[rng() % offered.size()].subtype; break;
        case 1: m_type.subtype = Pick(rng, {MEDIASUBTYPE_RGB32, MEDIASUBTYPE_MJPG, MEDIASUBTYPE_NV12, GUID_NULL}); break;
        case 2: m_type.subtype = RandomGuid(rng); break;
        default: break;
        }
        switch (rng() % 8) {
        case 0: m_type.formattype = FORMAT_VideoInfo2; break;
        case 1: m_type.formattype = Pick(rng, {FORMAT_None, GUID_NULL}); break;
        case 2: m_type.formattype = RandomGuid(rng); break;
        default: break;
        }
        m_type.bFixedSizeSamples = rng() % 4 != 0;
        m_type.bTemporalCompression = rng() % 8 == 0;
        m_type.lSampleSize = Pick<ULONG>(rng, {0, 1, base.lSampleSize, 0xFFFFFFFFu, static_cast<ULONG>(rng())});

        // cbFormat from none to larger than a video header with its palette; the block
        // always holds cbFormat bytes.
        const ULONG header = sizeof(VIDEOINFOHEADER);
        m_type.cbFormat = Pick<ULONG>(rng, {0, 1, header - 1, header, header, header, base.cbFormat, header + 4096,
                                            static_cast<ULONG>(rng() % 2048)});
        m_block.assign(m_type.cbFormat, 0);
        for (auto& byte : m_block) byte = static_cast<BYTE>(rng());
        if (rng() % 4 != 0) std::memcpy(m_block.data(), base.pbFormat, std::min(base.cbFormat, m_type.cbFormat));
        m_type.pbFormat = m_block.empty() ? (rng() % 2 ? nullptr : m_sentinel) : m_block.data();
        if (m_type.cbFormat >= header) MutateHeader(rng, reinterpret_cast<VIDEOINFOHEADER*>(m_block.data()));
    }
    MutatedType(const MutatedType&) = delete;
    MutatedType& operator=(const MutatedType&) = delete;

    AM_MEDIA_TYPE* Get() { return &m_type; }

private:
    static void MutateHeader(std::mt19937& rng, VIDEOINFOHEADER* info) {
        BITMAPINFOHEADER& h = info->bmiHeader;
        const int fields = 1 + static_cast<int>(rng() % 3);
        for (int i = 0; i < fields; ++i) {
            switch (rng() % 8) {
            case 0: h.biWidth = Pick<LONG>(rng, {0, -h.biWidth, INT_MIN, INT_MAX, static_cast<LONG>(rng())}); break;
            case 1: h.biHeight = Pick<LONG>(rng, {0, -h.biHeight, INT_MIN, INT_MAX, static_cast<LONG>(rng())}); break;
            case 2: h.biBitCount = Pick<WORD>(rng, {0, 1, 8, 12, 16, 24, 32, 0xFFFF}); break;
            case 3: h.biSizeImage = Pick<DWORD>(rng, {0, 1, 0xFFFFFFFFu, h.biSizeImage * 2, static_cast<DWORD>(rng())}); break;
            case 4: info->AvgTimePerFrame = Pick<REFERENCE_TIME>(rng, {0, -1, LLONG_MIN, LLONG_MAX, 1, 333333}); break;
            case 5: h.biCompression = Pick<DWORD>(rng, {BI_RGB, BI_BITFIELDS, 0x32595559u, static_cast<DWORD>(rng())}); break;
            case 6: h.biSize = Pick<DWORD>(rng, {0, 40, 0xFFFFFFFFu}); break;
            default: h.biClrUsed = Pick<DWORD>(rng, {0, 256, 0xFFFFFFFFu}); break;
            }
        }
    }

    AM_MEDIA_TYPE m_type{};
    std::vector<BYTE> m_block;
    BYTE m_sentinel[1] = {0};
};

bool IsVerdict(HRESULT hr) {
    return hr == S_OK || hr == S_FALSE || FAILED(hr);
}

// The size of a frame of an accepted type: every type the pin hands out or connects in has
// the real frame size of its width, height and bit count.
DWORD FrameBytes(const VIDEOINFOHEADER& info) {
    const DWORD stride = ((static_cast<DWORD>(info.bmiHeader.biWidth) * info.bmiHeader.biBitCount + 31) / 32) * 4;
    return stride * static_cast<DWORD>(info.bmiHeader.biHeight);
}

bool DescribesARealFrame(const AM_MEDIA_TYPE& type) {
    if (type.formattype != FORMAT_VideoInfo || type.cbFormat < sizeof(VIDEOINFOHEADER) || !type.pbFormat) return false;
    const auto& info = *reinterpret_cast<const VIDEOINFOHEADER*>(type.pbFormat);
    return info.bmiHeader.biWidth > 0 && info.bmiHeader.biHeight > 0 && info.AvgTimePerFrame > 0 &&
           info.bmiHeader.biSizeImage == FrameBytes(info) && type.lSampleSize == info.bmiHeader.biSizeImage;
}

class Fuzz : public FilterFixture {
protected:
    void SetUp() override {
        FilterFixture::SetUp();
        if (HasFatalFailure()) return;
        ASSERT_EQ(m_filter.As(&m_config), S_OK);
        m_offered = StreamCapsTypes(m_filter.Get());
        ASSERT_FALSE(m_offered.empty());
    }

    ComPtr<IAMStreamConfig> m_config;
    std::vector<CMediaType> m_offered;
};
}  // namespace

TEST_F(Fuzz, MutatedMediaTypesGetVerdictsAndOnlyRealFramesAreAccepted) {
    std::mt19937 rng(kMediaTypeSeed);
    Graph graph;
    ASSERT_EQ(MakeGraph(m_filter.Get(), CLSID_NullRenderer, &graph), S_OK);
    const int rounds = Rounds(1500);
    int accepted = 0, connected = 0, chosen = 0;
    for (int round = 0; round < rounds && !HasFailure(); ++round) {
        MutatedType type(rng, m_offered);
        switch (rng() % 4) {
        case 0: {
            const HRESULT hr = graph.output->QueryAccept(type.Get());
            EXPECT_TRUE(hr == S_OK || hr == S_FALSE) << round << " 0x" << std::hex << hr;
            accepted += hr == S_OK;
            break;
        }
        case 1: {
            const HRESULT hr = graph.Connect(type.Get());
            ASSERT_TRUE(IsVerdict(hr)) << round;
            if (SUCCEEDED(hr)) {
                ++connected;
                AM_MEDIA_TYPE now{};
                ASSERT_EQ(graph.output->ConnectionMediaType(&now), S_OK);
                EXPECT_TRUE(DescribesARealFrame(now)) << round;
                FreeMediaType(now);
                graph.Disconnect();
            }
            break;
        }
        case 2: {
            const HRESULT hr = m_config->SetFormat(type.Get());
            ASSERT_TRUE(hr == S_OK || FAILED(hr)) << round;
            if (hr == S_OK) {
                ++chosen;
                MediaTypePtr current;
                ASSERT_EQ(m_config->GetFormat(current.Put()), S_OK);
                EXPECT_TRUE(DescribesARealFrame(*current.Get())) << round;
            }
            break;
        }
        default: {
            // A listed capability, edited as applications do, is always a valid choice.
            const int count = static_cast<int>(m_offered.size());
            const int index = static_cast<int>(rng() % (count + 4)) - 2;
            MediaTypePtr caps;
            VIDEO_STREAM_CONFIG_CAPS info{};
            const HRESULT hr = m_config->GetStreamCaps(index, caps.Put(), reinterpret_cast<BYTE*>(&info));
            if (index < 0 || index >= count) {
                EXPECT_EQ(hr, E_INVALIDARG) << round;
                break;
            }
            ASSERT_EQ(hr, S_OK) << round;
            auto* header = reinterpret_cast<VIDEOINFOHEADER*>(caps->pbFormat);
            header->AvgTimePerFrame = Pick<REFERENCE_TIME>(rng, {0, -5, 1, 666666, LLONG_MAX});
            header->bmiHeader.biSizeImage = static_cast<DWORD>(rng());
            ASSERT_EQ(m_config->SetFormat(caps.Get()), S_OK) << round;
            MediaTypePtr current;
            ASSERT_EQ(m_config->GetFormat(current.Put()), S_OK);
            EXPECT_TRUE(DescribesARealFrame(*current.Get())) << round;
            EXPECT_EQ(Info(current)->bmiHeader.biWidth, info.InputSize.cx) << round;
            EXPECT_EQ(Info(current)->bmiHeader.biHeight, info.InputSize.cy) << round;
            break;
        }
        }
    }
    std::printf("%d media types (seed %u): %d accepted by QueryAccept, %d connected, %d chosen by SetFormat\n", rounds,
                kMediaTypeSeed, accepted, connected, chosen);

    // Still a working filter: it connects and delivers.
    graph.Disconnect();
    m_camera->SetSwitch(vyx::sim::bus::kSwitchNoPacing, 1);
    ASSERT_EQ(graph.builder->Connect(graph.output.Get(), graph.input.Get()), S_OK);
    ASSERT_TRUE(SUCCEEDED(graph.control->Run()));
    ComPtr<IAMDroppedFrames> frames;
    ASSERT_EQ(m_filter.As(&frames), S_OK);
    LONG delivered = 0;
    for (int waited = 0; waited < 5000 && delivered == 0; waited += 10) {
        Sleep(10);
        frames->GetNumNotDropped(&delivered);
    }
    graph.control->Stop();
    EXPECT_GT(delivered, 0);
}

TEST_F(Fuzz, PropertySetCallsWriteOnlyWhatTheyMayAndRefuseTheRest) {
    std::mt19937 rng(kPropertySeed);
    ComPtr<IKsPropertySet> properties;
    ASSERT_EQ(OutputPin(m_filter.Get()).As(&properties), S_OK);
    constexpr size_t kGuard = 32;
    constexpr BYTE kCanary = 0xA5;
    const int rounds = Rounds(20000);
    int answered = 0;
    for (int round = 0; round < rounds && !HasFailure(); ++round) {
        const GUID set = rng() % 2 ? AMPROPSETID_Pin : (rng() % 2 ? RandomGuid(rng) : PIN_CATEGORY_CAPTURE);
        const DWORD id = rng() % 2 ? static_cast<DWORD>(rng() % 4) : static_cast<DWORD>(rng());
        const DWORD length = Pick<DWORD>(rng, {0, 1, 15, 16, 17, 64, static_cast<DWORD>(rng() % 64)});
        std::vector<BYTE> data(length + kGuard, kCanary);
        std::vector<BYTE> instance(rng() % 32, kCanary);
        const bool withData = rng() % 5 != 0;
        const bool withReturned = rng() % 5 != 0;
        DWORD returned = 0xDEADBEEF;
        HRESULT hr = E_UNEXPECTED;
        const DWORD instanceLength = instance.empty() ? 0 : static_cast<DWORD>(instance.size());
        void* const instanceData = instance.empty() ? nullptr : instance.data();
        switch (rng() % 3) {
        case 0:
            hr = properties->Get(set, id, instanceData, instanceLength, withData ? data.data() : nullptr, length,
                                 withReturned ? &returned : nullptr);
            break;
        case 1:
            hr = properties->Set(set, id, instanceData, instanceLength, withData ? data.data() : nullptr, length);
            break;
        default:
            hr = properties->QuerySupported(set, id, withReturned ? &returned : nullptr);
            break;
        }
        ASSERT_TRUE(hr == S_OK || FAILED(hr)) << round;
        const bool category = IsEqualGUID(set, AMPROPSETID_Pin) && id == AMPROPERTY_PIN_CATEGORY;
        if (hr == S_OK) {
            ++answered;
            EXPECT_TRUE(category) << round;
        }
        // Nothing beyond the caller's length, and nothing at all into the instance data.
        const size_t written = hr == S_OK && withData ? std::min<size_t>(length, sizeof(GUID)) : 0;
        for (size_t i = written; i < data.size(); ++i) ASSERT_EQ(data[i], kCanary) << round << " byte " << i;
        for (BYTE byte : instance) ASSERT_EQ(byte, kCanary) << round;
    }
    std::printf("%d property calls (seed %u): %d answered\n", rounds, kPropertySeed, answered);
}
