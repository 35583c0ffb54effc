#include "Snapshot.h"

#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "PngWriter.h"
#include "SimulatedBus.h"
#include "ToolText.h"
#include "VyxonCamera.h"

namespace vyx::tools {
namespace {

struct CameraCloser {
    void operator()(VyxonCamera* camera) const {
        camera->CloseCamera();
        camera->Destory();
    }
};

// Wide enough to see the field, small enough for an uncompressed PNG.
constexpr int kMaxSnapshotWidth = 2100;

int ChooseBin(const CameraProp& prop, int sensorWidth) {
    int chosen = 1;
    for (int i = 0; i < 16 && prop.supportedBins[i] != 0; ++i) {
        chosen = prop.supportedBins[i];
        if (sensorWidth / chosen <= kMaxSnapshotWidth) break;
    }
    return chosen;
}

}  // namespace

bool WriteSnapshot(const std::wstring& model, const std::wstring& path, int exposureMs, std::string* error) {
    const auto* row = vyx::sim::bus::FindModel(model);
    if (!row) {
        *error = "no model named \"" + Narrow(model) + "\" (vyxsim models lists them)";
        return false;
    }
    int cameraId = -1;
    CameraProp prop{};
    for (int i = 0, count = VyxonCamera::GetCamerasCount(); i < count && cameraId < 0; ++i)
        if (VyxonCamera::GetCameraProp(i, &prop) && prop.productId == row->productId) cameraId = prop.cameraId;
    if (cameraId < 0) {
        *error = std::string(row->displayName) + " is not plugged (vyxsim plug \"" + row->displayName + "\")";
        return false;
    }
    std::unique_ptr<VyxonCamera, CameraCloser> camera(VyxonCamera::CreateCamera(cameraId));
    if (!camera || !camera->OpenCamera()) {
        if (camera) camera.get_deleter()(camera.release());
        *error = std::string("cannot open ") + row->displayName;
        return false;
    }

    const int bin = ChooseBin(prop, row->sensorWidth);
    const int width = row->sensorWidth / bin / 4 * 4;
    const int height = row->sensorHeight / bin / 2 * 2;
    // The low-noise gain preset; cooled cameras, made for long exposures, at full gain.
    int gains[4] = {}, offsets[4] = {};
    camera->GetGainsAndOffsets(&gains[0], &gains[1], &gains[2], &gains[3], &offsets[0], &offsets[1], &offsets[2],
                               &offsets[3]);
    int gain = gains[3], gainMin = 0, gainDefault = 0;
    if (row->cooler) camera->GetGainRange(&gain, &gainMin, &gainDefault);
    const ImageFormat format = row->color ? IMG_RGB24 : IMG_RAW8;
    if (!camera->SetBin(bin) || !camera->SetImgSize(width, height) || !camera->SetImgFormat(format) ||
        !camera->SetExposure(exposureMs * 1000, false) || !camera->SetGain(gain, false) ||
        !camera->SetOffset(offsets[3])) {
        *error = "the camera refused the snapshot settings";
        return false;
    }
    long long frameUs = 0;
    float fps = 0;
    camera->GetFrameTime(&frameUs, &fps);
    const int bytesPerPixel = row->color ? 3 : 1;
    std::vector<std::uint8_t> frame(static_cast<size_t>(width) * height * bytesPerPixel);
    const bool read = camera->StartVideoStream() &&
                      camera->GetImageData(frame.data(), static_cast<int>(frame.size()),
                                           static_cast<int>(frameUs / 1000) + 3000);
    camera->StopVideoStream();
    if (!read) {
        *error = std::string("no frame from ") + row->displayName;
        return false;
    }

    // Camera rows are bottom-up (B, G, R for colour); PNG rows are top-down R, G, B.
    std::vector<std::uint8_t> picture(frame.size());
    const size_t stride = static_cast<size_t>(width) * bytesPerPixel;
    for (int y = 0; y < height; ++y) {
        const std::uint8_t* src = &frame[(height - 1 - y) * stride];
        std::uint8_t* dst = &picture[y * stride];
        if (bytesPerPixel == 1) {
            std::memcpy(dst, src, stride);
            continue;
        }
        for (int x = 0; x < width; ++x) {
            dst[3 * x] = src[3 * x + 2];
            dst[3 * x + 1] = src[3 * x + 1];
            dst[3 * x + 2] = src[3 * x];
        }
    }
    png::ImageView view{width, height, row->color ? png::PixelFormat::kRgb24 : png::PixelFormat::kGrey8,
                        picture.data(), stride};
    const DWORD written = png::WriteFile(path, view);
    if (written != ERROR_SUCCESS) {
        *error = "cannot write " + Narrow(path) + ": " + Win32ErrorText(written);
        return false;
    }
    return true;
}

}  // namespace vyx::tools
