#pragma once
// One service as the service control manager answers for it. One thread.

#include "ServiceControl.h"
#include "UniqueResource.h"

namespace vyx::setup {

class ScmServiceControl : public ServiceControl {
public:
    // 0 and the service; ERROR_SERVICE_DOES_NOT_EXIST (1060) when there is none; or the error.
    DWORD Open(const wchar_t* name);

    DWORD Query(ServiceSnapshot& snapshot) override;
    DWORD SendStop() override;
    DWORD TouchConfiguration() override;
    DWORD WatchProcess(DWORD processId) override;
    DWORD WaitForProcess(DWORD timeoutMs) override;
    void Pause(DWORD ms) override { ::Sleep(ms); }
    ULONGLONG Now() override { return ::GetTickCount64(); }

private:
    win::UniqueScHandle m_manager;
    win::UniqueScHandle m_service;
    win::UniqueHandle m_process;
};

}  // namespace vyx::setup
