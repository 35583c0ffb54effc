// camera_benchmark: the cost of GetImageData against a plain memcpy of the same frame,
// side by side, for 1920 x 1080 and 3840 x 2160 in RGB24 and RAW16. Pacing is switched
// off, so a frame is always ready and the call's own cost is measured. The two calls
// alternate and their medians are reported, which keeps a busy machine's load out of
// the ratio.
// Usage: camera_benchmark [SECONDS_PER_CASE]   (default 2)
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "SimulatedBus.h"
#include "VyxonCamera.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr wchar_t kModel[] = L"Kestrel 8C";  // 3856 x 2180: room for 3840 x 2160
constexpr wchar_t kSerial[] = L"BENCH1";

struct Case {
    int width, height;
    ImageFormat format;
    const char* name;
    int bytesPerPixel;
};

struct Timing {
    double first = -1;   // median microseconds per call
    double second = -1;
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
    std::vector<double> a, b;
    const Clock::time_point start = Clock::now();
    while (std::chrono::duration<double>(Clock::now() - start).count() < seconds) {
        const Clock::time_point t0 = Clock::now();
        if (!first()) return {};
        const Clock::time_point t1 = Clock::now();
        second();
        const Clock::time_point t2 = Clock::now();
        a.push_back(std::chrono::duration<double, std::micro>(t1 - t0).count());
        b.push_back(std::chrono::duration<double, std::micro>(t2 - t1).count());
    }
    return {Median(a), Median(b)};
}

}  // namespace

int main(int argc, char** argv) {
    const double seconds = argc > 1 ? std::atof(argv[1]) : 2.0;
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
        const Case cases[] = {
            {1920, 1080, IMG_RGB24, "RGB24", 3},
            {1920, 1080, IMG_RAW16, "RAW16", 2},
            {3840, 2160, IMG_RGB24, "RGB24", 3},
            {3840, 2160, IMG_RAW16, "RAW16", 2},
        };
        std::printf("%-11s %-6s %10s %14s %12s %7s\n", "size", "format", "MB/frame", "GetImageData", "memcpy",
                    "ratio");
        for (const Case& c : cases) {
            if (!camera->SetImgSize(c.width, c.height) || !camera->SetImgFormat(c.format)) {
                std::fprintf(stderr, "camera_benchmark: the camera refused %dx%d %s\n", c.width, c.height, c.name);
                result = 1;
                break;
            }
            const size_t bytes = static_cast<size_t>(c.width) * c.height * c.bytesPerPixel;
            std::vector<unsigned char> source(bytes, 0x5A);
            std::vector<unsigned char> target(bytes);
            std::vector<unsigned char> copy(bytes);
            const Timing t = TimeSideBySide(
                seconds, [&] { return camera->GetImageData(target.data(), static_cast<int>(bytes), 5000); },
                [&] {
                    std::memcpy(copy.data(), source.data(), bytes);
                    // Keeps the copy from being optimised away.
                    return copy[bytes / 2] == 0x5A;
                });
            const double camera_us = t.first;
            const double memcpy_us = t.second;
            if (camera_us < 0) {
                std::fprintf(stderr, "camera_benchmark: GetImageData failed\n");
                result = 1;
                break;
            }
            char size[16];
            std::snprintf(size, sizeof size, "%dx%d", c.width, c.height);
            std::printf("%-11s %-6s %10.1f %11.0f us %9.0f us %6.2fx\n", size, c.name, bytes / 1e6, camera_us,
                        memcpy_us, camera_us / memcpy_us);
        }
    }
    if (camera) camera->Destory();
    vyx::sim::bus::UnplugAll();
    return result;
}
