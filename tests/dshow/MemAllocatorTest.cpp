// The output pin's own allocator: the properties it grants (alignment, prefix, two buffers),
// the samples it hands out, and the two ends of a GetBuffer waiting for a buffer: a sample's
// last Release serves it, a Decommit releases it.
#include <streams.h>
#include <wrl/client.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <future>
#include <thread>

#include "CMemAllocator.h"

using Microsoft::WRL::ComPtr;

namespace vyx::dshow::test {
namespace {

ComPtr<IMemAllocator> MakeAllocator(LONG buffers, LONG size, LONG align, LONG prefix)
{
    ComPtr<IMemAllocator> allocator;
    allocator.Attach(CMemAllocator::Create());
    ALLOCATOR_PROPERTIES request{buffers, size, align, prefix};
    ALLOCATOR_PROPERTIES actual{};
    EXPECT_EQ(allocator->SetProperties(&request, &actual), S_OK);
    return allocator;
}

// Places the next step after a GetBuffer on another thread went to sleep on the empty list.
bool WaitUntilAGetBufferWaits(IMemAllocator* allocator)
{
    auto* own = static_cast<CMemAllocator*>(allocator);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (own->WaitingGetBuffers() == 0 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::yield();
    return own->WaitingGetBuffers() == 1;
}

TEST(MemAllocator, GrantsAlignedPrefixedBuffersAndRefusesBadProperties)
{
    ComPtr<IMemAllocator> allocator;
    allocator.Attach(CMemAllocator::Create());
    ALLOCATOR_PROPERTIES request{2, 1000, 64, 8};
    ALLOCATOR_PROPERTIES actual{};
    ASSERT_EQ(allocator->SetProperties(&request, &actual), S_OK);
    EXPECT_EQ(actual.cBuffers, 2);
    EXPECT_EQ(actual.cbBuffer, 1016);  // prefix and buffer fill whole 64-byte units
    EXPECT_EQ(actual.cbAlign, 64);
    EXPECT_EQ(actual.cbPrefix, 8);
    ASSERT_EQ(allocator->Commit(), S_OK);
    ComPtr<IMediaSample> first, second;
    ASSERT_EQ(allocator->GetBuffer(&first, nullptr, nullptr, 0), S_OK);
    ASSERT_EQ(allocator->GetBuffer(&second, nullptr, nullptr, 0), S_OK);
    BYTE* a = nullptr;
    BYTE* b = nullptr;
    ASSERT_EQ(first->GetPointer(&a), S_OK);
    ASSERT_EQ(second->GetPointer(&b), S_OK);
    EXPECT_EQ(first->GetSize(), 1016);
    for (BYTE* p : {a, b}) EXPECT_EQ((reinterpret_cast<std::uintptr_t>(p) - 8) % 64, 0u);
    EXPECT_GE(a > b ? a - b : b - a, 1016 + 8);  // no overlap, prefix included

    // Properties stay while committed or while a sample is out.
    EXPECT_EQ(allocator->SetProperties(&request, &actual), VFW_E_ALREADY_COMMITTED);
    ASSERT_EQ(allocator->Decommit(), S_OK);
    EXPECT_EQ(allocator->SetProperties(&request, &actual), VFW_E_BUFFERS_OUTSTANDING);
    first.Reset();
    second.Reset();

    for (LONG align : {0, 3, -4}) {
        ALLOCATOR_PROPERTIES bad{1, 100, align, 0};
        EXPECT_EQ(allocator->SetProperties(&bad, &actual), VFW_E_BADALIGN) << align;
    }
    ALLOCATOR_PROPERTIES negative{-1, 100, 1, 0};
    EXPECT_EQ(allocator->SetProperties(&negative, &actual), E_INVALIDARG);
    ALLOCATOR_PROPERTIES huge{4, 0x7FFFFFF0, 1, 0};
    EXPECT_EQ(allocator->SetProperties(&huge, &actual), E_OUTOFMEMORY);
    EXPECT_EQ(allocator->SetProperties(nullptr, &actual), E_POINTER);

    ComPtr<IMemAllocator> unsized;
    unsized.Attach(CMemAllocator::Create());
    EXPECT_EQ(unsized->Commit(), VFW_E_BADALIGN);
    ALLOCATOR_PROPERTIES empty{1, 0, 1, 0};
    ASSERT_EQ(unsized->SetProperties(&empty, &actual), S_OK);
    EXPECT_EQ(unsized->Commit(), VFW_E_SIZENOTSET);
}

TEST(MemAllocator, HandsOutEachBufferOnceAndResetsItsSample)
{
    ComPtr<IMemAllocator> allocator = MakeAllocator(2, 100, 1, 0);
    ComPtr<IMediaSample> sample;
    EXPECT_EQ(allocator->GetBuffer(&sample, nullptr, nullptr, 0), VFW_E_NOT_COMMITTED);
    ASSERT_EQ(allocator->Commit(), S_OK);
    ComPtr<IMediaSample> first, second, third;
    ASSERT_EQ(allocator->GetBuffer(&first, nullptr, nullptr, 0), S_OK);
    ASSERT_EQ(allocator->GetBuffer(&second, nullptr, nullptr, 0), S_OK);
    EXPECT_EQ(allocator->GetBuffer(&third, nullptr, nullptr, AM_GBF_NOWAIT), VFW_E_TIMEOUT);

    REFERENCE_TIME start = 10, end = 20;
    ASSERT_EQ(first->SetTime(&start, &end), S_OK);
    ASSERT_EQ(first->SetActualDataLength(100), S_OK);
    EXPECT_EQ(first->SetActualDataLength(101), VFW_E_BUFFER_OVERFLOW);
    ASSERT_EQ(first->SetSyncPoint(TRUE), S_OK);
    ASSERT_EQ(first->SetDiscontinuity(TRUE), S_OK);
    AM_MEDIA_TYPE type{};
    type.majortype = MEDIATYPE_Video;
    ASSERT_EQ(first->SetMediaType(&type), S_OK);
    BYTE* firstBuffer = nullptr;
    first->GetPointer(&firstBuffer);
    first.Reset();

    ASSERT_EQ(allocator->GetBuffer(&third, nullptr, nullptr, AM_GBF_NOWAIT), S_OK);
    BYTE* thirdBuffer = nullptr;
    third->GetPointer(&thirdBuffer);
    EXPECT_EQ(thirdBuffer, firstBuffer);
    EXPECT_EQ(third->GetTime(&start, &end), VFW_E_SAMPLE_TIME_NOT_SET);
    EXPECT_EQ(third->GetActualDataLength(), 0);
    EXPECT_EQ(third->IsSyncPoint(), S_FALSE);
    EXPECT_EQ(third->IsDiscontinuity(), S_FALSE);
    AM_MEDIA_TYPE* noType = &type;
    EXPECT_EQ(third->GetMediaType(&noType), S_FALSE);
    EXPECT_EQ(noType, nullptr);
    ASSERT_EQ(third->SetTime(&start, nullptr), S_OK);
    EXPECT_EQ(third->GetTime(&start, &end), VFW_S_NO_STOP_TIME);
    EXPECT_EQ(end, start + 1);
}

TEST(MemAllocator, DecommitReleasesAWaitingGetBufferAndSamplesOutliveTheirAllocator)
{
    ComPtr<IMemAllocator> allocator = MakeAllocator(1, 100, 1, 0);
    ASSERT_EQ(allocator->Commit(), S_OK);
    ComPtr<IMediaSample> held;
    ASSERT_EQ(allocator->GetBuffer(&held, nullptr, nullptr, 0), S_OK);
    std::future<HRESULT> waiter = std::async(std::launch::async, [&] {
        ComPtr<IMediaSample> sample;
        return allocator->GetBuffer(&sample, nullptr, nullptr, 0);
    });
    EXPECT_TRUE(WaitUntilAGetBufferWaits(allocator.Get()));
    ASSERT_EQ(allocator->Decommit(), S_OK);
    ASSERT_EQ(waiter.wait_for(std::chrono::seconds(10)), std::future_status::ready);
    EXPECT_EQ(waiter.get(), VFW_E_NOT_COMMITTED);

    // Committed again, the buffer still out serves once it comes back.
    ASSERT_EQ(allocator->Commit(), S_OK);
    held.Reset();
    ComPtr<IMediaSample> again;
    ASSERT_EQ(allocator->GetBuffer(&again, nullptr, nullptr, AM_GBF_NOWAIT), S_OK);

    // The sample keeps the allocator alive: its buffer stays writable after the pin lets go.
    ASSERT_EQ(allocator->Decommit(), S_OK);
    allocator.Reset();
    BYTE* buffer = nullptr;
    ASSERT_EQ(again->GetPointer(&buffer), S_OK);
    buffer[99] = 0x5A;
    EXPECT_EQ(again.Reset(), 0u);
}

// A GetBuffer blocked on an empty list gets the buffer a sample's last Release gives back.
TEST(MemAllocator, LastReleaseOfASampleServesAWaitingGetBuffer)
{
    ComPtr<IMemAllocator> allocator = MakeAllocator(1, 100, 1, 0);
    ASSERT_EQ(allocator->Commit(), S_OK);
    ComPtr<IMediaSample> held;
    ASSERT_EQ(allocator->GetBuffer(&held, nullptr, nullptr, 0), S_OK);
    IMediaSample* heldBuffer = held.Get();
    std::future<ComPtr<IMediaSample>> waiter = std::async(std::launch::async, [&] {
        ComPtr<IMediaSample> sample;
        EXPECT_EQ(allocator->GetBuffer(&sample, nullptr, nullptr, 0), S_OK);
        return sample;
    });
    // Released only once the waiter is asleep on the empty list, so the wake is what serves it.
    EXPECT_TRUE(WaitUntilAGetBufferWaits(allocator.Get()));
    held.Reset();
    const bool woken = waiter.wait_for(std::chrono::seconds(10)) == std::future_status::ready;
    if (!woken) allocator->Decommit();  // lets the waiter go, so a failure does not hang
    ASSERT_TRUE(woken);
    ComPtr<IMediaSample> served = waiter.get();
    EXPECT_EQ(served.Get(), heldBuffer);
    EXPECT_EQ(static_cast<CMemAllocator*>(allocator.Get())->WaitingGetBuffers(), 0);
    served.Reset();
    EXPECT_EQ(allocator->Decommit(), S_OK);
}

}  // namespace
}  // namespace vyx::dshow::test
