#pragma once
// ICameraInstance of the pin, the filter library's own interface for its property pages:
// the camera library object, and the setters that change frame size, image format and bin
// together with the core's record of them and, on a connected pin, with the connection.
//
// Threads: the pages' thread and any application thread. The setters and SetCamera run as
// configuration changes of the pin (CVCameraStream::Reconfigure).
#include <windows.h>

#include "ICameraInstance.h"
#include "InterfaceAdapter.h"

namespace vyx {

class CVCameraStream;

class CameraInstanceAdapter : public InterfaceAdapter<ICameraInstance> {
public:
    CameraInstanceAdapter(IUnknown& owner, CVCameraStream& pin) : InterfaceAdapter(owner), m_pin(pin) {}

    STDMETHODIMP GetCamera(VyxonCamera** camera) override;
    // The pin owns the camera it is given; the one it replaces is closed, and freed with
    // the pin. A connected pin sets the new camera to the connection's format when it next
    // streams.
    STDMETHODIMP SetCamera(VyxonCamera* camera) override;
    STDMETHODIMP GetImgSizeIndex(int* index) override;
    STDMETHODIMP SetImgSizeIndex(int index) override;
    STDMETHODIMP SetImgFormat(ImageFormat format) override;
    STDMETHODIMP SetBin(int bin) override;

private:
    CVCameraStream& m_pin;
};

}  // namespace vyx
