// camera_benchmark: the cost of GetImageData against a plain memcpy of the same frame,
// side by side, for 1920 x 1080 and 3840 x 2160 in RGB24 and RAW16. Pacing is switched
// off, so a frame is always ready and the call's own cost is measured.
// Usage: camera_benchmark [SECONDS_PER_CASE]   (default 2)
#include <windows.h>

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

// Calls `work` repeatedly for about `seconds`; returns microseconds per call.
template <typename Work>
double TimePerCall(double seconds, Work work) {
    work();  // warm caches and first-touch page faults
    int calls = 0;
    const Clock::time_point start = Clock::now();
    Clock::time_point now = start;
    while (std::chrono::duration<double>(now - start).count() < seconds) {
        if (!work()) return -1.0;
        ++calls;
        now = Clock::now();
    }
    return std::chrono::duration<double, std::micro>(now - start).count() / calls;
}

}  // namespace

int main(int argc, char** argv) {
    const double seconds = argc > 1 ? std::atof(argv[1]) : 2.0;
    if (!(seconds > 0)) {
        std::fprintf(stderr, "usage: camera_benchmark [SECONDS_PER_CASE]\n");
        return 2;
    }
    vyxsim::UnplugAll();
    if (vyxsim::Plug(kModel, kSerial) != ERROR_SUCCESS) {
        std::fprintf(stderr, "camera_benchmark: cannot plug a simulated camera\n");
        return 1;
    }
    const std::wstring instance = std::wstring(L"USB\\") + vyxsim::FindModel(kModel)->hardwareId + L"\\" + kSerial;
    vyxsim::SetSwitch(instance, vyxsim::kSwitchNoPacing, 1);

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
            const double camera_us = TimePerCall(seconds, [&] {
                return camera->GetImageData(target.data(), static_cast<int>(bytes), 5000);
            });
            const double memcpy_us = TimePerCall(seconds, [&] {
                std::memcpy(target.data(), source.data(), bytes);
                // Keeps the copy from being optimised away.
                return target[bytes / 2] == 0x5A;
            });
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
    vyxsim::UnplugAll();
    return result;
}
