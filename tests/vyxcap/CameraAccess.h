#pragma once
// The simulated camera behind a filter, reached the way the property pages reach it
// (the build's ICameraInstance), so tests can compare what the graph delivered with what
// the camera itself reports.
#include <windows.h>
#include <dshow.h>

#include "ICameraInstance.h"
#include "vyx_catalogue.h"

namespace vyx::vyxcap::test {

// Null when the filter's pin does not answer the model's ICameraInstance identifier.
VyxonCamera* CameraOf(IBaseFilter* filter, const vyx::catalogue::ModelRow& model);

// 10 x the larger of the camera's frame time and exposure, in 100 ns units: the duration
// every sample of a run must carry.
REFERENCE_TIME ExpectedSampleDuration(VyxonCamera* camera);

}  // namespace vyx::vyxcap::test
