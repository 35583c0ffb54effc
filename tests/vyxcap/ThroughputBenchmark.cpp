// vyxcap_benchmark [FRAMES]: frames per second vyxcap receives through the filter and a
// real graph, as an application captures, at 3840 x 2160 and 1920 x 1080 RGB24 with the
// simulator's pacing off, against the rate at which the camera library alone fills the
// same number of rotating buffers as the graph's allocator holds (counted first, in the
// same graph built in process) and the rate of a bare memcpy of the frame; alternating
// rounds, best of three.
// Not a test: it prints the figures for docs/performance.md.
#include <windows.h>

#include <wrl/client.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cwchar>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "CaptureGraph.h"
#include "ComApartment.h"
#include "FormatChoice.h"
#include "GrabberCallback.h"
#include "InstalledBuilds.h"
#include "Processes.h"
#include "SimulatedBus.h"
#include "VyxonCamera.h"
#include "vyx_catalogue.h"

using namespace vyx::test;
using Microsoft::WRL::ComPtr;

namespace {

constexpr wchar_t kModel[] = L"Kestrel 8C";
constexpr int kRounds = 3;
// A capture of a few hundred frames at 4K takes tens of seconds on a busy machine.
constexpr DWORD kCaptureTimeoutMs = 170000;

struct Size {
    int width;
    int height;
};

// Records the distinct buffers the samples arrive in: the allocator's rotation.
class BufferSpy : public vyx::test::GrabberCallback {
public:
    STDMETHODIMP SampleCB(double, IMediaSample* sample) override {
        BYTE* buffer = nullptr;
        if (m_samples < kSamples && SUCCEEDED(sample->GetPointer(&buffer))) m_buffers[m_samples] = buffer;
        ++m_samples;
        return S_OK;
    }
    bool Done() const { return m_samples >= kSamples; }
    int Distinct() const {
        const std::set<BYTE*> distinct(m_buffers, m_buffers + std::min<int>(m_samples, kSamples));
        return static_cast<int>(distinct.size());
    }

private:
    static constexpr int kSamples = 24;
    BYTE* m_buffers[kSamples] = {};
    std::atomic<int> m_samples{0};
};

// How many buffers the samples rotate through in vyxcap's own graph (vyxcap's CaptureGraph:
// the filter, the capture graph builder, a sample grabber taking RGB24 only, a null
// renderer), counted from the sample pointers of the first frames; 0 when it cannot run.
int GraphBuffers(const GUID& filterClsid, int width, int height) {
    ComPtr<IBaseFilter> device;
    if (FAILED(CoCreateInstance(filterClsid, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&device)))) return 0;
    try {
        vyx::vyxcap::CaptureGraph graph(device);
        vyx::vyxcap::FormatRequest request;
        request.subtype = L"RGB24";
        request.width = width;
        request.height = height;
        const vyx::vyxcap::ChosenFormat chosen =
            vyx::vyxcap::ChooseFormat(graph.Capabilities(), request, graph.CurrentFormat().Get());
        graph.SetFormat(*chosen.type.Get());
        graph.Build(*chosen.type.Get(), nullptr);
        BufferSpy spy;
        graph.SetCallback(&spy);
        graph.Run();
        for (int waited = 0; !spy.Done() && waited < 10000; waited += 10) Sleep(10);
        graph.Stop();
        return spy.Done() ? spy.Distinct() : 0;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "cannot run vyxcap's graph in process: %s\n", error.what());
        return 0;
    }
}

