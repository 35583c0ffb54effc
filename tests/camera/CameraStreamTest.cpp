// Streaming behaviour: the pace of frames, dropped frames, waiting without spinning,
// the fault switches, bad arguments, and calls from several threads at once.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "BusChanges.h"
#include "CameraTestSupport.h"
#include "UniqueResource.h"

namespace {

using vyx::sim::test::CameraPtr;
using Clock = std::chrono::steady_clock;

long long FrameTime(VyxonCamera& camera) {
    long long us = 0;
    float fps = 0;
    EXPECT_TRUE(camera.GetFrameTime(&us, &fps));
    EXPECT_NEAR(fps, 1e6 / static_cast<double>(us), 1e-3 * fps);
    return us;
}

// The camera's dropped-frame count; -1 when it cannot tell.
int DroppedFrames(VyxonCamera& camera) {
    int dropped = -1;
    EXPECT_TRUE(camera.GetDroppedFrames(&dropped));
    return dropped;
}

double ProcessCpuSeconds() {
    FILETIME created, exited, kernel, user;
    GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
    auto seconds = [](FILETIME t) {
        return (static_cast<unsigned long long>(t.dwHighDateTime) << 32 | t.dwLowDateTime) / 1e7;
    };
    return seconds(kernel) + seconds(user);
}

void Switch(const std::wstring& model, const std::wstring& serial, const wchar_t* name, DWORD value) {
    ASSERT_EQ(vyx::sim::bus::SetSwitch(vyx::sim::test::InstanceOf(model, serial), name, value),
              static_cast<DWORD>(ERROR_SUCCESS))
        << name;
}

// An unpaced camera at 320 x 240 whose stream has delivered a first frame.
CameraPtr StreamingCamera(const std::wstring& model, const std::wstring& serial, std::vector<unsigned char>& frame) {
    CameraPtr camera = vyx::sim::test::PlugAndOpen(model, serial);
    if (!camera) return camera;
    Switch(model, serial, vyx::sim::bus::kSwitchNoPacing, 1);
    frame.resize(320 * 240 * 3);
    EXPECT_TRUE(camera->SetImgSize(320, 240));
    EXPECT_TRUE(camera->StartVideoStream());
    EXPECT_TRUE(camera->GetImageData(frame.data(), static_cast<int>(frame.size()), 2000));
    return camera;
}

TEST(CameraPace, FrameTimeFollowsExposureReadoutBandwidthAndLimit) {
    vyx::sim::test::CleanBus bus;
    // A USB 2 camera: at the shortest exposure the transfer decides the pace.
    CameraPtr camera = vyx::sim::test::PlugAndOpen(L"Kestrel 1M", L"P1");
    ASSERT_TRUE(camera);
    int max = 0, min = 0, def = 0;
    ASSERT_TRUE(camera->GetExposureRange(&max, &min, &def));
    ASSERT_TRUE(camera->SetExposure(min, false));
    ASSERT_TRUE(camera->SetImgFormat(IMG_RAW8));
    const long long raw8 = FrameTime(*camera);
    EXPECT_GT(raw8, 20000);  // a 1.2-megapixel frame over USB 2 takes tens of milliseconds
    ASSERT_TRUE(camera->SetImgFormat(IMG_RAW16));
    EXPECT_NEAR(FrameTime(*camera), 2 * raw8, raw8 / 50);  // twice the bytes
    ASSERT_TRUE(camera->SetImgFormat(IMG_RAW8));

    int bandwidth = 0;
    ASSERT_TRUE(camera->GetUsbBandwidthLimit(&bandwidth));
    ASSERT_TRUE(camera->SetUsbBandwidthLimit(bandwidth / 2));
    EXPECT_NEAR(FrameTime(*camera), 2 * raw8, raw8 / 50);
    ASSERT_TRUE(camera->SetUsbBandwidthLimit(bandwidth));

    // Binning in the camera sends a quarter of the pixels; binning on the host sends all.
    ASSERT_TRUE(camera->SetBin(2));
    ASSERT_TRUE(camera->SetImgSize(640, 480));
    ASSERT_TRUE(camera->SetHardBinEnable(false));
    EXPECT_NEAR(FrameTime(*camera), raw8, raw8 / 50);
    ASSERT_TRUE(camera->SetHardBinEnable(true));
    EXPECT_NEAR(FrameTime(*camera), raw8 / 4, raw8 / 100);

    ASSERT_TRUE(camera->SetExposure(1000000, false));
    EXPECT_EQ(FrameTime(*camera), 1000000);  // exposure longer than the readout
    ASSERT_TRUE(camera->SetExposure(min, false));
    ASSERT_TRUE(camera->SetFrameRateLimit(5));
    EXPECT_EQ(FrameTime(*camera), 200000);
    ASSERT_TRUE(camera->SetFrameRateLimit(0));
    EXPECT_NEAR(FrameTime(*camera), raw8 / 4, 2);

    // A USB 3 camera on a USB 2 port is slower and says so.
    CameraPtr fast = vyx::sim::test::PlugAndOpen(L"Osprey 2C", L"P2");
    ASSERT_TRUE(fast);
    ASSERT_TRUE(fast->SetExposure(100, false));
    const long long usb3 = FrameTime(*fast);
    Switch(L"Osprey 2C", L"P2", vyx::sim::bus::kSwitchUsb2Link, 1);
    EXPECT_GT(FrameTime(*fast), 5 * usb3);
    CameraProp prop{};
    ASSERT_TRUE(fast->GetTheProp(&prop));
    EXPECT_FALSE(prop.isUsb3Host);
}

TEST(CameraPace, FramesComeNoFasterThanTheFrameTimeAndLateOnesAreDropped) {
    vyx::sim::test::CleanBus bus;
    CameraPtr camera = vyx::sim::test::PlugAndOpen(L"Osprey 2C", L"P3");
    ASSERT_TRUE(camera);
    ASSERT_TRUE(camera->SetImgSize(320, 240));
    ASSERT_TRUE(camera->SetExposure(40000, false));
    const long long frameUs = FrameTime(*camera);
    ASSERT_EQ(frameUs, 40000);
    std::vector<unsigned char> frame(320 * 240 * 3);

    const Clock::time_point start = Clock::now();
    ASSERT_TRUE(camera->StartVideoStream());
    for (int i = 0; i < 6; ++i)
        ASSERT_TRUE(camera->GetImageData(frame.data(), static_cast<int>(frame.size()), 1000)) << i;
    // Six frames need six frame times at least, however fast the reader.
    EXPECT_GE(Clock::now() - start, std::chrono::microseconds(6 * frameUs - 1000));

    // Not collecting for a while loses the frames that arrive meanwhile.
    int dropped = -1;
    ASSERT_TRUE(camera->GetDroppedFrames(&dropped));
    const int before = dropped;
    Sleep(400);
    ASSERT_TRUE(camera->GetDroppedFrames(&dropped));
    EXPECT_GE(dropped - before, 5);
    EXPECT_TRUE(camera->IsDataReady());  // the newest of them is waiting
    ASSERT_TRUE(camera->GetImageData(frame.data(), static_cast<int>(frame.size()), 1000));

    ASSERT_TRUE(camera->StopVideoStream());
    int afterStop = -1;
    ASSERT_TRUE(camera->GetDroppedFrames(&afterStop));
    EXPECT_GE(afterStop, dropped);
    EXPECT_FALSE(camera->IsDataReady());
    EXPECT_FALSE(camera->GetImageData(frame.data(), static_cast<int>(frame.size()), 10));

    // A new stream counts from zero; with a long exposure nothing can have arrived yet.
    ASSERT_TRUE(camera->SetExposure(5000000, false));
    ASSERT_TRUE(camera->StartVideoStream());
    ASSERT_TRUE(camera->GetDroppedFrames(&dropped));
    EXPECT_EQ(dropped, 0);
}

double Mean(const std::vector<unsigned char>& frame) {
    double sum = 0;
    for (unsigned char byte : frame) sum += byte;
    return sum / static_cast<double>(frame.size());
}

// 320 x 240 RAW8 at 300 ms a frame: quick to render, with time to act between arrivals.
CameraPtr PlugSlowSmallCamera(const wchar_t* serial) {
    CameraPtr camera = vyx::sim::test::PlugAndOpen(L"Osprey 2C", serial);
    if (!camera || !camera->SetImgSize(320, 240) || !camera->SetImgFormat(IMG_RAW8) ||
        !camera->SetExposure(300000, false))
        return nullptr;
    return camera;
}

// The next frame is rendered as soon as the last one is collected, ahead of its arrival:
// it must still arrive a frame time later, and a change of settings meanwhile replaces it.
TEST(CameraPace, FrameRenderedAheadArrivesOnTimeAndGivesWayToNewSettings) {
    vyx::sim::test::CleanBus bus;
    CameraPtr camera = PlugSlowSmallCamera(L"P5");
    ASSERT_TRUE(camera);
    ASSERT_TRUE(camera->SetOffset(0));
    std::vector<unsigned char> before(320 * 240), after(320 * 240);
    const int size = static_cast<int>(before.size());
    ASSERT_TRUE(camera->StartVideoStream());
    ASSERT_TRUE(camera->GetImageData(before.data(), size, 2000));
    Sleep(50);  // time enough to render the next 320 x 240 frame
    EXPECT_FALSE(camera->IsDataReady());
    EXPECT_FALSE(camera->GetImageData(after.data(), size, 100));

    int max = 0, min = 0, def = 0;
    ASSERT_TRUE(camera->GetOffsetRange(&max, &min, &def));
    ASSERT_TRUE(camera->SetOffset(max));
    const Clock::time_point changed = Clock::now();
    ASSERT_TRUE(camera->GetImageData(after.data(), size, 2000));
    // A new exposure began with the change: the frame rendered before it never arrives.
    // That one was due about 150 ms after the change, the new one 300 ms after it; the
    // bound lies between the two, well clear of either.
    EXPECT_GE(Clock::now() - changed, std::chrono::milliseconds(240));
    EXPECT_GT(Mean(after), Mean(before) + 5);  // about 2 and 10 at these settings
    EXPECT_EQ(DroppedFrames(*camera), 0);
}

// A camera holds one arrival while its newest frame waits for a late reader: a reader (or
// a whole process) stalled for less than two frame times loses nothing, and the held frame
// is ready as soon as the one before is collected.
TEST(CameraPace, AReaderLateByLessThanTwoFramesLosesNothing) {
    vyx::sim::test::CleanBus bus;
    CameraPtr camera = PlugSlowSmallCamera(L"P8");
    ASSERT_TRUE(camera);
    std::vector<unsigned char> frame(320 * 240);
    const int size = static_cast<int>(frame.size());
    ASSERT_TRUE(camera->StartVideoStream());
    ASSERT_TRUE(camera->GetImageData(frame.data(), size, 2000));
    Sleep(750);  // the next frame arrived at 300 ms, the one after it at 600 ms
    ASSERT_TRUE(camera->GetImageData(frame.data(), size, 0));
    EXPECT_TRUE(camera->GetImageData(frame.data(), size, 120));  // not at 900 ms
    EXPECT_EQ(DroppedFrames(*camera), 0);
}

// A colour camera set to 3840 x 2160 RGB24, whose first full rendering is the slowest.
CameraPtr PlugLargeColourCamera(const wchar_t* serial) {
    CameraPtr camera = vyx::sim::test::PlugAndOpen(L"Kestrel 8C", serial);
    if (!camera || !camera->SetImgSize(3840, 2160) || !camera->SetImgFormat(IMG_RGB24)) return nullptr;
    return camera;
}

// The frame pump reads with a time-out of the frame time plus 500 ms. The first full
// rendering of a 3840 x 2160 colour frame touches about 100 MB of fresh memory, which
// under load took longer than that when it began only after the start.
TEST(CameraPace, FirstLargeFrameComesWithinOneReadAfterTheStart) {
    vyx::sim::test::CleanBus bus;
    CameraPtr camera = PlugLargeColourCamera(L"P6");
    ASSERT_TRUE(camera);
    const long long frameUs = FrameTime(*camera);
    std::vector<unsigned char> frame(3840 * 2160 * 3);
    ASSERT_TRUE(camera->StartVideoStream());
    EXPECT_TRUE(camera->GetImageData(frame.data(), static_cast<int>(frame.size()),
                                     static_cast<int>(frameUs / 1000 + 500)));
    EXPECT_EQ(DroppedFrames(*camera), 0);
}

// Starting renders the first frame outside the camera's lock; a stop from another thread
// meanwhile wins, and no stream may begin behind its back. The stop is placed by the
// simulator's start gate, after the first rendering and before the stream begins.
TEST(CameraPace, StopDuringAStartsFirstRenderingLeavesTheStreamStopped) {
    vyx::sim::test::CleanBus bus;
    CameraPtr camera = vyx::sim::test::PlugAndOpen(L"Osprey 2C", L"P7");
    ASSERT_TRUE(camera);
    ASSERT_TRUE(camera->SetImgSize(320, 240));
    vyx::win::UniqueHandle held(CreateEventW(nullptr, TRUE, FALSE, vyx::sim::bus::kStartHeldEvent));
    vyx::win::UniqueHandle release(CreateEventW(nullptr, TRUE, FALSE, vyx::sim::bus::kStartReleaseEvent));
    ASSERT_TRUE(held && release);
    Switch(L"Osprey 2C", L"P7", vyx::sim::bus::kSwitchHoldStart, 1);
    std::atomic<bool> started{false};
    std::thread starter([&] { started = camera->StartVideoStream(); });
    const bool reached = WaitForSingleObject(held.Get(), 10000) == WAIT_OBJECT_0;
    const bool stopped = reached && camera->StopVideoStream();
    SetEvent(release.Get());
    starter.join();
    ASSERT_TRUE(reached);
    EXPECT_TRUE(stopped);
    EXPECT_TRUE(started);
    std::vector<unsigned char> frame(320 * 240 * 3);
    EXPECT_FALSE(camera->IsDataReady());
    EXPECT_FALSE(camera->GetImageData(frame.data(), static_cast<int>(frame.size()),
                                      static_cast<int>(FrameTime(*camera) / 1000 + 200)));
}

TEST(CameraPace, LongExposureWaitsWithoutSpinning) {
    vyx::sim::test::CleanBus bus;
    CameraPtr camera = vyx::sim::test::PlugAndOpen(L"Heron 6C", L"P4");
    ASSERT_TRUE(camera);
    ASSERT_TRUE(camera->SetImgSize(640, 480));
    ASSERT_TRUE(camera->SetExposure(1500000, false));
    std::vector<unsigned char> frame(640 * 480 * 3);
    ASSERT_TRUE(camera->StartVideoStream());
    const Clock::time_point start = Clock::now();
    const double cpuBefore = ProcessCpuSeconds();
    // A short time-out ends before the exposure does.
    EXPECT_FALSE(camera->GetImageData(frame.data(), static_cast<int>(frame.size()), 100));
    ASSERT_TRUE(camera->GetImageData(frame.data(), static_cast<int>(frame.size()), 4000));
    const double waited = std::chrono::duration<double>(Clock::now() - start).count();
    EXPECT_GE(waited, 1.45);
    // A spinning wait would burn about as much processor time as it waited.
    EXPECT_LT(ProcessCpuSeconds() - cpuBefore, 0.5 * waited);
}

TEST(CameraSwitches, FaultSwitchesActAndClearAgain) {
    vyx::sim::test::CleanBus bus;
    const std::wstring model = L"Osprey 2C", serial = L"S1";
    CameraPtr camera = vyx::sim::test::PlugAndOpen(model, serial);
    ASSERT_TRUE(camera);
    Switch(model, serial, vyx::sim::bus::kSwitchNoPacing, 1);
    ASSERT_TRUE(camera->SetImgSize(320, 240));
    std::vector<unsigned char> frame(320 * 240 * 3);
    const int size = static_cast<int>(frame.size());

    Switch(model, serial, vyx::sim::bus::kSwitchRefuseStart, 1);
    EXPECT_FALSE(camera->StartVideoStream());
    EXPECT_FALSE(camera->GetImageData(frame.data(), size, 100));
    Switch(model, serial, vyx::sim::bus::kSwitchRefuseStart, 0);
    ASSERT_TRUE(camera->StartVideoStream());
    ASSERT_TRUE(camera->GetImageData(frame.data(), size, 2000));

    // The next two reads fail, the third succeeds.
    Switch(model, serial, vyx::sim::bus::kSwitchFailReads, 2);
    EXPECT_FALSE(camera->GetImageData(frame.data(), size, 2000));
    EXPECT_FALSE(camera->GetImageData(frame.data(), size, 2000));
    EXPECT_TRUE(camera->GetImageData(frame.data(), size, 2000));

    // Never ready, yet a read still delivers.
    Switch(model, serial, vyx::sim::bus::kSwitchNeverReady, 1);
    EXPECT_FALSE(camera->IsDataReady());
    EXPECT_TRUE(camera->GetImageData(frame.data(), size, 2000));
    Switch(model, serial, vyx::sim::bus::kSwitchNeverReady, 0);
    EXPECT_TRUE(camera->IsDataReady());

    Switch(model, serial, vyx::sim::bus::kSwitchRefuseSetBin, 1);
    Switch(model, serial, vyx::sim::bus::kSwitchRefuseSetImgSize, 1);
    Switch(model, serial, vyx::sim::bus::kSwitchRefuseSetImgFormat, 1);
    EXPECT_FALSE(camera->SetBin(2));
    EXPECT_FALSE(camera->SetImgSize(640, 480));
    EXPECT_FALSE(camera->SetImgFormat(IMG_RAW16));
    int bin = 0, w = 0, h = 0;
    ImageFormat format = IMG_YUY2;
    ASSERT_TRUE(camera->GetBin(&bin));
    ASSERT_TRUE(camera->GetImgSize(&w, &h));
    ASSERT_TRUE(camera->GetImgFormat(&format));
    EXPECT_EQ(bin, 1);
    EXPECT_EQ(w, 320);
    EXPECT_EQ(h, 240);
    EXPECT_EQ(format, IMG_RAW8);
    Switch(model, serial, vyx::sim::bus::kSwitchRefuseSetBin, 0);
    Switch(model, serial, vyx::sim::bus::kSwitchRefuseSetImgSize, 0);
    Switch(model, serial, vyx::sim::bus::kSwitchRefuseSetImgFormat, 0);
    EXPECT_TRUE(camera->SetBin(2));
    EXPECT_TRUE(camera->SetImgSize(160, 120));
    EXPECT_TRUE(camera->SetImgFormat(IMG_RAW16));

    int max = -7, min = -7, def = -7;
    ASSERT_TRUE(camera->GetFrameRateLimitRange(&max, &min, &def));
    EXPECT_GE(min, 1);
    EXPECT_GT(max, min);
    Switch(model, serial, vyx::sim::bus::kSwitchFrameRateMinZero, 1);
    ASSERT_TRUE(camera->GetFrameRateLimitRange(&max, &min, &def));
    EXPECT_EQ(min, 0);
    Switch(model, serial, vyx::sim::bus::kSwitchMaxFrameRate, 60);
    ASSERT_TRUE(camera->GetFrameRateLimitRange(&max, &min, &def));
    EXPECT_EQ(max, 60);
    Switch(model, serial, vyx::sim::bus::kSwitchFailFrameRateRange, 1);
    max = min = def = -7;
    EXPECT_FALSE(camera->GetFrameRateLimitRange(&max, &min, &def));
    EXPECT_EQ(max, -7);
    EXPECT_EQ(min, -7);
    EXPECT_EQ(def, -7);
}

TEST(CameraSwitches, ReadOnceAndAgainOnlyWhenTheBusCountsAChange) {
    vyx::sim::test::CleanBus bus;
    const std::wstring model = L"Osprey 2C", serial = L"S2";
    std::vector<unsigned char> frame;
    CameraPtr camera = StreamingCamera(model, serial, frame);
    ASSERT_TRUE(camera && !HasFailure());
    ASSERT_TRUE(camera->IsDataReady());  // unpaced: the newest frame stays ready

    // Written behind the bus's back: the per-frame calls do not go to the registry.
    HKEY raw = nullptr;
    ASSERT_EQ(vyx::sim::bus::OpenInstanceKey(vyx::sim::test::InstanceOf(model, serial), KEY_SET_VALUE, &raw),
              static_cast<DWORD>(ERROR_SUCCESS));
    vyx::win::UniqueRegKey key(raw);
    const DWORD on = 1;
    ASSERT_EQ(RegSetValueExW(key.Get(), vyx::sim::bus::kSwitchNeverReady, 0, REG_DWORD,
                             reinterpret_cast<const BYTE*>(&on), sizeof on),
              ERROR_SUCCESS);
    EXPECT_TRUE(camera->IsDataReady());
    vyx::sim::bus::CountChange();
    EXPECT_FALSE(camera->IsDataReady());
    Switch(model, serial, vyx::sim::bus::kSwitchNeverReady, 0);
    EXPECT_TRUE(camera->IsDataReady());
}

TEST(CameraSwitches, UnplugWhileStreamingEndsFramesAtOnce) {
    vyx::sim::test::CleanBus bus;
    const std::wstring model = L"Osprey 2C", serial = L"S3";
    std::vector<unsigned char> frame;
    CameraPtr camera = StreamingCamera(model, serial, frame);
    ASSERT_TRUE(camera && !HasFailure());
    ASSERT_EQ(vyx::sim::bus::Unplug(model, serial), static_cast<DWORD>(ERROR_SUCCESS));
    EXPECT_FALSE(camera->IsDataReady());
    EXPECT_FALSE(camera->GetImageData(frame.data(), static_cast<int>(frame.size()), 100));
}

TEST(CameraSafety, BadArgumentsGiveFalseAndChangeNothing) {
    vyx::sim::test::CleanBus bus;
    CameraPtr colour = vyx::sim::test::PlugAndOpen(L"Kestrel 3C", L"B1");  // ST4, two sensor modes, no cooler
    CameraPtr mono = vyx::sim::test::PlugAndOpen(L"Heron 9M", L"B2");      // cooler, no ST4
    ASSERT_TRUE(colour && mono);

    int max = 0, min = 0, def = 0;
    int value = 0;
    bool flag = false;
    ASSERT_TRUE(colour->GetExposureRange(&max, &min, &def));
    EXPECT_FALSE(colour->SetExposure(min - 1, false));
    EXPECT_FALSE(colour->SetExposure(-5, true));
    ASSERT_TRUE(colour->GetExposure(&value, &flag));
    EXPECT_EQ(value, def);
    EXPECT_FALSE(flag);
    ASSERT_TRUE(colour->GetGainRange(&max, &min, &def));
    EXPECT_FALSE(colour->SetGain(max + 1, true));
    ASSERT_TRUE(colour->GetGain(&value, &flag));
    EXPECT_EQ(value, def);
    EXPECT_FALSE(flag);
    ASSERT_TRUE(colour->GetOffsetRange(&max, &min, &def));
    EXPECT_FALSE(colour->SetOffset(max + 1));
    EXPECT_FALSE(colour->SetOffset(-1));
    ASSERT_TRUE(colour->GetOffset(&value));
    EXPECT_EQ(value, def);

    int r = 0, g = 0, b = 0;
    ASSERT_TRUE(colour->GetWhiteBalanceRange(&max, &min, &r, &g, &b));
    EXPECT_FALSE(colour->SetWhiteBalance(max + 1, g, b, false));
    EXPECT_FALSE(colour->SetWhiteBalance(r, g, min - 1, false));
    // In automatic mode the given values are not used, so any will do.
    EXPECT_TRUE(colour->SetWhiteBalance(0, 0, 0, true));
    int r2 = 0, g2 = 0, b2 = 0;
    ASSERT_TRUE(colour->GetWhiteBalance(&r2, &g2, &b2, &flag));
    EXPECT_TRUE(flag);
    EXPECT_EQ(r2, r);
    EXPECT_EQ(b2, b);
    EXPECT_FALSE(mono->SetWhiteBalance(0, 0, 0, false));
    EXPECT_FALSE(mono->GetWhiteBalance(&r, &g, &b, &flag));

    struct Control {
        bool (VyxonCamera::*set)(int);
        bool (VyxonCamera::*get)(int*);
        bool (VyxonCamera::*range)(int*, int*, int*);
    };
    const Control controls[] = {
        {&VyxonCamera::SetAutoExpMax, &VyxonCamera::GetAutoExpMax, &VyxonCamera::GetAutoExpMaxRange},
        {&VyxonCamera::SetAutoGainMax, &VyxonCamera::GetAutoGainMax, &VyxonCamera::GetAutoGainMaxRange},
        {&VyxonCamera::SetTargetBrightness, &VyxonCamera::GetTargetBrightness,
         &VyxonCamera::GetTargetBrightnessRange},
        {&VyxonCamera::SetUsbBandwidthLimit, &VyxonCamera::GetUsbBandwidthLimit, &VyxonCamera::GetUsbBandwidthRange},
        {&VyxonCamera::SetFrameRateLimit, &VyxonCamera::GetFrameRateLimit, &VyxonCamera::GetFrameRateLimitRange},
    };
    for (const Control& c : controls) {
        ASSERT_TRUE(((*colour).*c.range)(&max, &min, &def));
        EXPECT_LE(min, max);
        EXPECT_FALSE(((*colour).*c.set)(max + 1));
        EXPECT_FALSE(((*colour).*c.set)(-1));
        ASSERT_TRUE(((*colour).*c.get)(&value));
        EXPECT_EQ(value, def);
        EXPECT_TRUE(((*colour).*c.set)(max));
        EXPECT_FALSE(((*colour).*c.get)(nullptr));
        EXPECT_FALSE(((*colour).*c.range)(nullptr, &min, &def));
    }

    EXPECT_EQ(colour->GetSensorModeCount(), 2);
    char name[64] = "unchanged", description[128] = "";
    EXPECT_FALSE(colour->GetSensorModeInfo(2, name, description));
    EXPECT_FALSE(colour->GetSensorModeInfo(-1, name, description));
    EXPECT_STREQ(name, "unchanged");
    EXPECT_FALSE(colour->SetSensorMode(2));
    ASSERT_TRUE(colour->GetSensorModeInfo(1, name, description));
    EXPECT_STREQ(name, "HighGain");
    EXPECT_TRUE(colour->SetSensorMode(1));

    EXPECT_FALSE(colour->GuidePulse(GUIDE_NORTH, 0));
    EXPECT_FALSE(colour->GuidePulse(GUIDE_EAST, -100));
    EXPECT_FALSE(colour->GuidePulse(static_cast<GuideDirection>(4), 100));
    EXPECT_TRUE(colour->GuidePulse(GUIDE_WEST, 10));
    EXPECT_FALSE(mono->GuidePulse(GUIDE_WEST, 10));  // no ST4 port

    EXPECT_FALSE(colour->SetCoolerOn(true));  // no cooler
    EXPECT_FALSE(colour->GetCoolerPower(&value));
    float celsius = 0;
    EXPECT_TRUE(colour->GetTemperature(&celsius));
    EXPECT_FALSE(colour->GetTemperature(nullptr));
    ASSERT_TRUE(mono->GetTargetTemperatureRange(&max, &min, &def));
    EXPECT_FALSE(mono->SetTargetTemperature(min - 1));
    EXPECT_FALSE(mono->SetFanPower(101));
    EXPECT_FALSE(mono->SetLensHeaterPower(-1));
    ASSERT_TRUE(mono->GetTargetTemperature(&value));
    EXPECT_EQ(value, def);
    EXPECT_TRUE(mono->SetHardBinEnable(true));  // the mono model bins in hardware
    EXPECT_FALSE(colour->SetHardBinEnable(true));

    int gains[8] = {};
    EXPECT_FALSE(colour->GetGainsAndOffsets(&gains[0], &gains[1], nullptr, &gains[3], &gains[4], &gains[5],
                                            &gains[6], &gains[7]));
    EXPECT_FALSE(colour->GetTheProp(nullptr));
    EXPECT_FALSE(colour->GetImgSize(nullptr, &value));
    EXPECT_FALSE(colour->GetFrameTime(nullptr, nullptr));
    EXPECT_FALSE(colour->GetDroppedFrames(nullptr));
}

TEST(CameraThreads, FourThreadsDuringStreamingEndCleanly) {
    vyx::sim::test::CleanBus bus;
    std::vector<unsigned char> first;
    CameraPtr camera = StreamingCamera(L"Osprey 2C", L"T1", first);
    ASSERT_TRUE(camera && !HasFailure());

    std::atomic<bool> stop{false};
    std::atomic<int> frames{0};
    VyxonCamera& cam = *camera;
    const int bufferSize = 1920 * 1080 * 3;  // any frame of this camera fits
    std::vector<std::thread> threads;
    threads.emplace_back([&] {  // the streaming thread
        std::vector<unsigned char> buffer(bufferSize);
        while (!stop) {
            if (cam.IsDataReady() && cam.GetImageData(buffer.data(), bufferSize, 500)) ++frames;
        }
    });
    // A change of settings discards the frame being taken, as a camera does; changes come
    // at the pace of a user, or no frame of the settings in force could ever complete.
    threads.emplace_back([&] {  // a page changing the frame
        const ImageFormat formats[] = {IMG_RAW8, IMG_RAW16, IMG_RGB24, IMG_Y8, IMG_YUY2};
        for (int i = 0; !stop; ++i) {
            cam.SetImgFormat(formats[i % 5]);
            cam.SetBin(i % 3 == 0 ? 2 : 1);
            cam.SetImgSize(i % 2 ? 160 : 320, i % 2 ? 120 : 240);
            cam.SetImgStartPos(i % 7, i % 5);
            cam.SetImgFlip(i % 2 == 0, i % 3 == 0);
            Sleep(30);
        }
    });
    threads.emplace_back([&] {  // control interfaces
        for (int i = 0; !stop; ++i) {
            Sleep(15);
            cam.SetExposure(100 + i % 5000, i % 11 == 0);
            cam.SetGain(i % 400, i % 13 == 0);
            cam.SetWhiteBalance(40 + i % 20, 50, 60 + i % 30, i % 17 == 0);
            cam.SetOffset(i % 20);
            cam.GuidePulse(static_cast<GuideDirection>(i % 4), 1 + i % 20);
            int e = 0;
            bool a = false;
            cam.GetExposure(&e, &a);
        }
    });
    // Polling at a millisecond's pace, as a status display would: status calls cost no
    // registry query any more, and without a pause the stream would restart every few
    // microseconds, before any frame could be taken.
    threads.emplace_back([&] {  // status polling, and the stream stopped and started
        for (int i = 0; !stop; ++i) {
            Sleep(1);
            long long us = 0;
            float fps = 0;
            int dropped = 0;
            float celsius = 0;
            cam.GetFrameTime(&us, &fps);
            cam.GetDroppedFrames(&dropped);
            cam.GetTemperature(&celsius);
            if (i % 200 == 199) {
                cam.StopVideoStream();
                cam.StartVideoStream();
            }
        }
    });
    Sleep(2000);
    stop = true;
    for (auto& t : threads) t.join();
    EXPECT_GT(frames.load(), 0);

    // Still consistent: a frame of the settings now in force arrives.
    ASSERT_TRUE(cam.StartVideoStream());
    ASSERT_TRUE(cam.SetImgFormat(IMG_RGB24));
    ASSERT_TRUE(cam.SetBin(1));
    ASSERT_TRUE(cam.SetImgSize(640, 480));
    std::vector<unsigned char> frame(640 * 480 * 3 + 16, 0xEE);
    ASSERT_TRUE(cam.GetImageData(frame.data(), static_cast<int>(frame.size()), 2000));
    for (size_t i = 640 * 480 * 3; i < frame.size(); ++i) EXPECT_EQ(frame[i], 0xEE);
    EXPECT_TRUE(cam.StopVideoStream());
    EXPECT_TRUE(cam.CloseCamera());
}

}  // namespace
