// Stopping and running the graph again and again while two other threads work the
// camera's controls: no leak, no hang, no streaming thread left behind.
#include <windows.h>
#include <psapi.h>
#include <tlhelp32.h>

#include <gtest/gtest.h>

#include "CameraRig.h"
#include "ComApartment.h"
#include "ControlWorker.h"
#include "StreamCapabilities.h"
#include "StreamHarness.h"
#include "SubtypeName.h"

using namespace vyx::vyxcap::test;
using Microsoft::WRL::ComPtr;
using vyx::test::ControlWorker;

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
    // 2^-10 s (1 ms), far shorter than the power-on exposure: each cycle's frame comes at once.
    ASSERT_EQ(cameraControl->Set(CameraControl_Exposure, -10, CameraControl_Flags_Manual), S_OK);

    // Warm-up: whatever the platform starts once per process is there before counting.
    ASSERT_EQ(harness.Capture(2).hr, S_OK);
    const int threadsBefore = ThreadCount();
    const DWORD handlesBefore = HandleCount();
    const SIZE_T bytesBefore = PrivateBytes();

    {
        // Without pause: reads of the camera, and a gamma that the pin alone keeps, which
        // restart no frame.
        ControlWorker gainWorker(0, [&, i = 0]() mutable {
            long value = 0, flags = 0;
            return procAmp->Set(VideoProcAmp_Gamma, 1 + i++ % 100, VideoProcAmp_Flags_Manual) == S_OK &&
                   procAmp->Get(VideoProcAmp_Gain, &value, &flags) == S_OK &&
                   procAmp->Get(VideoProcAmp_Brightness, &value, &flags) == S_OK;
        });
        ControlWorker exposureWorker(0, [&] {
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
        EXPECT_GT(gainWorker.Rounds(), 0);
        EXPECT_GT(exposureWorker.Rounds(), 0);
        EXPECT_EQ(gainWorker.Failures(), 0);
        EXPECT_EQ(exposureWorker.Failures(), 0);
    }

    EXPECT_EQ(ThreadCount(), threadsBefore) << "no streaming or worker thread outlives its run";
    EXPECT_LE(HandleCount(), handlesBefore + 4) << "handles do not grow with the cycles";
    // One leaked 424 x 320 RGB24 frame per cycle would be 81 MB.
    EXPECT_LT(PrivateBytes(), bytesBefore + 8 * 1024 * 1024) << "memory does not grow with the cycles";
}