// The camera library alone, per frame the calls the frame pump makes (IsOpened,
// GetFrameTime, IsDataReady, GetImageData), each frame into the next of `buffers`
// destinations in turn, as the graph's allocator hands them to the pump: the difference to
// vyxcap is then the filter and the graph, not where the copy lands.
double SimulatorFps(int width, int height, int frames, int buffers) {
    CameraProp prop{};
    if (VyxonCamera::GetCamerasCount() < 1 || !VyxonCamera::GetCameraProp(0, &prop)) return 0;
    VyxonCamera* camera = VyxonCamera::CreateCamera(prop.cameraId);
    if (!camera) return 0;
    double fps = 0;
    if (camera->OpenCamera() && camera->SetBin(1) && camera->SetImgSize(width, height) &&
        camera->SetImgFormat(IMG_RGB24) && camera->StartVideoStream()) {
        const int bytes = width * height * 3;
        std::vector<std::vector<unsigned char>> targets(buffers, std::vector<unsigned char>(bytes));
        for (auto& target : targets) camera->GetImageData(target.data(), bytes, 1000);
        LARGE_INTEGER frequency, start, end;
        QueryPerformanceFrequency(&frequency);
        QueryPerformanceCounter(&start);
        int good = 0;
        for (int i = 0; i < frames; ++i) {
            long long frameTimeUs = 0;
            float framesPerSecond = 0;
            camera->IsOpened();
            camera->GetFrameTime(&frameTimeUs, &framesPerSecond);
            camera->IsDataReady();
            good += camera->GetImageData(targets[i % buffers].data(), bytes, 1000);
        }
        QueryPerformanceCounter(&end);
        fps = good * static_cast<double>(frequency.QuadPart) / (end.QuadPart - start.QuadPart);
        camera->StopVideoStream();
    }
    camera->CloseCamera();
    camera->Destory();
    return fps;
}

// The bound no capture of this frame can beat: one memcpy of it per frame.
double MemcpyFps(int width, int height, int frames) {
    const size_t bytes = static_cast<size_t>(width) * height * 3;
    std::vector<unsigned char> source(bytes, 0x5A), target(bytes);
    std::memcpy(target.data(), source.data(), bytes);
    LARGE_INTEGER frequency, start, end;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    unsigned sum = 0;
    for (int i = 0; i < frames; ++i) {
        std::memcpy(target.data(), source.data(), bytes);
        sum += target[(i * 4099u) % bytes];  // keeps every copy
    }
    QueryPerformanceCounter(&end);
    return sum == 0 ? 0 : frames * static_cast<double>(frequency.QuadPart) / (end.QuadPart - start.QuadPart);
}

// The fastest frame rate the device offers for SUBTYPE at this size, from `vyxcap caps`:
// without asking for it, a capture keeps the type's 30 fps and the camera limits itself.
double FastestFps(const std::wstring& device, const char* wantedSubtype, int width, int height) {
    const ProcessResult run = RunProcess(L"\"" + ToolPath(L"vyxcap.exe") + L"\" caps \"" + device + L"\"");
    size_t start = 0;
    while (run.started && start < run.out.size()) {
        const size_t end = run.out.find('\n', start);
        const std::string line = run.out.substr(start, end - start);
        char subtype[16] = {};
        int index = 0, w = 0, h = 0, bits = 0;
        long long minInterval = 0, maxInterval = 0;
        if (std::sscanf(line.c_str(), "%d %15s %d %d %d %lld %lld", &index, subtype, &w, &h, &bits, &minInterval,
                        &maxInterval) == 7 &&
            std::string(subtype) == wantedSubtype && w == width && h == height && minInterval > 0)
            return 1e7 / static_cast<double>(minInterval);
        if (end == std::string::npos) break;
        start = end + 1;
    }
    return 0;
}

// One vyxcap capture at the fastest rate the capability offers; its JSON report.
std::string Capture(const std::wstring& device, const char* subtype, int width, int height, int frames) {
    const double fps = FastestFps(device, subtype, width, height);
    if (fps <= 0) {
        std::fprintf(stderr, "vyxcap caps lists no %s %dx%d\n", subtype, width, height);
        return "";
    }
    char rateText[32];
    std::snprintf(rateText, sizeof rateText, "%.3f", fps);
    const std::wstring rate(rateText, rateText + std::strlen(rateText));
    const std::wstring format(subtype, subtype + std::strlen(subtype));
    const ProcessResult run = RunProcess(L"\"" + ToolPath(L"vyxcap.exe") + L"\" capture \"" + device +
                                         L"\" --format " + format + L" --size " + std::to_wstring(width) + L"x" +
                                         std::to_wstring(height) + L" --fps " + rate + L" --frames " +
                                         std::to_wstring(frames) + L" --json",
                                         kCaptureTimeoutMs);
    if (!run.started || run.exitCode != 0 || run.out.find("\"fps\":") == std::string::npos) {
        std::fprintf(stderr, "vyxcap failed (%lu): %s", run.exitCode, run.err.c_str());
        return "";
    }
    return run.out;
}

