#pragma once
// The service manager's answers about one service and its process, as the setup needs them
// to stop the service before replacing its files. The setup's helper passes the real one
// (ScmServiceControl); tests pass one that answers as Windows does where Wine does not:
// Wine removes a deleted service at once, and its services never report STOPPED before
// their process has ended.

#include <windows.h>

namespace vyx::setup {

struct ServiceSnapshot {
    DWORD state = SERVICE_STOPPED;
    DWORD processId = 0;
};

class ServiceControl {
public:
    virtual ~ServiceControl() = default;
    // QueryServiceStatusEx: 0, or its error.
    virtual DWORD Query(ServiceSnapshot& snapshot) = 0;
    // ControlService with SERVICE_CONTROL_STOP: 0, or its error.
    virtual DWORD SendStop() = 0;
    // A configuration change that changes nothing: ERROR_SERVICE_MARKED_FOR_DELETE (1072)
    // for a service deleted while something still holds it open.
    virtual DWORD TouchConfiguration() = 0;
    // Keeps the process for WaitForProcess: 0, or the error of opening it.
    virtual DWORD WatchProcess(DWORD processId) = 0;
    // 0 once the watched process has ended, ERROR_TIMEOUT, or the wait's error.
    virtual DWORD WaitForProcess(DWORD timeoutMs) = 0;
    // Between two looks at the status.
    virtual void Pause(DWORD ms) = 0;
    virtual ULONGLONG Now() = 0;
};

}  // namespace vyx::setup
