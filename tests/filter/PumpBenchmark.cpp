// filter_pump_benchmark own [SECONDS] | latency [ROUNDS] | paced [SECONDS]: the frame pump's
// costs, with the filter core linked in (a Kestrel 8C build) and a simulated camera.
//   own      the pump's own time per frame at 1920 x 1080 and 3840 x 2160 RGB24, pacing
//            off: FillBuffer on a sample of our own, alternating (in both orders) with the
//            camera calls it makes
//            (IsOpened, GetFrameTime, IsDataReady, GetImageData) and a memcpy of the frame;
//            medians, best of three rounds. Own time = FillBuffer - camera calls, per pair.
//   latency  Run to the first sample at a sample grabber and Stop to its return at 1920 x
//            1080 and 3840 x 2160 RGB24, through a graph without a clock, at the camera's
//            own pace.
//   paced    a running graph at the camera's own pace, 1920 x 1080 and 3840 x 2160 in RGB24
//            and 16-bit: after a warm-up of 5 s (the first renderings of the scene), the
//            dropped frames (IAMDroppedFrames) and the delivered rate over SECONDS against
//            the camera's frame time.
// Not a test: the figures go to docs/performance.md.
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "FilterTestSupport.h"
#include "GrabberCallback.h"
#include "SimulatedBus.h"

using namespace vyx::test;

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kWidth = 1920;
constexpr int kHeight = 1080;
constexpr int kRounds = 3;

double Micros(Clock::duration d) { return std::chrono::duration<double, std::micro>(d).count(); }

double Median(std::vector<double> values) {
    if (values.empty()) return -1;
    std::nth_element(values.begin(), values.begin() + values.size() / 2, values.end());
    return values[values.size() / 2];
}

// A sample over a buffer of our own, as an allocator would hand out.
class BenchSample : public IMediaSample {
public:
    explicit BenchSample(long size) : m_buffer(static_cast<size_t>(size)) {}
    STDMETHODIMP QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP GetPointer(BYTE** buffer) override {
        *buffer = m_buffer.data();
        return S_OK;
    }
    STDMETHODIMP_(LONG) GetSize() override { return static_cast<LONG>(m_buffer.size()); }
    STDMETHODIMP GetTime(REFERENCE_TIME*, REFERENCE_TIME*) override { return E_NOTIMPL; }
    STDMETHODIMP SetTime(REFERENCE_TIME*, REFERENCE_TIME*) override { return S_OK; }
    STDMETHODIMP IsSyncPoint() override { return S_OK; }
    STDMETHODIMP SetSyncPoint(BOOL) override { return S_OK; }
    STDMETHODIMP IsPreroll() override { return S_FALSE; }
    STDMETHODIMP SetPreroll(BOOL) override { return S_OK; }
    STDMETHODIMP_(LONG) GetActualDataLength() override { return m_length; }
    STDMETHODIMP SetActualDataLength(LONG length) override {
        m_length = length;
        return S_OK;
    }
    STDMETHODIMP GetMediaType(AM_MEDIA_TYPE**) override { return S_FALSE; }
    STDMETHODIMP SetMediaType(AM_MEDIA_TYPE*) override { return S_OK; }
    STDMETHODIMP IsDiscontinuity() override { return S_FALSE; }
    STDMETHODIMP SetDiscontinuity(BOOL) override { return S_OK; }
    STDMETHODIMP GetMediaTime(LONGLONG*, LONGLONG*) override { return VFW_E_MEDIA_TIME_NOT_SET; }
    STDMETHODIMP SetMediaTime(LONGLONG*, LONGLONG*) override { return S_OK; }

private:
    std::vector<BYTE> m_buffer;
    LONG m_length = 0;
};

// Signals the first sample of a run and when it came.
class FirstSample : public GrabberCallback {
public:
    FirstSample() : m_arrived(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}
    ~FirstSample() { CloseHandle(m_arrived); }
    STDMETHODIMP SampleCB(double, IMediaSample*) override {
        if (WaitForSingleObject(m_arrived, 0) != WAIT_OBJECT_0) {
            m_when = Clock::now();
            SetEvent(m_arrived);
        }
        return S_OK;
    }
    void Reset() { ResetEvent(m_arrived); }
    bool Wait(DWORD ms) const { return WaitForSingleObject(m_arrived, ms) == WAIT_OBJECT_0; }
    Clock::time_point When() const { return m_when; }

private:
    HANDLE m_arrived;
    Clock::time_point m_when;
};

