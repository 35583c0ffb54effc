#pragma once
// Counting, for every row of the model table, the present device instances of the model.
// Called by one pass at a time.

#include "CameraModelTable.h"

namespace vyx::service {

// Counts the present device instances of every row under the USB enumerator, the only one
// whose instance IDs ("USB\VID_...") can match a row. An enumerator without devices means
// nothing is connected. False (with an event 1400) when the enumeration itself failed;
// the counts are then meaningless.
bool EnumerateConnectedCameras(ConnectedCounts& counts);

}  // namespace vyx::service
