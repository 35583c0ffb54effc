#include "ServiceStop.h"

namespace vyx::setup {

StopResult StopServiceAndProcess(ServiceControl& service, DWORD stopTimeoutMs, DWORD exitTimeoutMs, DWORD pollMs)
{
    // A service marked for deletion cannot be updated by the new files' installation:
    // said before anything is stopped or replaced.
    DWORD error = service.TouchConfiguration();
    if (error != ERROR_SUCCESS) {
        return {error, false};
    }
    ServiceSnapshot snapshot;
    error = service.Query(snapshot);
    if (error != ERROR_SUCCESS || snapshot.state == SERVICE_STOPPED) {
        return {error, false};
    }
    // Opened before the stop is sent, so its identifier cannot meanwhile name another process.
    const bool watched = snapshot.processId != 0 && service.WatchProcess(snapshot.processId) == ERROR_SUCCESS;
    const ULONGLONG deadline = service.Now() + stopTimeoutMs;
    bool stopTaken = false;
    while (snapshot.state != SERVICE_STOPPED) {
        if (!stopTaken && snapshot.state != SERVICE_STOP_PENDING) {
            error = service.SendStop();
            const bool stillStarting =
                error == ERROR_SERVICE_CANNOT_ACCEPT_CTRL && snapshot.state == SERVICE_START_PENDING;
            if (error == ERROR_SUCCESS || error == ERROR_SERVICE_NOT_ACTIVE) {
                stopTaken = true;
            } else if (!stillStarting) {
                return {error, true};
            }
        }
        if (service.Now() >= deadline) {
            return {ERROR_TIMEOUT, true};
        }
        service.Pause(pollMs);
        error = service.Query(snapshot);
        if (error != ERROR_SUCCESS) {
            return {error, true};
        }
    }
    return {watched ? service.WaitForProcess(exitTimeoutMs) : ERROR_SUCCESS, true};
}

}  // namespace vyx::setup