bool FindType(IBaseFilter* filter, const GUID& subtype, int width, int height, CMediaType* found) {
    for (const CMediaType& type : StreamCapsTypes(filter)) {
        const auto* info = reinterpret_cast<const VIDEOINFOHEADER*>(type.Format());
        if (*type.Subtype() == subtype && info && info->bmiHeader.biWidth == width &&
            std::abs(info->bmiHeader.biHeight) == height) {
            *found = type;
            return true;
        }
    }
    return false;
}

// One size; *copyUs gets the best median memcpy of its frame.
int MeasureOwnAt(IBaseFilter* filter, double seconds, int width, int height, double referenceCopyUs,
                 double* copyUs) {
    Graph graph;
    CMediaType type;
    if (FAILED(MakeGraph(filter, CLSID_NullRenderer, &graph)) ||
        !FindType(filter, MEDIASUBTYPE_RGB24, width, height, &type) || FAILED(graph.Connect(&type))) {
        std::fprintf(stderr, "cannot connect %dx%d RGB24\n", width, height);
        return 1;
    }
    vyx::CVCameraStream* stream = StreamOf(filter);
    VyxonCamera* camera = CameraOf(filter);
    stream->Activate();  // as the filter's pause and run drive the hooks
    if (stream->OnThreadCreate() != S_OK || stream->Run(0) != S_OK) {
        std::fprintf(stderr, "cannot start the stream\n");
        return 1;
    }
    const long bytes = width * height * 3;
    BenchSample sample(bytes);
    std::vector<unsigned char> target(bytes), source(bytes, 0x5A), copy(bytes);
    double bestFill = 1e300, bestCalls = 1e300, bestCopy = 1e300;
    std::vector<double> own;  // of every pair of every round: the best round's would pick the noise
    // The fastest of each: the cost without interference from the rest of the machine.
    double minFill = 1e300, minCalls = 1e300, minCopy = 1e300;
    for (int round = 0; round < kRounds; ++round) {
        std::vector<double> fill, calls, copies;
        stream->FillBuffer(&sample);  // the first frame of the scene is rendered in full
        const Clock::time_point end = Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                                         std::chrono::duration<double>(seconds));
        auto timeFill = [&] {
            const Clock::time_point t0 = Clock::now();
            const HRESULT hr = stream->FillBuffer(&sample);
            fill.push_back(hr == S_OK ? Micros(Clock::now() - t0) : -1);
        };
        auto timeCalls = [&] {
            const Clock::time_point t0 = Clock::now();
            long long frameTimeUs = 0;
            float fps = 0;
            camera->IsOpened();
            camera->GetFrameTime(&frameTimeUs, &fps);
            camera->IsDataReady();
            camera->GetImageData(target.data(), bytes, 1000);
            calls.push_back(Micros(Clock::now() - t0));
        };
        // Both orders in turn: whichever reads the camera's frame second finds it in the cache.
        for (bool fillFirst = true; Clock::now() < end; fillFirst = !fillFirst) {
            if (fillFirst) {
                timeFill();
                timeCalls();
            } else {
                timeCalls();
                timeFill();
            }
            if (fill.back() < 0) {
                std::fprintf(stderr, "FillBuffer failed\n");
                return 1;
            }
            const Clock::time_point t0 = Clock::now();
            std::memcpy(copy.data(), source.data(), bytes);
            copies.push_back(Micros(Clock::now() - t0) + (copy[bytes / 2] != 0x5A));
            own.push_back(fill.back() - calls.back());
        }
        bestFill = std::min(bestFill, Median(fill));
        bestCalls = std::min(bestCalls, Median(calls));
        bestCopy = std::min(bestCopy, Median(copies));
        minFill = std::min(minFill, *std::min_element(fill.begin(), fill.end()));
        minCalls = std::min(minCalls, *std::min_element(calls.begin(), calls.end()));
        minCopy = std::min(minCopy, *std::min_element(copies.begin(), copies.end()));
    }
    // The same without the copy: a one-byte sample makes the camera copy one byte, so what
    // remains of FillBuffer beside the same calls is the pump's own work, free of the
    // copy's scatter.
    BenchSample tiny(1);
    constexpr int kBlock = 100;  // calls per timing: one call is near the clock's resolution
    std::vector<double> tinyFill, tinyCalls;
    for (int block = 0; block < 300; ++block) {
        Clock::time_point t0 = Clock::now();
        for (int i = 0; i < kBlock; ++i) stream->FillBuffer(&tiny);
        tinyFill.push_back(Micros(Clock::now() - t0) / kBlock);
        t0 = Clock::now();
        for (int i = 0; i < kBlock; ++i) {
            long long frameTimeUs = 0;
            float fps = 0;
            camera->IsOpened();
            camera->GetFrameTime(&frameTimeUs, &fps);
            camera->IsDataReady();
            camera->GetImageData(target.data(), 1, 1000);
        }
        tinyCalls.push_back(Micros(Clock::now() - t0) / kBlock);
    }
    stream->OnThreadDestroy();
    stream->Deactivate();
    graph.Disconnect();
    *copyUs = bestCopy;
    const double bestOwn = Median(own);
    const double tinyOwn = Median(tinyFill) - Median(tinyCalls);
    const double reference = referenceCopyUs > 0 ? referenceCopyUs : bestCopy;
    std::printf("%dx%d RGB24, pacing off, medians, best of %d rounds, %s\n", width, height, kRounds,
                sizeof(void*) == 8 ? "x64" : "x86");
    std::printf("FillBuffer %.1f us, camera calls alone %.1f us, memcpy of the frame %.1f us\n", bestFill, bestCalls,
                bestCopy);
    std::printf("pump's own time %.1f us per frame = %.2f %% of this memcpy, %.2f %% of a 1920x1080 one "
                "(median of all pairs)\n",
                bestOwn, 100.0 * bestOwn / bestCopy, 100.0 * bestOwn / reference);
    std::printf("fastest: FillBuffer %.1f us, camera calls %.1f us, memcpy %.1f us; own time %.1f us = %.2f %%\n",
                minFill, minCalls, minCopy, minFill - minCalls, 100.0 * (minFill - minCalls) / minCopy);
    std::printf("one-byte sample, medians of 300 x 100 calls: FillBuffer %.3f us, camera calls %.3f us; "
                "own time %.3f us = %.3f %% of a 1920x1080 memcpy\n",
                Median(tinyFill), Median(tinyCalls), tinyOwn, 100.0 * tinyOwn / reference);
    return 0;
}

