#pragma once
// The capture filter: a source filter with exactly one output pin, CVCameraStream, shared
// by every creation request of the process.
//
// Threads: creation and the last release come from any application thread; the pin is
// created and deleted under the filter's state lock (the framework's m_cStateLock).
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

    // ISpecifyPropertyPages
    STDMETHODIMP GetPages(CAUUID* pages) override;

    CVCameraStream* Stream() const { return m_stream; }

private:
    CVCamera(LPUNKNOWN outer, HRESULT* result);

    CVCameraStream* m_stream = nullptr;  // owned; also slot 0 of the framework's pin array
};

}  // namespace vyx
