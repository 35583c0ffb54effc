// One step of the camera's automatic regulation after each frame: exposure and gain
// move the frame's mean brightness towards the target within their limits, white
// balance makes the background grey. Steps are damped so the loop settles.
#pragma once

#include "CameraSettings.h"
#include "SensorReadout.h"

namespace vyx::sim {

// Returns true when it changed a setting.
bool StepAutoControls(const ModelTraits& traits, const FrameStats& stats, CameraSettings* settings);

}  // namespace vyx::sim
