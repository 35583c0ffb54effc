#pragma once
// The status record the service sends to the service control manager, filled for one
// report. Once a stop has been requested the service never reports start pending or
// running again: a report of either is refused and leaves the record as it was, so a
// stop that came early is never undone by the start-up that is still under way. Once
// stopped has been filled, every later report is refused: a stop pending sent after it
// would tell the manager that a service whose process then exits ended unexpectedly.
// Called with the service run's status lock held (ServiceRun.h); the rule itself has no state.

#include <windows.h>

namespace vyx::service {

// False (record unchanged) when the report would take a stopping service back to start
// pending or running, or follows a stopped report. A record starts zeroed.
bool FillStatusRecord(SERVICE_STATUS& status, DWORD currentState, DWORD win32ExitCode, DWORD waitHint,
                      bool stopRequested);

// The exit code a failure ends the service with: the failing call's error, or
// ERROR_INTERNAL_ERROR when it left none, so a failure never reads as the 0 of a stop.
inline DWORD FailureCode(DWORD lastError) { return lastError != ERROR_SUCCESS ? lastError : ERROR_INTERNAL_ERROR; }

}  // namespace vyx::service
