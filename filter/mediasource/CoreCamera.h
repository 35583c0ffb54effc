#pragma once
// SourceCamera over the capture core the DirectShow pin uses: the same camera ownership
// and identity, the same settings file rules (loaded when the camera opens, saved when a
// stream ends and when the camera is let go), the same frame reads with their unplug
// detection. This file pair turns the core's answers into Media Foundation's codes.
//
// Threads: as SourceCamera; the core serialises itself (core/CaptureCore.h).
#include "CaptureCore.h"
#include "SourceCamera.h"

namespace vyx::mf {

class CoreCamera final : public SourceCamera {
public:
    explicit CoreCamera(const ModelDescriptor& model) : m_core(model) {}

    // S_OK, or the codes of OpenSourceCamera.
    HRESULT Open();

    const CameraProp& Description() const override { return m_prop; }
    FrameRateRange FrameRates() const override { return m_core.FrameRates(); }
    HRESULT Configure(const CameraMode& mode) override;
    HRESULT Activate() override;
    HRESULT BeginStream() override;
    void Run() override { m_core.Run(); }
    void Pause() override { m_core.Pause(); }
    void Stop() override { m_core.Stop(); }
    void EndStream() override { m_core.EndStream(); }
    void Deactivate() override { m_core.Deactivate(); }
    HRESULT ReadFrame(BYTE* buffer, std::size_t bytes, LONGLONG* duration) override;
    CameraControls& Controls() override { return m_core.Controls(); }

private:
    CaptureCore m_core;
    CameraProp m_prop{};  // read once the camera is open; the source never replaces it
};

}  // namespace vyx::mf
