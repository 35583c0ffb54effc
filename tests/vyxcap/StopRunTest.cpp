// Stopping and running the graph again and again while two other threads work the
// camera's controls: no leak, no hang, no streaming thread left behind.
#include <windows.h>
#include <psapi.h>
#include <tlhelp32.h>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "CameraRig.h"
#include "ComApartment.h"
#include "StreamCapabilities.h"
#include "StreamHarness.h"
#include "SubtypeName.h"

using namespace vyx::vyxcap::test;
using Microsoft::WRL::ComPtr;

namespace {

constexpr int kCycles = 200;

int ThreadCount() {
    const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return -1;
    THREADENTRY32 entry{};
    entry.dwSize = sizeof entry;
    int count = 0;
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry))
        count += entry.th32OwnerProcessID == GetCurrentProcessId();
    CloseHandle(snapshot);
    return count;
}

DWORD HandleCount() {
    DWORD count = 0;
    GetProcessHandleCount(GetCurrentProcess(), &count);
    return count;
}

SIZE_T PrivateBytes() {
    PROCESS_MEMORY_COUNTERS_EX counters{};
    GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                         sizeof counters);
    return counters.PrivateUsage;
}

// Works one control interface in a loop until told to stop; counts failures.
class ControlWorker {
public:
    template <typename Body>
    explicit ControlWorker(Body body)
        : m_thread([this, body]() mutable {
              const vyx::win::ComApartment apartment;
              while (!m_stop.load()) {
                  if (!body()) ++m_failures;
                  ++m_calls;
              }
          }) {}
    ~ControlWorker() { Stop(); }
    void Stop() {
        m_stop = true;
        if (m_thread.joinable()) m_thread.join();
    }
    int Calls() const { return m_calls.load(); }
    int Failures() const { return m_failures.load(); }

private:
    std::atomic<bool> m_stop{false};
    std::atomic<int> m_calls{0};
    std::atomic<int> m_failures{0};
    std::thread m_thread;
};

class StopRun : public ::testing::Test {
protected:
    vyx::win::ComApartment m_apartment;
};

}  // namespace

TEST_F(StopRun, TwoHundredCyclesWithControlTrafficLeaveNothingBehind) {
    CameraRig rig(L"Kestrel 1C");
    ASSERT_TRUE(rig.Ready());
    StreamHarness harness(rig.CreateFilter());
    const auto capabilities = vyx::vyxcap::ReadCapabilities(harness.Config());
    // The last RGB24 capability: a small frame, so the cycles measure starting and stopping.
    const vyx::win::MediaTypePtr* lastRgb = nullptr;
    for (const auto& capability : capabilities)
        if (capability.type && vyx::vyxcap::SubtypeName(capability.type->subtype) == L"RGB24") lastRgb = &capability.type;
    ASSERT_NE(lastRgb, nullptr);
    ASSERT_EQ(harness.ConnectThroughSetFormat(*lastRgb->Get()), S_OK);

    ComPtr<IAMVideoProcAmp> procAmp;
    ComPtr<IAMCameraControl> cameraControl;
    ASSERT_EQ(harness.Device()->QueryInterface(IID_PPV_ARGS(&procAmp)), S_OK);
    ASSERT_EQ(harness.Device()->QueryInterface(IID_PPV_ARGS(&cameraControl)), S_OK);

    // Warm-up: whatever the platform starts once per process is there before counting.
    ASSERT_EQ(harness.Capture(2).hr, S_OK);
    const int threadsBefore = ThreadCount();
    const DWORD handlesBefore = HandleCount();
    const SIZE_T bytesBefore = PrivateBytes();

    {
        // Reads of the camera, and a gamma that the pin alone keeps: a new gain or exposure
        // restarts the frame in progress, so setting them without pause would starve the
        // stream the way it would on a real camera.
        ControlWorker gainWorker([&, i = 0]() mutable {
            long value = 0, flags = 0;
            return procAmp->Set(VideoProcAmp_Gamma, 1 + i++ % 100, VideoProcAmp_Flags_Manual) == S_OK &&
                   procAmp->Get(VideoProcAmp_Gain, &value, &flags) == S_OK &&
                   procAmp->Get(VideoProcAmp_Brightness, &value, &flags) == S_OK;
        });
        ControlWorker exposureWorker([&] {
            long value = 0, flags = 0, min = 0, max = 0, step = 0, def = 0, caps = 0;
            return cameraControl->Get(CameraControl_Exposure, &value, &flags) == S_OK &&
                   cameraControl->GetRange(CameraControl_Pan, &min, &max, &step, &def, &caps) == S_OK &&
                   cameraControl->Get(CameraControl_Pan, &value, &flags) == S_OK;
        });
        for (int cycle = 0; cycle < kCycles; ++cycle) {
            const CaptureResult result = harness.Capture(1);
            ASSERT_EQ(result.hr, S_OK) << "cycle " << cycle;
            ASSERT_EQ(result.stats.Frames(), 1) << "cycle " << cycle;
            ASSERT_EQ(result.stats.FirstStart(), 0) << "every run starts its times at 0";
        }
        gainWorker.Stop();
        exposureWorker.Stop();
        EXPECT_GT(gainWorker.Calls(), 0);
        EXPECT_GT(exposureWorker.Calls(), 0);
        EXPECT_EQ(gainWorker.Failures(), 0);
        EXPECT_EQ(exposureWorker.Failures(), 0);
    }

    EXPECT_EQ(ThreadCount(), threadsBefore) << "no streaming or worker thread outlives its run";
    EXPECT_LE(HandleCount(), handlesBefore + 4) << "handles do not grow with the cycles";
    // One leaked 424 x 320 RGB24 frame per cycle would be 81 MB.
    EXPECT_LT(PrivateBytes(), bytesBefore + 8 * 1024 * 1024) << "memory does not grow with the cycles";
}
