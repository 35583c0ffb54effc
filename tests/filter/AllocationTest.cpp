// The frame pump allocates nothing per frame: once the first frame is through, a thousand
// more through a running graph make no heap allocation on the streaming thread, whether by
// our code (operator new, the C runtime) or by anyone's task memory. And an allocation that
// fails while the pin is built or its camera replaced fails that call cleanly.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <string>

#include "CountingAllocator.h"
#include "FilterFixture.h"
#include "FilterTestSupport.h"
#include "GrabberCallback.h"
#include "ModelDescriptor.h"
#include "SimulatedBus.h"

using namespace vyx::test;

namespace {

constexpr long kCountedFrames = 1000;

// Starts counting at the first frame, on the thread that delivers it, and stops after
// kCountedFrames more. Allocates nothing itself.
class CountingCallback : public GrabberCallback {
public:
    CountingCallback() : m_done(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}
    ~CountingCallback() { CloseHandle(m_done); }
    STDMETHODIMP SampleCB(double, IMediaSample*) override {
        const long frame = ++m_frames;
        if (frame == 1) m_counting = AllocationCounter::Start(GetCurrentThreadId());
        if (frame == 1 + kCountedFrames) {
            m_allocations = AllocationCounter::Stop();
            SetEvent(m_done);
        }
        return S_OK;
    }

    bool Wait(DWORD ms) const { return WaitForSingleObject(m_done, ms) == WAIT_OBJECT_0; }
    bool Counting() const { return m_counting; }
    long Allocations() const { return m_allocations; }

private:
    HANDLE m_done;
    std::atomic<long> m_frames{0};
    std::atomic<bool> m_counting{false};
    std::atomic<long> m_allocations{-1};
};

// The type of the offered list with the smallest frames: the pump's own cost shows most.
CMediaType SmallestType(IBaseFilter* filter) {
    std::vector<CMediaType> types = StreamCapsTypes(filter);
    CMediaType smallest;
    DWORD bytes = MAXDWORD;
    for (const CMediaType& type : types) {
        const auto* info = reinterpret_cast<const VIDEOINFOHEADER*>(type.Format());
        if (info && info->bmiHeader.biSizeImage < bytes) {
            bytes = info->bmiHeader.biSizeImage;
            smallest = type;
        }
    }
    return smallest;
}

// A thread that allocates and then says so through `done`.
DWORD WINAPI AllocateElsewhere(LPVOID done) {
    void* volatile elsewhere = std::malloc(8);
    std::free(elsewhere);
    *static_cast<DWORD*>(done) = 1;
    return 0;
}

}  // namespace

TEST(AllocationCounter, CountsEveryKindOfAllocationOnItsThreadOnly) {
    ASSERT_TRUE(AllocationCounter::Start(GetCurrentThreadId()));
    // Volatile, so the compiler keeps every pair of allocation and release.
    int* volatile object = new int(7);
    delete object;
    void* volatile block = std::malloc(16);
    block = std::realloc(block, 64);
    std::free(block);
    void* volatile zeroed = std::calloc(4, 4);
    std::free(zeroed);
    void* volatile task = CoTaskMemAlloc(32);
    CoTaskMemFree(task);
    DWORD otherThreadAllocated = 0;
    HANDLE other = CreateThread(nullptr, 0, &AllocateElsewhere, &otherThreadAllocated, 0, nullptr);
    ASSERT_NE(other, nullptr);
    WaitForSingleObject(other, INFINITE);
    CloseHandle(other);
    EXPECT_EQ(AllocationCounter::Stop(), 5);
    EXPECT_EQ(otherThreadAllocated, 1u);
}

using FramePump = FilterFixture;

