// The pin object: camera connection, lifetime, interface map and page list.
#include "CVCameraStream.h"

#include <dshow.h>

#include <cstring>

#include "CVCamera.h"
#include "CameraSettings.h"
#include "ModelDescriptor.h"
#include "OutputFormats.h"
#include "PageList.h"
#include "Trace.h"

namespace vyx {
namespace {
constexpr int kPinPages[] = {kPageImageParameters};

std::string HostPath() {
    char path[128] = {};
    GetModuleFileNameA(nullptr, path, sizeof path);
    path[sizeof path - 1] = '\0';
    return path;
}

// An obs host is one whose path contains "obs64" or "obs32".
bool IsObsHost(const std::string& hostPath) {
    return hostPath.find("obs64") != std::string::npos || hostPath.find("obs32") != std::string::npos;
}
}  // namespace

CVCameraStream::CVCameraStream(HRESULT* result, CVCamera* filter, LPCWSTR name)
    : CSourceStream(nullptr, result, filter, name),
      CVideoProcAmpPart(m_state, m_instanceLock),
      CCameraControlPart(m_state, m_instanceLock, g_ModelDescriptor.sensorWidth, g_ModelDescriptor.sensorHeight),
      m_owner(filter),
      m_hostPath(HostPath()),
      m_negotiation(m_state, g_ModelDescriptor.resolutions, g_ModelDescriptor.resolutionCount, IsObsHost(m_hostPath)) {
    VYX_TRACE("CVCameraStream::CVCameraStream", "CVCameraStream::CVCameraStream caller:%s\n", m_hostPath.c_str());
    ConnectCamera(result);
}

void CVCameraStream::ConnectCamera(HRESULT* result) {
    [[maybe_unused]] const char* label = "CVCameraStream::CVCameraStream";
    const int count = VyxonCamera::GetCamerasCount();
    CameraProp found{};
    bool matched = false;
    for (int index = 0; index < count && !matched; ++index) {
        CameraProp prop{};
        VyxonCamera::GetCameraProp(index, &prop);
        prop.modelName[sizeof prop.modelName - 1] = '\0';
        VYX_TRACE(label, "Find Camera:%s\n", prop.modelName);
        if (prop.vendorId == g_ModelDescriptor.vendorId && prop.productId == g_ModelDescriptor.productId) {
            found = prop;
            matched = true;
        }
    }
    if (!matched) {
        if (result) *result = E_HANDLE;
        return;
    }

    VYX_TRACE(label, "Create Camera: %s\n", found.modelName);
    if (!m_camera.Open(found.cameraId)) {
        if (result) *result = E_FAIL;
        return;
    }
    VyxonCamera* camera = m_camera.Get();
    m_state.camera = camera;

    int exposure = 0;
    bool exposureAuto = false;
    camera->GetExposure(&exposure, &exposureAuto);
    m_state.exposureUs = exposure;
    m_state.exposureAuto = exposureAuto;
    m_state.exposureLog2 = ExposureToLog2Seconds(exposure);
    int gain = 0;
    bool gainAuto = false;
    camera->GetGain(&gain, &gainAuto);
    m_state.gain = gain;
    m_state.gainAuto = gainAuto;

    CameraProp prop{};
    camera->GetTheProp(&prop);
    m_state.color = prop.isColorCamera;
    m_state.outputFormatIndex = m_state.color ? kOutputRGB24 : kOutputRGB8;
    m_state.subtype = m_state.color ? MEDIASUBTYPE_RGB24 : MEDIASUBTYPE_RGB8;
    int x = 0, y = 0, width = 0, height = 0, bin = 1;
    camera->GetImgStartPos(&x, &y);
    camera->GetImgSize(&width, &height);
    camera->GetBin(&bin);
    m_state.startX = x;
    m_state.startY = y;
    m_state.width = width;
    m_state.height = height;
    m_state.bin = bin;

    if (m_state.color) {
        m_state.imageFormat = IMG_RGB24;
        camera->SetWhiteBalance(0, 0, 0, true);
    } else {
        m_state.imageFormat = IMG_RAW8;
    }
    camera->SetImgFormat(static_cast<ImageFormat>(m_state.imageFormat));

    int* presets = m_state.gainsAndOffsets;
    camera->GetGainsAndOffsets(&presets[0], &presets[1], &presets[2], &presets[3], &presets[4], &presets[5],
                               &presets[6], &presets[7]);
    m_state.gamma = 0;
    m_state.resolutionIndex = 0;
    m_state.requestedFrameInterval = 0;

    m_prop = prop;
    m_negotiation.BuildFormats(prop);

    m_settingsPath = DetermineSettingsPath();
    if (!m_settingsPath.empty()) LoadSettings(m_settingsPath, g_ModelDescriptor, *camera, m_state.gainsAndOffsets, *this);
}

CVCameraStream::~CVCameraStream() {
    // Saved before the stream stops so the file holds what the user last saw.
    SaveSettingsIfEnabled();
    m_state.camera = nullptr;
    m_camera.Reset();
}

void CVCameraStream::SaveSettingsIfEnabled() {
    if (m_state.camera && !m_settingsPath.empty()) SaveSettings(m_settingsPath, g_ModelDescriptor, *m_state.camera);
}

STDMETHODIMP CVCameraStream::NonDelegatingQueryInterface(REFIID riid, void** object) {
    if (!object) return E_POINTER;
    if (riid == IID_IAMStreamConfig) return GetInterface(static_cast<IAMStreamConfig*>(this), object);
    if (riid == IID_IKsPropertySet) return GetInterface(static_cast<IKsPropertySet*>(this), object);
    if (riid == IID_ISpecifyPropertyPages) return GetInterface(static_cast<ISpecifyPropertyPages*>(this), object);
    if (riid == IID_IAMDroppedFrames) return GetInterface(static_cast<IAMDroppedFrames*>(this), object);
    if (riid == IID_IAMVideoProcAmp) return GetInterface(static_cast<VYXIAMVideoProcAmp*>(this), object);
    if (riid == IID_IAMVideoControl) return GetInterface(static_cast<IAMVideoControl*>(this), object);
    if (riid == IID_IAMCameraControl) return GetInterface(static_cast<VYXIAMCameraControl*>(this), object);
    if (riid == g_ModelDescriptor.cameraInstanceIid) return GetInterface(static_cast<ICameraInstance*>(this), object);
    return CSourceStream::NonDelegatingQueryInterface(riid, object);
}

// ISpecifyPropertyPages

STDMETHODIMP CVCameraStream::GetPages(CAUUID* pages) {
    return FillPageList(pages, kPinPages);
}

}  // namespace vyx
