#pragma once
// Stopping the installed service before its files are replaced. A service may report
// STOPPED while its process is still ending, and its executable cannot be replaced until
// that process has gone: the stop waits for the process too. A service still in its
// start-up refuses a stop (ERROR_SERVICE_CANNOT_ACCEPT_CTRL): it is asked again at each
// look until it takes it. One thread.

#include "ServiceControl.h"

namespace vyx::setup {

inline constexpr DWORD kServiceStopTimeoutMs = 60000;
inline constexpr DWORD kProcessExitTimeoutMs = 30000;
inline constexpr DWORD kServicePollMs = 250;

struct StopResult {
    DWORD error = ERROR_SUCCESS;  // ERROR_SERVICE_MARKED_FOR_DELETE, ERROR_TIMEOUT, or a call's error
    bool wasRunning = false;      // it was running or starting when the stop began
};

StopResult StopServiceAndProcess(ServiceControl& service, DWORD stopTimeoutMs = kServiceStopTimeoutMs,
                                 DWORD exitTimeoutMs = kProcessExitTimeoutMs, DWORD pollMs = kServicePollMs);

}  // namespace vyx::setup
