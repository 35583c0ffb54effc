#pragma once
// IAMDroppedFrames of the pin: the camera library's dropped-frame count and the samples
// delivered since streaming started. No dropped frame is identified by number.
#include <windows.h>
#include <strmif.h>

#include "InterfaceAdapter.h"

namespace vyx {

class CaptureCore;

class DroppedFramesAdapter : public InterfaceAdapter<IAMDroppedFrames> {
public:
    DroppedFramesAdapter(IUnknown& owner, CaptureCore& core) : InterfaceAdapter(owner), m_core(core) {}

    STDMETHODIMP GetNumDropped(LONG* dropped) override;
    STDMETHODIMP GetNumNotDropped(LONG* notDropped) override;
    STDMETHODIMP GetDroppedInfo(LONG size, LONG* array, LONG* copied) override;
    STDMETHODIMP GetAverageFrameSize(LONG* size) override;

private:
    CaptureCore& m_core;
};

}  // namespace vyx
