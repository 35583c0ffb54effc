#include "StatusRecord.h"

namespace vyx::service {

bool FillStatusRecord(SERVICE_STATUS& status, DWORD currentState, DWORD win32ExitCode, DWORD waitHint,
                      bool stopRequested)
{
    if (status.dwCurrentState == SERVICE_STOPPED ||
        (stopRequested && (currentState == SERVICE_START_PENDING || currentState == SERVICE_RUNNING))) {
        return false;
    }
    status.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
    status.dwCurrentState = currentState;
    status.dwWin32ExitCode = win32ExitCode;
    status.dwServiceSpecificExitCode = 0;
    status.dwWaitHint = waitHint;
    const bool pending = currentState == SERVICE_START_PENDING || currentState == SERVICE_STOP_PENDING;
    status.dwCheckPoint = pending ? status.dwCheckPoint + 1 : 0;
    const bool stopping = currentState == SERVICE_STOPPED || currentState == SERVICE_STOP_PENDING;
    status.dwControlsAccepted = stopping ? 0 : SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_SHUTDOWN;
    return true;
}

}  // namespace vyx::service
