// The filter under sustained use, run by hand (docs/reliability.md): 1000 creations and
// releases, 200 run/stop cycles at 1920 x 1080 RGB24, and four threads calling the control
// interfaces while the pin streams. Prints the process's handle count and private bytes
// before and after each phase, and every call that answered an unexpected code.
//   soak_benchmark.exe [seconds of the threaded phase, default 60] [creations, default 1000]
//                      [run/stop cycles, default 200]
#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

#include "ControlWorker.h"
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

// The error a running graph's source ended its stream with, or S_OK.
HRESULT StreamAbort(const Graph& graph) {
    ComPtr<IMediaEvent> events;
    if (FAILED(graph.builder->QueryInterface(IID_IMediaEvent, reinterpret_cast<void**>(events.GetAddressOf()))))
        return E_NOINTERFACE;
    long code = 0;
    LONG_PTR first = 0, second = 0;
    HRESULT abort = S_OK;
    while (events->GetEvent(&code, &first, &second, 0) == S_OK) {
        if (code == EC_ERRORABORT) abort = static_cast<HRESULT>(first);
        events->FreeEventParams(code, first, second);
    }
    return abort;
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
        const HRESULT aborted = StreamAbort(graph);
        const bool stopped = SUCCEEDED(graph.control->Stop());
        if (!ran || !stopped) {
            ++failures;
            std::printf("  cycle %d: %s", i, ran ? "stop failed" : "no frame within 10 s");
            if (FAILED(aborted)) std::printf(", the stream ended with 0x%08lx", static_cast<unsigned long>(aborted));
            std::printf("\n");
        }
    }
    return failures;
}

// The control interfaces the threaded phase calls, taken on the main thread: the workers
// share its (multithreaded) apartment.
struct Controls {
    explicit Controls(IBaseFilter* filter) {
        filter->QueryInterface(IID_PPV_ARGS(&amp));
        filter->QueryInterface(IID_PPV_ARGS(&camera));
        filter->QueryInterface(IID_PPV_ARGS(&config));
        filter->QueryInterface(IID_PPV_ARGS(&video));
        filter->QueryInterface(IID_PPV_ARGS(&dropped));
        filter->QueryInterface(IID_PPV_ARGS(&properties));
        filter->QueryInterface(vyx::g_ModelDescriptor.cameraInstanceIid, reinterpret_cast<void**>(instance.GetAddressOf()));
    }
    bool Complete() const { return amp && camera && config && video && dropped && properties && instance; }

    ComPtr<IAMVideoProcAmp> amp;
    ComPtr<IAMCameraControl> camera;
    ComPtr<IAMStreamConfig> config;
    ComPtr<IAMVideoControl> video;
    ComPtr<IAMDroppedFrames> dropped;
    ComPtr<IKsPropertySet> properties;
    ComPtr<ICameraInstance> instance;
};

// An application's traffic while the pin streams: a gain slider and an exposure box moved
// once or twice a second (each change restarts the frame in progress, as on a real camera),
// and a format dialog and a status display polling every few milliseconds. Short
// exposures, so frames keep coming between the changes.
std::vector<std::unique_ptr<ControlWorker>> StartControlTraffic(const Controls& c) {
    std::vector<std::unique_ptr<ControlWorker>> workers;
    workers.push_back(std::make_unique<ControlWorker>(1000, [&c] {
        long value = 0, flags = 0;
        return SUCCEEDED(c.amp->Get(VideoProcAmp_Gain, &value, &flags)) &&
               SUCCEEDED(c.amp->Set(VideoProcAmp_Gain, value, VideoProcAmp_Flags_Manual)) &&
               SUCCEEDED(c.amp->Get(VideoProcAmp_Brightness, &value, &flags));
    }));
    workers.push_back(std::make_unique<ControlWorker>(500, [&c, round = 0L]() mutable {
        long value = 0, flags = 0;
        return SUCCEEDED(c.camera->Get(CameraControl_Exposure, &value, &flags)) &&
               SUCCEEDED(c.camera->Set(CameraControl_Exposure, -13 + round++ % 3, CameraControl_Flags_Manual));
    }));
    workers.push_back(std::make_unique<ControlWorker>(4, [&c] {
        MediaTypePtr type, listed;
        VIDEO_STREAM_CONFIG_CAPS caps{};
        return c.config->GetFormat(type.Put()) == S_OK && c.config->SetFormat(type.Get()) == VFW_E_NOT_STOPPED &&
               c.config->GetStreamCaps(0, listed.Put(), reinterpret_cast<BYTE*>(&caps)) == S_OK &&
               c.instance->SetBin(1) == VFW_E_NOT_STOPPED;
    }));
    workers.push_back(std::make_unique<ControlWorker>(3, [&c] {
        LONG size = 0;
        LONGLONG* rates = nullptr;
        const bool listed = c.video->GetFrameRateList(nullptr, 0, SIZE{1920, 1080}, &size, &rates) == S_OK && size > 0;
        CoTaskMemFree(rates);
        LONG count = 0;
        GUID category{};
        DWORD returned = 0;
        long value = 0, flags = 0;
        return listed && c.dropped->GetNumNotDropped(&count) == S_OK &&
               c.properties->Get(AMPROPSETID_Pin, AMPROPERTY_PIN_CATEGORY, nullptr, 0, &category, sizeof category,
                                 &returned) == S_OK &&
               SUCCEEDED(c.camera->Get(CameraControl_Exposure, &value, &flags));
    }));
    return workers;
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

    // A camera's own pace from here: a restarted frame takes a frame time, as on the wire.
    plugged.SetSwitch(vyx::sim::bus::kSwitchNoPacing, 0);
    const Controls controls(filter.Get());
    if (!controls.Complete()) {
        std::printf("a control interface is missing\n");
        return 2;
    }
    before = Measure();
    start = GetTickCount64();
    if (FAILED(graph.control->Run())) return 2;
    auto workers = StartControlTraffic(controls);
    LONG stalls = 0, last = 0;
    for (int second = 0; second < seconds; ++second) {
        Sleep(1000);
        const LONG now = Delivered(filter.Get());
        if (now <= last) ++stalls;  // a second without a frame
        last = now;
    }
    long rounds = 0, unexpected = 0;
    for (auto& worker : workers) {
        worker->Stop();
        rounds += worker->Rounds();
        unexpected += worker->Failures();
    }
    workers.clear();
    const HRESULT aborted = StreamAbort(graph);
    graph.control->Stop();
    if (FAILED(aborted)) std::printf("  the stream ended: EC_ERRORABORT 0x%08lx\n", static_cast<unsigned long>(aborted));
    failures = static_cast<int>(unexpected + stalls);
    Report("4 control threads while streaming", before, Measure(), GetTickCount64() - start, failures);
    std::printf("  %ld control rounds, %ld with an unexpected code, %ld frames, %ld seconds without a frame\n", rounds,
                unexpected, static_cast<long>(last), static_cast<long>(stalls));
    totalFailures += failures;
    return totalFailures == 0 ? 0 : 1;
}