// At 1920 x 1080, then at 3840 x 2160 against the 1920 x 1080 copy as well.
int MeasureOwn(IBaseFilter* filter, double seconds) {
    double copy1080 = 0, copy2160 = 0;
    if (MeasureOwnAt(filter, seconds, kWidth, kHeight, 0, &copy1080) != 0) return 1;
    return MeasureOwnAt(filter, seconds, 2 * kWidth, 2 * kHeight, copy1080, &copy2160);
}

int MeasureLatencyAt(IBaseFilter* filter, int rounds, int width, int height) {
    Graph graph;
    CMediaType type;
    if (FAILED(MakeGraph(filter, CLSID_SampleGrabber, &graph)) ||
        !FindType(filter, MEDIASUBTYPE_RGB24, width, height, &type) || FAILED(graph.Connect(&type))) {
        std::fprintf(stderr, "cannot connect %dx%d RGB24\n", width, height);
        return 1;
    }
    ComPtr<ISampleGrabber> grabber;
    graph.downstream.As(&grabber);
    FirstSample first;
    grabber->SetCallback(&first, 0);
    long long frameTimeUs = 0;
    float fps = 0;
    CameraOf(filter)->GetFrameTime(&frameTimeUs, &fps);
    std::vector<double> toFirst, toStopped;
    for (int round = 0; round < rounds; ++round) {
        first.Reset();
        const Clock::time_point run = Clock::now();
        if (FAILED(graph.control->Run()) || !first.Wait(10000)) {
            std::fprintf(stderr, "no sample within 10 s of Run\n");
            graph.control->Stop();
            return 1;
        }
        toFirst.push_back(Micros(first.When() - run) / 1000);
        Sleep(100);
        const Clock::time_point stop = Clock::now();
        graph.control->Stop();
        toStopped.push_back(Micros(Clock::now() - stop) / 1000);
    }
    grabber->SetCallback(nullptr, 0);
    graph.Disconnect();
    std::printf("%dx%d RGB24, paced, frame time %.2f ms, %d rounds, %s\n", width, height, frameTimeUs / 1000.0,
                rounds, sizeof(void*) == 8 ? "x64" : "x86");
    std::printf("Run to first sample: best %.1f ms, median %.1f ms\n", *std::min_element(toFirst.begin(), toFirst.end()),
                Median(toFirst));
    std::printf("Stop to return:      best %.1f ms, median %.1f ms\n",
                *std::min_element(toStopped.begin(), toStopped.end()), Median(toStopped));
    return 0;
}

