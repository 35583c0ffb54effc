// VYXCamService.exe: a windowed program without a window; all feedback goes to the event
// log (and, when switched on, its live tap) and the exit code.
#include "EventTap.h"
#include "ServiceCommand.h"
#include "ServiceEvents.h"
#include "ServiceTimings.h"

#include <windows.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR commandLine, int)
{
#ifdef VYX_SERVICE_TEST_TIMINGS
    vyx::service::LoadTimingsBesideExecutable();
#endif
    if (vyx::service::IsEventTapEnabled()) {
        vyx::service::SetServiceEventSink(vyx::service::WriteToEventTap, nullptr);
    }
    return vyx::service::RunServiceCommand(commandLine);
}
