#include "RegistrationAction.h"

#include "FilterDllPath.h"
#include "RegistrationState.h"
#include "Regsvr32.h"
#include "ServiceEvents.h"
#include "ServiceTimings.h"
#include "System.h"
#include "TrustedFiles.h"

namespace vyx::service {

namespace {

// Registering wants the correct state, unregistering nothing present.
bool IsVerified(const ArchRegistrationState& state, bool registerFilter)
{
    return IsAsWanted(state, registerFilter);
}

// The pause before the next attempt grows by one step each time (shipped: 500 ms after the
// first, 1000 ms after the second). False when the stop event ended the pause.
bool PauseBeforeRetry(int attempt, HANDLE stopEvent)
{
    const DWORD delay = Timings().retryPauseStepMs * static_cast<DWORD>(attempt);
    if (stopEvent == nullptr) {
        ::Sleep(delay);
        return true;
    }
    return ::WaitForSingleObject(stopEvent, delay) == WAIT_TIMEOUT;
}

// An untrusted file names the principal, and for an owner alone the mend; a missing,
// misplaced or unreadable one (access denied opening it) reads like a failed validation.
void ReportRefusedLayout(const CameraModel& model, const wchar_t* archText, const std::wstring& refusedPath,
                         DWORD error, const TrustedFiles& held)
{
    if (!held.Reason().empty()) {
        const std::wstring mend = held.OwnerRefused() ? L" mend=" + OwnerMend(refusedPath) : std::wstring();
        WriteServiceEvent(EVENTLOG_ERROR_TYPE, kEventActionFailed,
                          L"register model=%ls arch=%ls untrusted file refused. path=%ls error=%lu reason=%ls%ls",
                          model.displayName, archText, refusedPath.c_str(), static_cast<unsigned long>(error),
                          held.Reason().c_str(), mend.c_str());
        return;
    }
    WriteServiceEvent(EVENTLOG_ERROR_TYPE, kEventActionFailed,
                      L"register model=%ls arch=%ls DLL validation failed. path=%ls error=%lu", model.displayName,
                      archText, refusedPath.c_str(), static_cast<unsigned long>(error));
}

}  // namespace

bool RunRegistrationAction(const CameraModel& model, FilterArch arch, bool registerFilter, HANDLE stopEvent)
{
    const wchar_t* action = registerFilter ? L"register" : L"unregister";
    const wchar_t* archText = ArchText(arch);

    std::wstring path;
    if (!BuildDllPath(model, arch, path)) {
        LogApiFailure(L"BuildDllPath", ::GetLastError(), kEventActionFailed);
        return false;
    }

    // regsvr32 runs the library as the service: only files that no one else can change,
    // held so until the last attempt's regsvr32 has ended. The PE check reads the held
    // library itself, so the file checked is the file registered.
    TrustedFiles held(ServiceFileTrust());
    std::wstring refusedPath;
    DWORD layout = HoldFilterLayout(held, path, refusedPath);
    if (layout == ERROR_SUCCESS) {
        layout = ValidateFilterDll(held.Held(path), arch);
        refusedPath = path;
    }
    if (layout != ERROR_SUCCESS && registerFilter) {
        ReportRefusedLayout(model, archText, refusedPath, layout, held);
        return false;
    }

    DWORD lastResult = ERROR_SUCCESS;
    DWORD lastExitCode = 0;
    int attempts = 0;  // regsvr32 runs actually made: none when the fallback needs no tool
    // An unregistration never needs a valid or trusted library: without one it deletes the
    // keys itself.
    if (layout == ERROR_SUCCESS) {
        std::wstring regsvr32;
        if (!sys::Regsvr32Path(arch, regsvr32)) {
            LogApiFailure(L"GetRegsvr32Path", ::GetLastError(), kEventActionFailed);
            return false;
        }
        for (int attempt = 1; attempt <= kMaxAttempts; ++attempt) {
            attempts = attempt;
            lastExitCode = 0;
            lastResult = RunRegsvr32(regsvr32, path, !registerFilter, stopEvent, lastExitCode);
            const bool verified = IsVerified(QueryRegistrationState(model, arch, path), registerFilter);
            if (lastResult == ERROR_SUCCESS && verified) {
                WriteServiceEvent(EVENTLOG_INFORMATION_TYPE, kEventActionSucceeded,
                                  L"action=%ls model=%ls arch=%ls path=%ls attempt=%d", action, model.displayName,
                                  archText, path.c_str(), attempt);
                return true;
            }
            const bool timedOut = lastResult == ERROR_TIMEOUT;
            WriteServiceEvent(timedOut ? EVENTLOG_ERROR_TYPE : EVENTLOG_WARNING_TYPE,
                              timedOut ? kEventAttemptTimedOut : kEventActionFailed,
                              L"action=%ls model=%ls arch=%ls attempt=%d error=%lu exitCode=%lu verified=%d", action,
                              model.displayName, archText, attempt, static_cast<unsigned long>(lastResult),
                              static_cast<unsigned long>(lastExitCode), verified ? 1 : 0);
            if (lastResult == ERROR_CANCELLED || attempt == kMaxAttempts) {
                break;
            }
            if (!PauseBeforeRetry(attempt, stopEvent)) {
                break;
            }
        }
    }

    if (registerFilter || lastResult == ERROR_CANCELLED) {
        WriteServiceEvent(EVENTLOG_ERROR_TYPE, kEventActionFailed,
                          L"action=%ls model=%ls arch=%ls failed after %d attempts. error=%lu exitCode=%lu", action,
                          model.displayName, archText, attempts, static_cast<unsigned long>(lastResult),
                          static_cast<unsigned long>(lastExitCode));
        return false;
    }

    const DWORD deletion = DeleteFilterRegistration(model, arch);
    if (deletion != ERROR_SUCCESS || QueryRegistrationState(model, arch, path).present) {
        WriteServiceEvent(EVENTLOG_ERROR_TYPE, kEventActionFailed,
                          L"action=%ls model=%ls arch=%ls failed after %d attempts. error=%lu exitCode=%lu", action,
                          model.displayName, archText, attempts, static_cast<unsigned long>(deletion),
                          static_cast<unsigned long>(lastExitCode));
        return false;
    }
    WriteServiceEvent(EVENTLOG_WARNING_TYPE, kEventActionSucceeded,
                      L"action=unregister-fallback model=%ls arch=%ls path=%ls", model.displayName, archText,
                      path.c_str());
    return true;
}

}  // namespace vyx::service
