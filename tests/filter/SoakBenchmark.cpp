// The filter under sustained use, run by hand (docs/reliability.md): 1000 creations and
// releases, 200 run/stop cycles at 1920 x 1080 RGB24, and four threads calling the control
// interfaces while the pin streams. Prints the process's handle count and private bytes
// before and after each phase, and every call that answered an unexpected code.
//   soak_benchmark.exe [seconds of the threaded phase, default 60] [creations, default 1000]
//                      [run/stop cycles, default 200]
#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <vector>

#include "FilterTestSupport.h"
#include "ModelDescriptor.h"
#include "SimulatedBus.h"

using namespace vyx::test;

namespace {
struct Footprint {
    DWORD handles = 0;
    SIZE_T privateBytes = 0;
};

// Wine 8 answers 0 for GetProcessHandleCount and for PrivateUsage, so the handles are
// counted by probing the handle values and the memory is the committed (pagefile) bytes.
Footprint Measure() {
    Footprint f;
    for (ULONG_PTR value = 4; value < 0x10000; value += 4) {
        DWORD flags = 0;
        if (GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags)) ++f.handles;
    }
    PROCESS_MEMORY_COUNTERS_EX counters{};
    counters.cb = sizeof counters;
    if (GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters), sizeof counters))
        f.privateBytes = counters.PrivateUsage ? counters.PrivateUsage : counters.PagefileUsage;
    return f;
}

void Report(const char* phase, const Footprint& before, const Footprint& after, ULONGLONG ms, int failures) {
    std::printf("%-34s %7.1f s  handles %5lu -> %5lu  private %8.1f -> %8.1f MB  failures %d\n", phase, ms / 1000.0,
                before.handles, after.handles, before.privateBytes / 1048576.0, after.privateBytes / 1048576.0,
                failures);
}

bool FindFormat(IBaseFilter* filter, LONG width, LONG height, const GUID& subtype, CMediaType* found) {
    for (const CMediaType& type : StreamCapsTypes(filter)) {
        const auto* info = reinterpret_cast<const VIDEOINFOHEADER*>(type.Format());
        if (IsEqualGUID(*type.Subtype(), subtype) && info->bmiHeader.biWidth == width && info->bmiHeader.biHeight == height) {
            *found = type;
            return true;
        }
    }
    return false;
}

LONG Delivered(IBaseFilter* filter) {
    ComPtr<IAMDroppedFrames> frames;
    LONG count = 0;
    if (SUCCEEDED(filter->QueryInterface(IID_PPV_ARGS(&frames)))) frames->GetNumNotDropped(&count);
    return count;
}

bool WaitForFrames(IBaseFilter* filter, LONG count, DWORD ms) {
    for (DWORD waited = 0; waited < ms; waited += 5) {
        if (Delivered(filter) >= count) return true;
        Sleep(5);
    }
    return false;
}

int CreateAndRelease(int cycles) {
    int failures = 0;
    for (int i = 0; i < cycles; ++i) {
        ComPtr<IBaseFilter> filter;
        if (CreateFilter(&filter) != S_OK) ++failures;
    }
    return failures;
}

int RunAndStop(IBaseFilter* filter, Graph& graph, int cycles) {
    int failures = 0;
    for (int i = 0; i < cycles; ++i) {
        const bool ran = SUCCEEDED(graph.control->Run()) && WaitForFrames(filter, 1, 10000);
        const bool stopped = SUCCEEDED(graph.control->Stop());
        if (!ran || !stopped) {
            ++failures;
            std::printf("  cycle %d: %s\n", i, ran ? "stop failed" : "no frame within 10 s");
        }
    }
    return failures;
}

