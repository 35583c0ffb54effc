#include "ServiceHost.h"

#include "ServiceEvents.h"
#include "ServiceRun.h"

namespace vyx::service {

namespace {

// The dispatcher calls the service's main function without a context: this is how it finds
// the run, set only while the dispatcher runs.
ServiceRun* g_dispatchedRun = nullptr;

void WINAPI ServiceMain(DWORD, wchar_t**)
{
    g_dispatchedRun->Run();
}

}  // namespace

DWORD RunServiceDispatcher()
{
    // Owned here, on the dispatcher's thread, which also runs the control handler: the run
    // outlives every control.
    ServiceRun run;
    g_dispatchedRun = &run;
    SERVICE_TABLE_ENTRYW table[] = {{const_cast<wchar_t*>(kServiceName), ServiceMain}, {nullptr, nullptr}};
    const DWORD error = ::StartServiceCtrlDispatcherW(table) ? ERROR_SUCCESS : ::GetLastError();
    g_dispatchedRun = nullptr;
    if (error != ERROR_SUCCESS) {
        LogApiFailure(L"StartServiceCtrlDispatcherW", error, kEventApiFailure);
    }
    return error;
}

}  // namespace vyx::service