TEST_F(FramePump, AThousandFramesAfterTheFirstAllocateNothingOnTheStreamingThread) {
    m_camera->SetSwitch(vyx::sim::bus::kSwitchNoPacing, 1);
    Graph graph;
    ASSERT_EQ(MakeGraph(m_filter.Get(), CLSID_SampleGrabber, &graph), S_OK);
    ComPtr<ISampleGrabber> grabber;
    ASSERT_EQ(graph.downstream.As(&grabber), S_OK);
    CountingCallback callback;
    grabber->SetCallback(&callback, 0);
    const CMediaType type = SmallestType(m_filter.Get());
    ASSERT_EQ(graph.Connect(&type), S_OK);

    ASSERT_TRUE(SUCCEEDED(graph.control->Run()));
    const bool done = callback.Wait(90000);
    graph.control->Stop();
    grabber->SetCallback(nullptr, 0);
    ASSERT_TRUE(done) << "fewer than " << kCountedFrames + 1 << " frames arrived";
    ASSERT_TRUE(callback.Counting()) << "the counting hooks could not be installed";
    EXPECT_EQ(callback.Allocations(), 0);
}

namespace {
// Runs `call` with the `n`th allocation of this thread failing, for n = 1, 2, ... until
// a run needs no failed allocation; `check` sees each run's result and whether it failed.
template <class Call, class Check>
void WithEachAllocationFailing(Call&& call, Check&& check) {
    for (long n = 1; n < 10000; ++n) {
        AllocationFailure::FailNth(GetCurrentThreadId(), n);
        HRESULT hr = E_UNEXPECTED;
        EXPECT_NO_THROW(hr = call()) << "allocation " << n;
        const bool fired = AllocationFailure::Fired();
        AllocationFailure::FailNth(0, 0);
        check(hr, fired, n);
        if (!fired) return;
    }
    ADD_FAILURE() << "the call never got through";
}
}  // namespace

TEST_F(FramePump, OutOfMemoryWhileThePinIsBuiltOrItsCameraReplacedFailsThatCallCleanly) {
    m_filter.Reset();  // the camera is free again
    WithEachAllocationFailing([&] { return CreateFilter(&m_filter); },
                              [&](HRESULT hr, bool fired, long n) {
                                  // Some allocations are of the settings load, which goes on without.
                                  if (fired)
                                      EXPECT_TRUE(hr == E_OUTOFMEMORY || hr == S_OK) << n << ": 0x" << std::hex << hr;
                                  else
                                      EXPECT_EQ(hr, S_OK);
                                  if (hr == S_OK && fired) m_filter.Reset();
                              });
    ASSERT_TRUE(m_filter);

    // A camera of the model on another serial, to replace the pin's with.
    PluggedCamera second(ModelName(), L"B0000003");
    VyxonCamera* fresh = nullptr;
    for (int i = 0; i < VyxonCamera::GetCamerasCount() && !fresh; ++i) {
        CameraProp prop{};
        if (VyxonCamera::GetCameraProp(i, &prop) && std::string(prop.extraInfo) == "B0000003")
            fresh = VyxonCamera::CreateCamera(prop.cameraId);
    }
    ASSERT_NE(fresh, nullptr);
    ASSERT_TRUE(fresh->OpenCamera());
    ComPtr<ICameraInstance> instance;
    ASSERT_EQ(m_filter->QueryInterface(vyx::g_ModelDescriptor.cameraInstanceIid, &instance), S_OK);
    VyxonCamera* pagesCamera = nullptr;  // as a page holds it
    ASSERT_EQ(instance->GetCamera(&pagesCamera), S_OK);
    WithEachAllocationFailing([&] { return instance->SetCamera(fresh); },
                              [&](HRESULT hr, bool fired, long n) {
                                  if (!fired) {
                                      EXPECT_EQ(hr, S_OK);
                                      return;
                                  }
                                  // Nothing changed: the page's camera is still the pin's, and open.
                                  EXPECT_EQ(hr, E_OUTOFMEMORY) << n;
                                  VyxonCamera* held = nullptr;
                                  instance->GetCamera(&held);
                                  EXPECT_EQ(held, pagesCamera) << n;
                                  EXPECT_TRUE(pagesCamera->IsOpened()) << n;
                              });
    VyxonCamera* held = nullptr;
    instance->GetCamera(&held);
    EXPECT_EQ(held, fresh);
    EXPECT_FALSE(pagesCamera->IsOpened()) << "the replaced camera is closed, and freed with the pin";
}
