#pragma once
// The status record the service sends to the service control manager, filled for one
// report. Once a stop has been requested the service never reports start pending or
// running again: a report of either is refused and leaves the record as it was, so a
// stop that came early is never undone by the start-up that is still under way. Once
// stopped has been filled, every later report is refused: a stop pending sent after it
// would tell the manager that a service whose process then exits ended unexpectedly.
// Called with the service's statusLock held (ServiceState.h); the rule itself has no state.

#include <windows.h>

namespace vyx::service {

// False (record unchanged) when the report would take a stopping service back to start
// pending or running, or follows a stopped report. A record starts zeroed.
bool FillStatusRecord(SERVICE_STATUS& status, DWORD currentState, DWORD win32ExitCode, DWORD waitHint,
                      bool stopRequested);

}  // namespace vyx::service