// One thread's calls on one group of interfaces, as applications and pages make them while
// streaming; counts calls whose code is not one the interface may give then.
void CallControls(IBaseFilter* filter, int group, const std::atomic<bool>& stop, std::atomic<long>& calls,
                  std::atomic<int>& unexpected) {
    ComApartment com;
    ComPtr<IAMVideoProcAmp> amp;
    ComPtr<IAMCameraControl> camera;
    ComPtr<IAMStreamConfig> config;
    ComPtr<IAMVideoControl> video;
    ComPtr<IAMDroppedFrames> dropped;
    ComPtr<IKsPropertySet> properties;
    ComPtr<ICameraInstance> instance;
    filter->QueryInterface(IID_PPV_ARGS(&amp));
    filter->QueryInterface(IID_PPV_ARGS(&camera));
    filter->QueryInterface(IID_PPV_ARGS(&config));
    filter->QueryInterface(IID_PPV_ARGS(&video));
    filter->QueryInterface(IID_PPV_ARGS(&dropped));
    filter->QueryInterface(IID_PPV_ARGS(&properties));
    filter->QueryInterface(vyx::g_ModelDescriptor.cameraInstanceIid, reinterpret_cast<void**>(instance.GetAddressOf()));
    auto expect = [&](bool ok) {
        ++calls;
        if (!ok) ++unexpected;
    };
    for (long round = 0; !stop; ++round) {
        long value = 0, flags = 0;
        switch (group) {
        case 0:
            expect(SUCCEEDED(amp->Get(VideoProcAmp_Gain, &value, &flags)));
            expect(SUCCEEDED(amp->Set(VideoProcAmp_Gain, value, VideoProcAmp_Flags_Manual)));
            expect(SUCCEEDED(amp->Get(VideoProcAmp_Brightness, &value, &flags)));
            break;
        case 1:
            // Short exposures, so the stream keeps delivering.
            expect(SUCCEEDED(camera->Get(CameraControl_Exposure, &value, &flags)));
            expect(SUCCEEDED(camera->Set(CameraControl_Exposure, -13 + static_cast<long>(round % 3),
                                         CameraControl_Flags_Manual)));
            break;
        case 2: {
            MediaTypePtr type;
            expect(config->GetFormat(type.Put()) == S_OK);
            expect(config->SetFormat(type.Get()) == VFW_E_NOT_STOPPED);
            VIDEO_STREAM_CONFIG_CAPS caps{};
            MediaTypePtr listed;
            expect(config->GetStreamCaps(0, listed.Put(), reinterpret_cast<BYTE*>(&caps)) == S_OK);
            expect(instance->SetBin(1) == VFW_E_NOT_STOPPED);
            break;
        }
        default: {
            LONG size = 0;
            LONGLONG* rates = nullptr;
            expect(video->GetFrameRateList(nullptr, 0, SIZE{1920, 1080}, &size, &rates) == S_OK && size > 0);
            CoTaskMemFree(rates);
            LONG count = 0;
            expect(dropped->GetNumNotDropped(&count) == S_OK);
            GUID category{};
            DWORD returned = 0;
            expect(properties->Get(AMPROPSETID_Pin, AMPROPERTY_PIN_CATEGORY, nullptr, 0, &category, sizeof category,
                                   &returned) == S_OK);
            break;
        }
        }
    }
}
}  // namespace

int main(int argc, char** argv) {
    const int seconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 60;
    const int creations = argc > 2 ? std::max(1, std::atoi(argv[2])) : 1000;
    const int runs = argc > 3 ? std::max(1, std::atoi(argv[3])) : 200;
    ComApartment com;
    vyx::sim::bus::UnplugAll();
    RemoveSettingsFile();
    PluggedCamera plugged;
    plugged.SetSwitch(vyx::sim::bus::kSwitchNoPacing, 1);
    std::printf("model %s, threaded phase %d s\n", vyx::g_ModelDescriptor.displayName, seconds);
    int totalFailures = 0;

    CreateAndRelease(10);  // warm-up: the camera library, COM and the settings file are loaded once
    Footprint before = Measure();
    ULONGLONG start = GetTickCount64();
    int failures = CreateAndRelease(creations);
    std::printf("%d ", creations);
    Report("create/release cycles", before, Measure(), GetTickCount64() - start, failures);
    totalFailures += failures;

    ComPtr<IBaseFilter> filter;
    if (CreateFilter(&filter) != S_OK) return 2;
    Graph graph;
    CMediaType fullHd;
    if (MakeGraph(filter.Get(), CLSID_NullRenderer, &graph) != S_OK ||
        !FindFormat(filter.Get(), 1920, 1080, MEDIASUBTYPE_RGB24, &fullHd) || graph.Connect(&fullHd) != S_OK) {
        std::printf("no 1920 x 1080 RGB24 connection\n");
        return 2;
    }
    RunAndStop(filter.Get(), graph, 5);
    before = Measure();
    start = GetTickCount64();
    failures = RunAndStop(filter.Get(), graph, runs);
    std::printf("%d ", runs);
    Report("run/stop cycles, 1920x1080", before, Measure(), GetTickCount64() - start, failures);
    totalFailures += failures;

    std::atomic<bool> stop{false};
    std::atomic<long> calls{0};
    std::atomic<int> unexpected{0};
    before = Measure();
    start = GetTickCount64();
    if (FAILED(graph.control->Run())) return 2;
    std::vector<std::thread> threads;
    for (int group = 0; group < 4; ++group)
        threads.emplace_back(CallControls, filter.Get(), group, std::cref(stop), std::ref(calls), std::ref(unexpected));
    LONG stalls = 0, last = 0;
    for (int second = 0; second < seconds; ++second) {
        Sleep(1000);
        const LONG now = Delivered(filter.Get());
        if (now <= last) ++stalls;  // a second without a frame
        last = now;
    }
    stop = true;
    for (std::thread& thread : threads) thread.join();
    graph.control->Stop();
    failures = unexpected + stalls;
    Report("4 control threads while streaming", before, Measure(), GetTickCount64() - start, failures);
    std::printf("  %ld control calls, %d unexpected codes, %ld frames, %ld seconds without a frame\n", calls.load(),
                unexpected.load(), static_cast<long>(last), static_cast<long>(stalls));
    totalFailures += failures;
    return totalFailures == 0 ? 0 : 1;
}
