#include "VirtualCameraAction.h"

#include "FilterDllPath.h"
#include "ServiceChild.h"
#include "ServiceEvents.h"
#include "TrustedFiles.h"
#include "VirtualCameraCommand.h"

namespace vyx::service {

namespace {

VirtualCameraOutcome ReportUnavailable(const CameraModel& model, const wchar_t* reason)
{
    WriteServiceEvent(EVENTLOG_INFORMATION_TYPE, kEventVirtualCamerasUnavailable,
                      L"virtual cameras unavailable: %ls; Media Foundation applications do not see the cameras, "
                      L"DirectShow applications do. model=%ls",
                      reason, model.displayName);
    return VirtualCameraOutcome::Unavailable;
}

}  // namespace

VirtualCameraOutcome RunVirtualCameraAction(const CameraModel& model, bool add, HANDLE stopEvent)
{
    const wchar_t* action = add ? L"add-virtual-camera" : L"remove-virtual-camera";
    std::wstring helper;
    if (!BuildArchFilePath(vcam::kHelperFileName, FilterArch::X64, helper)) {
        LogApiFailure(L"BuildArchFilePath", ::GetLastError(), kEventActionFailed);
        return VirtualCameraOutcome::Failed;
    }

    // The helper runs as the service: only a file nobody else can change, held until it ends.
    TrustedFiles held(ServiceFileTrust());
    std::wstring refusedPath;
    DWORD error = HoldHelperLayout(held, helper, refusedPath);
    // An installed layout without the 64-bit side (or a test's) has nothing to run.
    if ((error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) && refusedPath == helper) {
        return ReportUnavailable(model, L"no 64-bit helper DX_x64\\VYXVirtualCamera.exe");
    }
    if (error == ERROR_SUCCESS) {
        error = ValidateFilterDll(held.Held(helper), FilterArch::X64);
        refusedPath = helper;
    }
    if (error != ERROR_SUCCESS) {
        WriteServiceEvent(EVENTLOG_ERROR_TYPE, kEventActionFailed,
                          L"action=%ls model=%ls helper refused. path=%ls error=%lu reason=%ls", action,
                          model.displayName, refusedPath.c_str(), static_cast<unsigned long>(error),
                          held.Reason().c_str());
        return VirtualCameraOutcome::Failed;
    }

    const std::wstring commandLine = L"\"" + helper + L"\" " + (add ? L"add " : L"remove ") + model.mediaSourceClsid +
                                     L" \"" + model.friendlyName + L"\"";
    DWORD exitCode = 0;
    error = RunServiceChild(helper, commandLine, vcam::kHelperFileName, helper, stopEvent, exitCode);
    if (error == ERROR_SUCCESS && exitCode == ERROR_PROC_NOT_FOUND) {
        return ReportUnavailable(model, L"this Windows has no MFCreateVirtualCamera (Windows 11 needed)");
    }
    if (error != ERROR_SUCCESS || exitCode != ERROR_SUCCESS) {
        WriteServiceEvent(EVENTLOG_WARNING_TYPE, kEventActionFailed,
                          L"action=%ls model=%ls failed. error=%lu exitCode=0x%08lX", action, model.displayName,
                          static_cast<unsigned long>(error), static_cast<unsigned long>(exitCode));
        return VirtualCameraOutcome::Failed;
    }
    WriteServiceEvent(EVENTLOG_INFORMATION_TYPE, kEventActionSucceeded, L"action=%ls model=%ls name=\"%ls\" source=%ls",
                      action, model.displayName, model.friendlyName, model.mediaSourceClsid);
    return VirtualCameraOutcome::Done;
}

}  // namespace vyx::service
