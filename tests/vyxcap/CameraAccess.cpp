#include "CameraAccess.h"

#include <wrl/client.h>

#include <algorithm>

#include "CapturePin.h"

using Microsoft::WRL::ComPtr;

namespace vyx::vyxcap::test {

VyxonCamera* CameraOf(IBaseFilter* filter, const vyx::catalogue::ModelRow& model) {
    const ComPtr<IPin> pin = vyx::vyxcap::FindCapturePin(filter);
    ComPtr<ICameraInstance> instance;
    if (FAILED(pin->QueryInterface(model.cameraInstanceIid, reinterpret_cast<void**>(instance.GetAddressOf()))))
        return nullptr;
    VyxonCamera* camera = nullptr;
    if (FAILED(instance->GetCamera(&camera))) return nullptr;
    return camera;  // valid while the filter lives
}

REFERENCE_TIME ExpectedSampleDuration(VyxonCamera* camera) {
    long long frameTimeUs = 0;
    float framesPerSecond = 0;
    camera->GetFrameTime(&frameTimeUs, &framesPerSecond);
    int exposureUs = 0;
    bool autoExposure = false;
    camera->GetExposure(&exposureUs, &autoExposure);
    return 10 * std::max<long long>(frameTimeUs, exposureUs);
}

}  // namespace vyx::vyxcap::test
