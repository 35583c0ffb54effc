// A count of changes to the simulated bus (a switch set, a device plugged or unplugged),
// kept in memory that every process of the session shares. Whoever changes the bus counts
// the change after making it; a reader compares the count with the one it saw last and
// reads the registry again only when it moved. Under Wine every registry query and every
// look at an event is a round trip to the Wine server, which a loaded machine stretches to
// a millisecond; a read of shared memory costs nothing of the kind.
#pragma once

#include <windows.h>

namespace vyx::sim::bus {

// False when the shared count cannot be mapped: the caller must read the registry itself.
bool ReadChangeCount(LONG* count);
void CountChange();

}  // namespace vyx::sim::bus
