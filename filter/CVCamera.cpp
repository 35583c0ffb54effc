#include "CVCamera.h"

#include <new>

#include "CVCameraStream.h"
#include "ModelDescriptor.h"
#include "PageList.h"
#include "Trace.h"

namespace vyx {
namespace {
// The filter every creation request of this process is handed. Creation requests are
// not serialised: applications create capture filters from one thread at a time.
CVCamera* g_instance = nullptr;

// Filter pages as applications list them (class-factory order differs).
constexpr int kFilterPages[] = {kPageCameraControl, kPageAutoControl, kPageST4Test, kPageTemperature,
                                kPageColor,         kPageOthers,      kPageAbout};
}  // namespace

CUnknown* WINAPI CVCamera::CreateInstance(LPUNKNOWN outer, HRESULT* result) {
    char caller[128] = {};
    GetModuleFileNameA(nullptr, caller, sizeof caller - 1);
    VYX_TRACE("CVCamera::CreateInstance", "CVCamera::CVCamera caller:%s\n", caller);
    if (g_instance) return g_instance;
    // Recorded even when construction failed: the class factory deletes it, which clears it.
    g_instance = new (std::nothrow) CVCamera(outer, result);
    if (!g_instance && result) *result = E_OUTOFMEMORY;
    return g_instance;
}

CVCamera::CVCamera(LPUNKNOWN outer, HRESULT* result)
    : CSource(nullptr, outer, g_ModelDescriptor.filterClsid) {
    CAutoLock lock(&m_cStateLock);
    m_stream = new (std::nothrow) CVCameraStream(result, this, L"Video");
    if (!m_stream && result) *result = E_OUTOFMEMORY;
}

CVCamera::~CVCamera() {
    {
        CAutoLock lock(&m_cStateLock);
        // Deleting the pin saves the settings and closes the camera.
        delete m_stream;
        m_stream = nullptr;
        g_instance = nullptr;
    }
}

STDMETHODIMP CVCamera::NonDelegatingQueryInterface(REFIID riid, void** object) {
    if (!object) return E_POINTER;
    if (riid == IID_IAMStreamConfig || riid == IID_IKsPropertySet || riid == IID_IAMDroppedFrames ||
        riid == IID_IAMVideoProcAmp || riid == IID_IAMVideoControl || riid == IID_IAMCameraControl ||
        riid == g_ModelDescriptor.cameraInstanceIid) {
        if (!m_stream) {
            *object = nullptr;
            return E_NOINTERFACE;
        }
        return m_stream->QueryInterface(riid, object);
    }
    if (riid == IID_ISpecifyPropertyPages) return GetInterface(static_cast<ISpecifyPropertyPages*>(this), object);
    return CSource::NonDelegatingQueryInterface(riid, object);
}

STDMETHODIMP CVCamera::GetPages(CAUUID* pages) {
    return FillPageList(pages, kFilterPages);
}

}  // namespace vyx
