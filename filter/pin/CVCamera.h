#pragma once
// The capture filter: a source filter with exactly one output pin, CVCameraStream, shared
// by every creation request of the process.
//
// Threads: creation and the last release come from any application thread and are
// serialised with each other by the process instance's lock; the pin is created and
// deleted under the filter's state lock (the framework's m_cStateLock).
// Interface calls arrive on application threads, graph threads and the pin's streaming
// thread; the filter forwards the camera interfaces to its pin and adds no lock.
#include <windows.h>
#include <ocidl.h>

#include "streams.h"

namespace vyx {

class CVCameraStream;

class CVCamera : public CSource, public ISpecifyPropertyPages {
public:
    // The class factory's creation function: the filter of the process, built on first use.
    static CUnknown* WINAPI CreateInstance(LPUNKNOWN outer, HRESULT* result);
    ~CVCamera() override;

    DECLARE_IUNKNOWN
    STDMETHODIMP NonDelegatingQueryInterface(REFIID riid, void** object) override;
    // The last release unpublishes the filter before it stops and destroys it. A creation
    // request that hands out the existing filter takes its caller's reference ahead, which
    // the class factory's AddRef on the same thread then stands for.
    STDMETHODIMP_(ULONG) NonDelegatingAddRef() override;
    STDMETHODIMP_(ULONG) NonDelegatingRelease() override;

    // IMediaFilter: a live source. Paused with its pin connected it answers VFW_S_CANT_CUE
    // (with nothing connected there is nothing to cue: S_OK), and a pause from running ends
    // delivery until the next Run. Leaving and reaching Stopped activate and deactivate the
    // pin's capture core, which refuses configuration changes in between; a pause that
    // comes while a configuration change reconnects the pin on the same thread is refused
    // with VFW_E_WRONG_STATE, and one from another thread waits for the change.
    STDMETHODIMP GetState(DWORD milliseconds, FILTER_STATE* state) override;
    STDMETHODIMP Pause() override;
    STDMETHODIMP Stop() override;

    // ISpecifyPropertyPages
    STDMETHODIMP GetPages(CAUUID* pages) override;

    CVCameraStream* Stream() const { return m_stream; }

private:
    CVCamera(LPUNKNOWN outer, HRESULT* result);

    CVCameraStream* m_stream = nullptr;  // owned; also slot 0 of the framework's pin array
};

}  // namespace vyx