// A number of the report; -1 when it is missing.
double Field(const std::string& json, const char* name) {
    const std::string key = std::string("\"") + name + "\":";
    const size_t at = json.find(key);
    return at == std::string::npos ? -1 : std::strtod(json.c_str() + at + key.size(), nullptr);
}

int Throughput(const vyx::catalogue::ModelRow& model, int frames) {
    std::printf("%s, RGB24, simulator pacing off, %d frames, best of %d alternating rounds, %s\n",
                model.displayName, frames, kRounds, sizeof(void*) == 8 ? "x64" : "x86");
    std::printf("%-11s %8s %12s %14s %12s %16s %15s\n", "size", "buffers", "memcpy fps", "simulator fps", "vyxcap fps",
                "vyxcap/simulator", "vyxcap/memcpy");
    int status = 0;
    for (const Size size : {Size{3840, 2160}, Size{1920, 1080}}) {
        const int buffers = GraphBuffers(model.filterClsid, size.width, size.height);
        if (buffers < 1) {
            std::fprintf(stderr, "cannot count the graph's buffers at %dx%d\n", size.width, size.height);
            status = 1;
            continue;
        }
        // Alternating rounds, best of each: other work on the machine only ever slows a
        // round down, and every side gets the same chances.
        double copy = 0, alone = 0, graph = 0;
        for (int round = 0; round < kRounds; ++round) {
            copy = std::max(copy, MemcpyFps(size.width, size.height, frames));
            alone = std::max(alone, SimulatorFps(size.width, size.height, frames, buffers));
            graph = std::max(graph, Field(Capture(model.friendlyName, "RGB24", size.width, size.height, frames), "fps"));
        }
        std::printf("%4dx%-6d %8d %12.1f %14.1f %12.1f %15.1f%% %14.1f%%\n", size.width, size.height, buffers, copy,
                    alone, graph,
                    alone > 0 ? 100.0 * graph / alone : 0.0, copy > 0 ? 100.0 * graph / copy : 0.0);
        if (alone <= 0 || graph <= 0) status = 1;
    }
    return status;
}

}  // namespace

int main(int argc, char** argv) {
    const int frames = argc > 1 ? std::atoi(argv[1]) : 200;
    if (frames < 2) {
        std::fprintf(stderr, "usage: vyxcap_benchmark [FRAMES >= 2]\n");
        return 2;
    }
    const vyx::catalogue::ModelRow* model = nullptr;
    for (const auto& row : vyx::catalogue::kModels)
        if (std::wstring(row.displayNameW) == kModel) model = &row;
    vyx::sim::bus::UnplugAll();
    if (!model || vyx::sim::bus::Plug(kModel) != ERROR_SUCCESS) {
        std::fprintf(stderr, "cannot plug the simulated camera\n");
        return 1;
    }
    const auto plugged = vyx::sim::bus::ListPlugged();
    if (plugged.empty() || vyx::sim::bus::SetSwitch(plugged[0].instanceId, vyx::sim::bus::kSwitchNoPacing, 1) != ERROR_SUCCESS) {
        std::fprintf(stderr, "cannot switch the simulator's pacing off\n");
        vyx::sim::bus::UnplugAll();
        return 1;
    }
    const std::wstring build = L"\"" + FilterBuildPath(model->dllFileNameW) + L"\"";
    if (Regsvr32(L"/s " + build) != 0) {
        std::fprintf(stderr, "cannot register the model's filter build\n");
        vyx::sim::bus::UnplugAll();
        return 1;
    }
    int status = 1;
    {
        vyx::win::ComApartment com;
        status = Throughput(*model, frames);
    }
    Regsvr32(L"/s /u " + build);
    vyx::sim::bus::UnplugAll();
    return status;
}
