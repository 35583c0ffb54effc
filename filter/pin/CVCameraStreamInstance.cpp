// ICameraInstance: the pages' access to the camera, and the setters that change frame
// size, image format and bin together with the pin's record of them and, on a connected
// pin, with the connection's media type.
#include <dshow.h>

#include "CVCameraStream.h"
#include "ModelDescriptor.h"
#include "OutputFormats.h"

namespace vyx {
namespace {
struct FormatRecord {
    std::int32_t outputFormatIndex;
    const GUID* subtype;
};

// Output format recorded for each image format; 8-bit raw and 8-bit mono share RGB8.
const FormatRecord* RecordFor(ImageFormat format) {
    static const FormatRecord kRecords[] = {
        {kOutputRGB8, &MEDIASUBTYPE_RGB8}, {kOutputY16, &kSubtypeY16},   {kOutputRGB24, &MEDIASUBTYPE_RGB24},
        {kOutputRGB8, &MEDIASUBTYPE_RGB8}, {kOutputYUY2, &MEDIASUBTYPE_YUY2},
    };
    if (format < IMG_RAW8 || format > IMG_YUY2) return nullptr;
    return &kRecords[format];
}

bool ListsBin(const CameraProp& prop, int bin) {
    for (std::int32_t listed : prop.supportedBins) {
        if (listed == 0) break;
        if (listed == bin) return true;
    }
    return false;
}
}  // namespace

STDMETHODIMP CVCameraStream::GetCamera(VyxonCamera** camera) {
    if (!camera) return E_POINTER;
    CAutoLock lock(&m_instanceLock);
    *camera = m_state.camera;
    return S_OK;
}

// The pin owns the camera it is given; the one it replaces is closed and freed. A
// connected pin sets the new camera to the connection's geometry when it next streams.
STDMETHODIMP CVCameraStream::SetCamera(VyxonCamera* camera) {
    CAutoLock lock(&m_instanceLock);
    return m_session.Configure([&] {
        m_camera.Reset(camera);
        m_state.camera = m_camera.Get();
        return S_OK;
    });
}

STDMETHODIMP CVCameraStream::GetImgSizeIndex(int* index) {
    if (!index) return E_POINTER;
    CAutoLock lock(&m_instanceLock);
    *index = m_state.resolutionIndex;
    return S_OK;
}

STDMETHODIMP CVCameraStream::SetImgSizeIndex(int index) {
    const HRESULT hr = SetImgSizeIndexLocked(index);
    return hr == S_OK ? FollowCameraConfiguration() : hr;
}

HRESULT CVCameraStream::SetImgSizeIndexLocked(int index) {
    CAutoLock lock(&m_instanceLock);
    return m_session.Configure([&]() -> HRESULT {
        // Compared unsigned, so a negative index is out of range too.
        if (static_cast<unsigned>(index) > static_cast<unsigned>(g_ModelDescriptor.resolutionCount - 1)) return E_INVALIDARG;
        if (!m_state.camera) return E_FAIL;
        const Resolution size = FrameSizeAtBin(g_ModelDescriptor.resolutions[index], m_state.bin);
        if (!m_state.camera->SetImgSize(size.width, size.height)) return E_FAIL;
        m_state.resolutionIndex = index;
        m_state.width = size.width;
        m_state.height = size.height;
        m_state.configurationChanged = true;
        return S_OK;
    });
}

STDMETHODIMP CVCameraStream::SetImgFormat(ImageFormat format) {
    const HRESULT hr = SetImgFormatLocked(format);
    return hr == S_OK ? FollowCameraConfiguration() : hr;
}

HRESULT CVCameraStream::SetImgFormatLocked(ImageFormat format) {
    CAutoLock lock(&m_instanceLock);
    return m_session.Configure([&]() -> HRESULT {
        if (!m_state.camera || !m_state.camera->SetImgFormat(format)) return E_FAIL;
        m_state.configurationChanged = true;
        m_state.formatLocked = true;
        m_state.imageFormat = format;
        if (const FormatRecord* record = RecordFor(format)) {
            m_state.outputFormatIndex = record->outputFormatIndex;
            m_state.subtype = *record->subtype;
        }
        return S_OK;
    });
}

STDMETHODIMP CVCameraStream::SetBin(int bin) {
    const HRESULT hr = SetBinLocked(bin);
    return hr == S_OK ? FollowCameraConfiguration() : hr;
}

HRESULT CVCameraStream::SetBinLocked(int bin) {
    CAutoLock lock(&m_instanceLock);
    return m_session.Configure([&]() -> HRESULT {
        if (bin <= 0 || !ListsBin(m_prop, bin)) return E_INVALIDARG;
        if (!m_state.camera) return E_FAIL;
        const std::int32_t index = m_state.resolutionIndex;
        const Resolution entry = index >= 0 && index < g_ModelDescriptor.resolutionCount
                                     ? g_ModelDescriptor.resolutions[index]
                                     : g_ModelDescriptor.resolutions[0];
        const Resolution size = FrameSizeAtBin(entry, bin);
        // A bin change the camera accepted stays even when the size is then refused.
        if (!m_state.camera->SetBin(bin) || !m_state.camera->SetImgSize(size.width, size.height)) return E_FAIL;
        m_state.bin = bin;
        m_state.width = size.width;
        m_state.height = size.height;
        m_state.configurationChanged = true;
        return S_OK;
    });
}

}  // namespace vyx
