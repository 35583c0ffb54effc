#include "CameraInstanceAdapter.h"

#include "CVCameraStream.h"
#include "CoreResults.h"

namespace vyx {

STDMETHODIMP CameraInstanceAdapter::GetCamera(VyxonCamera** camera) {
    if (!camera) return E_POINTER;
    *camera = m_pin.m_core.Camera();
    return S_OK;
}

STDMETHODIMP CameraInstanceAdapter::SetCamera(VyxonCamera* camera) {
    return m_pin.Reconfigure([&] { return ConfigurationResult(m_pin.m_core.ReplaceCamera(camera)); },
                             CVCameraStream::Follow::Nothing);
}

STDMETHODIMP CameraInstanceAdapter::GetImgSizeIndex(int* index) {
    if (!index) return E_POINTER;
    *index = m_pin.m_core.Configuration().resolutionIndex;
    return S_OK;
}

STDMETHODIMP CameraInstanceAdapter::SetImgSizeIndex(int index) {
    return m_pin.Reconfigure([&] { return ConfigurationResult(m_pin.m_core.SelectResolution(index)); },
                             CVCameraStream::Follow::ConfiguredType);
}

STDMETHODIMP CameraInstanceAdapter::SetImgFormat(ImageFormat format) {
    return m_pin.Reconfigure([&] { return ConfigurationResult(m_pin.m_core.SelectImageFormat(format)); },
                             CVCameraStream::Follow::ConfiguredType);
}

STDMETHODIMP CameraInstanceAdapter::SetBin(int bin) {
    return m_pin.Reconfigure([&] { return ConfigurationResult(m_pin.m_core.SelectBin(bin)); },
                             CVCameraStream::Follow::ConfiguredType);
}

}  // namespace vyx
