// camera_benchmark: the cost of GetImageData against a plain memcpy of the same frame,
// side by side, for RGB24, YUY2, RAW8 and RAW16 at 1920 x 1080 and 3840 x 2160 and at
// 1920 x 1080 with bin 2. Pacing is switched off, so a frame is always ready and the
// call's own cost is measured. The two calls alternate and their medians are taken, which
// keeps a busy machine's load out of the ratio: the ratio is the median over neighbouring
// pairs of calls. Three rounds over every case; each case reports its round with the best
// ratio.
// Neither side copies from a warm cache: GetImageData copies the newest frame of the
// simulator's pool, which its producer wrote on another thread, so the memcpy copies from
// a rotating set of as many frame-sized buffers as that pool holds, into one target as
// GetImageData does. The fixed cost of a call (locks, the frame's reference, the switch
// check) is GetImageData of a single byte, reported beside.
// Usage: camera_benchmark [SECONDS_PER_CASE]   (default 1)
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <tuple>
#include <vector>

#include "SimulatedBus.h"
#include "VyxonCamera.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr wchar_t kModel[] = L"Kestrel 8C";  // 3856 x 2180: room for 3840 x 2160
constexpr wchar_t kSerial[] = L"BENCH1";

constexpr int kRounds = 3;
// The simulator's pool: the newest frame and two spares.
constexpr int kSourceBuffers = 3;

struct Case {
    int width, height, bin;
    ImageFormat format;
    const char* name;
    int bytesPerPixel;
};

struct Timing {
    double first = -1;   // median microseconds per call
    double second = -1;
    double ratio = -1;   // median of first / second over neighbouring pairs of calls
    double callUs = -1;  // median microseconds of a one-byte GetImageData
};

double Median(std::vector<double>& samples) {
    std::nth_element(samples.begin(), samples.begin() + samples.size() / 2, samples.end());
    return samples[samples.size() / 2];
}

// Alternates the two calls for about `seconds`, so that both see the same load on a
// shared machine, and reports the median time of each.
template <typename First, typename Second>
Timing TimeSideBySide(double seconds, First first, Second second) {
    if (!first() || !second()) return {};  // warm caches and first-touch page faults
    std::vector<double> a, b, ratios;
    const Clock::time_point start = Clock::now();
    while (std::chrono::duration<double>(Clock::now() - start).count() < seconds) {
        const Clock::time_point t0 = Clock::now();
        if (!first()) return {};
        const Clock::time_point t1 = Clock::now();
        second();
        const Clock::time_point t2 = Clock::now();
        a.push_back(std::chrono::duration<double, std::micro>(t1 - t0).count());
        b.push_back(std::chrono::duration<double, std::micro>(t2 - t1).count());
        ratios.push_back(a.back() / b.back());
    }
    return {Median(a), Median(b), Median(ratios)};
}

}  // namespace

int main(int argc, char** argv) {
    const double seconds = argc > 1 ? std::atof(argv[1]) : 1.0;
    if (!(seconds > 0)) {
        std::fprintf(stderr, "usage: camera_benchmark [SECONDS_PER_CASE]\n");
        return 2;
    }
    vyx::sim::bus::UnplugAll();
    if (vyx::sim::bus::Plug(kModel, kSerial) != ERROR_SUCCESS) {
        std::fprintf(stderr, "camera_benchmark: cannot plug a simulated camera\n");
        return 1;
    }
    const std::wstring instance = std::wstring(L"USB\\") + vyx::sim::bus::FindModel(kModel)->hardwareId + L"\\" + kSerial;
    vyx::sim::bus::SetSwitch(instance, vyx::sim::bus::kSwitchNoPacing, 1);

    int result = 0;
    VyxonCamera* camera = nullptr;
    for (int i = 0, n = VyxonCamera::GetCamerasCount(); i < n && !camera; ++i) {
        CameraProp prop{};
        if (VyxonCamera::GetCameraProp(i, &prop) && std::strcmp(prop.extraInfo, "BENCH1") == 0)
            camera = VyxonCamera::CreateCamera(prop.cameraId);
    }
    if (!camera || !camera->OpenCamera() || !camera->StartVideoStream()) {
        std::fprintf(stderr, "camera_benchmark: cannot open and start the simulated camera\n");
        result = 1;
    } else {
        std::vector<Case> cases;
        for (const auto& [width, height, bin] : {std::tuple{1920, 1080, 1}, std::tuple{3840, 2160, 1},
                                                  std::tuple{1920, 1080, 2}}) {
            cases.push_back({width, height, bin, IMG_RGB24, "RGB24", 3});
            cases.push_back({width, height, bin, IMG_YUY2, "YUY2", 2});
            cases.push_back({width, height, bin, IMG_RAW8, "RAW8", 1});
            cases.push_back({width, height, bin, IMG_RAW16, "RAW16", 2});
        }
        std::vector<Timing> best(cases.size(), Timing{-1, -1, 1e300});
        for (int round = 0; round < kRounds && result == 0; ++round) {
            for (std::size_t i = 0; i < cases.size(); ++i) {
                const Case& c = cases[i];
                if (!camera->SetBin(c.bin) || !camera->SetImgSize(c.width, c.height) ||
                    !camera->SetImgFormat(c.format)) {
                    std::fprintf(stderr, "camera_benchmark: the camera refused %dx%d bin %d %s\n", c.width,
                                 c.height, c.bin, c.name);
                    result = 1;
                    break;
                }
                const size_t bytes = static_cast<size_t>(c.width) * c.height * c.bytesPerPixel;
                std::vector<std::vector<unsigned char>> sources(kSourceBuffers, std::vector<unsigned char>(bytes, 0x5A));
                std::vector<unsigned char> target(bytes);
                std::vector<unsigned char> copy(bytes);
                int next = 0;
                Timing t = TimeSideBySide(
                    seconds, [&] { return camera->GetImageData(target.data(), static_cast<int>(bytes), 5000); },
                    [&] {
                        std::memcpy(copy.data(), sources[next].data(), bytes);
                        next = (next + 1) % kSourceBuffers;
                        // Keeps the copy from being optimised away.
                        return copy[bytes / 2] == 0x5A;
                    });
                unsigned char byte = 0;
                t.callUs = TimeSideBySide(
                               seconds / 4, [&] { return camera->GetImageData(&byte, 1, 5000); },
                               [] { return true; })
                               .first;
                if (t.first < 0) {
                    std::fprintf(stderr, "camera_benchmark: GetImageData failed\n");
                    result = 1;
                    break;
                }
                if (t.ratio < best[i].ratio) best[i] = t;
            }
        }
        std::printf("%s, pacing off, median per call, best of %d rounds, %s\n", "Kestrel 8C", kRounds,
                    sizeof(void*) == 8 ? "x64" : "x86");
        std::printf("%-11s %3s %-6s %9s %14s %12s %7s %12s\n", "size", "bin", "format", "MB/frame", "GetImageData",
                    "memcpy", "ratio", "1-byte call");
        for (std::size_t i = 0; i < cases.size() && result == 0; ++i) {
            const Case& c = cases[i];
            const size_t bytes = static_cast<size_t>(c.width) * c.height * c.bytesPerPixel;
            char size[16];
            std::snprintf(size, sizeof size, "%dx%d", c.width, c.height);
            std::printf("%-11s %3d %-6s %9.1f %11.0f us %9.0f us %6.2fx %9.1f us\n", size, c.bin, c.name,
                        bytes / 1e6, best[i].first, best[i].second, best[i].ratio, best[i].callUs);
        }
    }
    if (camera) camera->Destory();
    vyx::sim::bus::UnplugAll();
    return result;
}
