#include "ScmServiceControl.h"

namespace vyx::setup {

DWORD ScmServiceControl::Open(const wchar_t* name)
{
    m_manager.Reset(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
    if (!m_manager) {
        return ::GetLastError();
    }
    m_service.Reset(
        ::OpenServiceW(m_manager.Get(), name, SERVICE_QUERY_STATUS | SERVICE_STOP | SERVICE_CHANGE_CONFIG));
    return m_service ? ERROR_SUCCESS : ::GetLastError();
}

DWORD ScmServiceControl::Query(ServiceSnapshot& snapshot)
{
    SERVICE_STATUS_PROCESS status = {};
    DWORD needed = 0;
    if (!::QueryServiceStatusEx(m_service.Get(), SC_STATUS_PROCESS_INFO, reinterpret_cast<BYTE*>(&status),
                                sizeof(status), &needed)) {
        return ::GetLastError();
    }
    snapshot = {status.dwCurrentState, status.dwProcessId};
    return ERROR_SUCCESS;
}

DWORD ScmServiceControl::SendStop()
{
    SERVICE_STATUS ignored = {};
    return ::ControlService(m_service.Get(), SERVICE_CONTROL_STOP, &ignored) ? ERROR_SUCCESS : ::GetLastError();
}

DWORD ScmServiceControl::TouchConfiguration()
{
    return ::ChangeServiceConfigW(m_service.Get(), SERVICE_NO_CHANGE, SERVICE_NO_CHANGE, SERVICE_NO_CHANGE, nullptr,
                                  nullptr, nullptr, nullptr, nullptr, nullptr, nullptr)
               ? ERROR_SUCCESS
               : ::GetLastError();
}

DWORD ScmServiceControl::WatchProcess(DWORD processId)
{
    m_process.Reset(::OpenProcess(SYNCHRONIZE, FALSE, processId));
    return m_process ? ERROR_SUCCESS : ::GetLastError();
}

DWORD ScmServiceControl::WaitForProcess(DWORD timeoutMs)
{
    switch (::WaitForSingleObject(m_process.Get(), timeoutMs)) {
    case WAIT_OBJECT_0:
        return ERROR_SUCCESS;
    case WAIT_TIMEOUT:
        return ERROR_TIMEOUT;
    default:
        return ::GetLastError();
    }
}

}  // namespace vyx::setup
