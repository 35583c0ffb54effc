#pragma once
// Counting, for every row of the model table, the present device instances of the model.
// Called by one pass at a time.

#include "CameraModelTable.h"

namespace vyx::service {

// Counts the present device instances of every row over SetupDi. False (with an event
// 1400) when the enumeration itself failed; the counts are then meaningless.
bool EnumerateConnectedCameras(ConnectedCounts& counts);

}  // namespace vyx::service
