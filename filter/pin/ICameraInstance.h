#pragma once
// The filter library's own interface between the pin and its property pages. Its
// identifier differs per build (g_ModelDescriptor.cameraInstanceIid), so the pages of one
// model's build never bind to another build's pin.
#include <windows.h>
#include <unknwn.h>

#include "VyxonCamera.h"

struct ICameraInstance : public IUnknown {
    // The pin's open camera; not reference-counted, callable while the caller holds this
    // interface. After a SetCamera it is closed (its calls fail) but not yet freed.
    virtual HRESULT STDMETHODCALLTYPE GetCamera(VyxonCamera** camera) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetCamera(VyxonCamera* camera) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetImgSizeIndex(int* index) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetImgSizeIndex(int index) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetImgFormat(ImageFormat format) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetBin(int bin) = 0;
};
