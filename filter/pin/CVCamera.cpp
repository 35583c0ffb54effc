#include "CVCamera.h"

#include <mutex>
#include <new>

#include "CVCameraStream.h"
#include "ModelDescriptor.h"
#include "PageList.h"
#include "Trace.h"

namespace vyx {
namespace {
// The filter every creation request of this process is handed. g_instanceLock guards
// g_instance and makes the last release's count reaching zero and the unpublishing one
// step, so a creation never hands out a filter that is being destroyed.
std::mutex g_instanceLock;
CVCamera* g_instance = nullptr;
// The reference CreateInstance took for its own caller: the class factory's AddRef that
// follows on the same thread stands for it. Per thread, so no other thread's AddRef can
// use it up and leave the caller's reference uncounted.
thread_local const CVCamera* t_referenceTakenAhead = nullptr;

void Unpublish(const CVCamera* filter) {
    if (g_instance == filter) g_instance = nullptr;
}

// Filter pages as applications list them (class-factory order differs).
constexpr int kFilterPages[] = {kPageCameraControl, kPageAutoControl, kPageST4Test, kPageTemperature,
                                kPageColor,         kPageOthers,      kPageAbout};
}  // namespace

CUnknown* WINAPI CVCamera::CreateInstance(LPUNKNOWN outer, HRESULT* result) {
    char caller[128] = {};
    GetModuleFileNameA(nullptr, caller, sizeof caller - 1);
    VYX_TRACE("CVCamera::CreateInstance", "CVCamera::CVCamera caller:%s\n", caller);
    // Held while a new filter connects to the camera, so two first creations make one filter.
    std::lock_guard<std::mutex> lock(g_instanceLock);
    if (g_instance) {
        // The caller's AddRef, taken now: once the lock is left, another thread's last
        // release could otherwise destroy the filter before the caller counts it.
        InterlockedIncrement(&g_instance->m_cRef);
        t_referenceTakenAhead = g_instance;
        return g_instance;
    }
    auto* filter = new (std::nothrow) CVCamera(outer, result);
    if (!filter) {
        if (result) *result = E_OUTOFMEMORY;
        return nullptr;
    }
    // A filter whose construction failed is deleted by its creator: never handed to another.
    if (result && FAILED(*result)) return filter;
    // Counted for its creator before another thread can find it: a creation there followed
    // by that thread's last release would otherwise destroy it under the creator.
    InterlockedIncrement(&filter->m_cRef);
    t_referenceTakenAhead = filter;
    g_instance = filter;
    return filter;
}

STDMETHODIMP_(ULONG) CVCamera::NonDelegatingAddRef() {
    if (t_referenceTakenAhead == this) {
        t_referenceTakenAhead = nullptr;
        return static_cast<ULONG>(m_cRef);
    }
    return CSource::NonDelegatingAddRef();
}

STDMETHODIMP_(ULONG) CVCamera::NonDelegatingRelease() {
    {
        std::lock_guard<std::mutex> lock(g_instanceLock);
        const LONG count = InterlockedDecrement(&m_cRef);
        if (count != 0) return static_cast<ULONG>(count);
        // Unpublished before the stop and the destruction, which may take a while.
        Unpublish(this);
        m_cRef = 1;
    }
    // The base class's last release with the count it expects: it stops and deletes.
    return CSource::NonDelegatingRelease();
}

CVCamera::CVCamera(LPUNKNOWN outer, HRESULT* result)
    : CSource(nullptr, outer, g_ModelDescriptor.filterClsid) {
    CAutoLock lock(&m_cStateLock);
    // Nothing thrown while the pin is built leaves the class factory: the creation fails.
    try {
        m_stream = new CVCameraStream(result, this, L"Video");
    } catch (const std::bad_alloc&) {
        if (result) *result = E_OUTOFMEMORY;
    }
}

CVCamera::~CVCamera() {
    {
        CAutoLock lock(&m_cStateLock);
        // Deleting the pin saves the settings and closes the camera.
        delete m_stream;
        m_stream = nullptr;
    }
    // Deleted without a last release (a caller giving up on a new filter): unpublished here.
    std::lock_guard<std::mutex> lock(g_instanceLock);
    Unpublish(this);
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

// IMediaFilter

STDMETHODIMP CVCamera::GetState(DWORD milliseconds, FILTER_STATE* state) {
    const HRESULT hr = CSource::GetState(milliseconds, state);
    // Like every capture source: paused, it cannot deliver the data a renderer would cue.
    const bool connected = m_stream && m_stream->IsConnected();
    return hr == S_OK && *state == State_Paused && connected ? VFW_S_CANT_CUE : hr;
}

STDMETHODIMP CVCamera::Pause() {
    CAutoLock change(&m_StateChangeLock);
    bool wasRunning = false;
    bool wasStopped = false;
    {
        CAutoLock lock(&m_cStateLock);
        wasRunning = m_State == State_Running;
        wasStopped = m_State == State_Stopped;
    }
    if (wasStopped && m_stream) {
        // Before the pin activates, so no configuration change slips in ahead of the
        // stream's start; under the state lock, which a change holds with its reconnection.
        CAutoLock lock(&m_cStateLock);
        const HRESULT activated = m_stream->Activate();
        if (FAILED(activated)) return activated;
    }
    const HRESULT hr = CSource::Pause();
    if (FAILED(hr) && wasStopped && m_stream) m_stream->Deactivate();
    if (SUCCEEDED(hr) && wasRunning && m_stream && m_stream->IsConnected()) m_stream->PauseDelivery();
    return hr;
}

STDMETHODIMP CVCamera::Stop() {
    CAutoLock change(&m_StateChangeLock);
    const HRESULT hr = CSource::Stop();
    // After the pin's streaming thread has ended and saved the settings with the camera.
    if (m_stream) m_stream->Deactivate();
    return hr;
}

STDMETHODIMP CVCamera::GetPages(CAUUID* pages) {
    return FillPageList(pages, kFilterPages);
}

}  // namespace vyx