// 3840 x 2160 too: its first frame is the costliest start.
int MeasureLatency(IBaseFilter* filter, int rounds) {
    if (MeasureLatencyAt(filter, rounds, kWidth, kHeight) != 0) return 1;
    return MeasureLatencyAt(filter, rounds, 2 * kWidth, 2 * kHeight);
}

// Counts samples; allocates nothing.
class SampleCounter : public GrabberCallback {
public:
    STDMETHODIMP SampleCB(double, IMediaSample*) override {
        ++m_samples;
        return S_OK;
    }
    long Samples() const { return m_samples; }

private:
    std::atomic<long> m_samples{0};
};

int MeasurePaced(IBaseFilter* filter, double seconds) {
    // The 16-bit output of a colour camera; see filter/OutputFormats.cpp.
    const GUID y16 = {0x20363159, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};
    struct Case {
        int width, height;
        const GUID* subtype;
        const char* name;
    };
    const Case cases[] = {{1920, 1080, &MEDIASUBTYPE_RGB24, "RGB24"},
                          {1920, 1080, &y16, "Y16"},
                          {3840, 2160, &MEDIASUBTYPE_RGB24, "RGB24"},
                          {3840, 2160, &y16, "Y16"}};
    std::printf("pacing on, 5 s warm-up, then %.0f s, %s\n", seconds, sizeof(void*) == 8 ? "x64" : "x86");
    std::printf("%-11s %-6s %11s %14s %10s %8s %14s\n", "size", "format", "camera fps", "delivered fps",
                "deviation", "dropped", "warm-up drops");
    int status = 0;
    for (const Case& c : cases) {
        Graph graph;
        CMediaType type;
        if (FAILED(MakeGraph(filter, CLSID_SampleGrabber, &graph)) ||
            !FindType(filter, *c.subtype, c.width, c.height, &type) || FAILED(graph.Connect(&type))) {
            std::fprintf(stderr, "cannot connect %dx%d %s\n", c.width, c.height, c.name);
            status = 1;
            continue;
        }
        ComPtr<ISampleGrabber> grabber;
        graph.downstream.As(&grabber);
        SampleCounter counter;
        grabber->SetCallback(&counter, 0);
        ComPtr<IAMDroppedFrames> dropped;
        OutputPin(filter).As(&dropped);
        long long frameTimeUs = 0;
        float fps = 0;
        CameraOf(filter)->GetFrameTime(&frameTimeUs, &fps);
        graph.control->Run();
        Sleep(5000);
        LONG warmupDrops = 0, drops = 0;
        dropped->GetNumDropped(&warmupDrops);
        const long before = counter.Samples();
        const Clock::time_point start = Clock::now();
        Sleep(static_cast<DWORD>(seconds * 1000));
        const long after = counter.Samples();
        const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
        dropped->GetNumDropped(&drops);
        graph.control->Stop();
        grabber->SetCallback(nullptr, 0);
        graph.Disconnect();
        const double camera = 1e6 / static_cast<double>(frameTimeUs);
        const double delivered = (after - before) / elapsed;
        std::printf("%4dx%-6d %-6s %11.3f %14.3f %9.2f%% %8ld %14ld\n", c.width, c.height, c.name, camera, delivered,
                    100.0 * (delivered - camera) / camera, static_cast<long>(drops - warmupDrops),
                    static_cast<long>(warmupDrops));
    }
    return status;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode != "own" && mode != "latency" && mode != "paced") {
        std::fprintf(stderr, "usage: filter_pump_benchmark own [SECONDS] | latency [ROUNDS] | paced [SECONDS]\n");
        return 2;
    }
    ComApartment com;
    vyx::sim::bus::UnplugAll();
    RemoveSettingsFile();
    int result = 1;
    {
        PluggedCamera camera;
        if (mode == "own") camera.SetSwitch(vyx::sim::bus::kSwitchNoPacing, 1);
        ComPtr<IBaseFilter> filter;
        if (camera.Result() != ERROR_SUCCESS || FAILED(CreateFilter(&filter))) {
            std::fprintf(stderr, "cannot plug the camera and create the filter\n");
        } else if (mode == "own") {
            result = MeasureOwn(filter.Get(), argc > 2 ? std::atof(argv[2]) : 2.0);
        } else if (mode == "latency") {
            result = MeasureLatency(filter.Get(), argc > 2 ? std::max(1, std::atoi(argv[2])) : 10);
        } else {
            result = MeasurePaced(filter.Get(), argc > 2 ? std::atof(argv[2]) : 30.0);
        }
    }
    vyx::sim::bus::UnplugAll();
    return result;
}
