#pragma once
// Running as the service under the service control manager's dispatcher.

#include <windows.h>

namespace vyx::service {

// Runs the dispatcher with the service's one ServiceRun until the service has stopped: 0,
// or the dispatcher's error (logged as event 1400), for instance outside the manager.
DWORD RunServiceDispatcher();

}  // namespace vyx::service
