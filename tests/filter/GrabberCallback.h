#pragma once
// The COM plumbing of a sample-grabber callback that a test keeps on its stack: no reference
// counting, no BufferCB; the derived class writes SampleCB.
#include <windows.h>

#include "SampleGrabber.h"

namespace vyx::test {

class GrabberCallback : public ISampleGrabberCB {
public:
    STDMETHODIMP QueryInterface(REFIID riid, void** object) override {
        if (!object) return E_POINTER;
        if (riid == IID_IUnknown || riid == IID_ISampleGrabberCB) {
            *object = static_cast<ISampleGrabberCB*>(this);
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP BufferCB(double, BYTE*, LONG) override { return E_NOTIMPL; }
};

}  // namespace vyx::test
