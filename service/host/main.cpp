// VYXCamService.exe: a windowed program without a window; all feedback goes to the event
// log (and, when switched on, its live tap) and the exit code.
#include "EventTap.h"
#include "ServiceCommand.h"
#include "ServiceEvents.h"
#include "ServiceTimings.h"

#include <windows.h>

#include <optional>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR commandLine, int)
{
#ifdef VYX_SERVICE_TEST_BUILD
    vyx::service::LoadTimingsBesideExecutable();
#endif
    std::optional<vyx::service::EventTap> tap;
    if (vyx::service::IsEventTapEnabled()) {
        tap.emplace();
        vyx::service::SetServiceEventSink(vyx::service::EventTap::Sink, &*tap);
    }
    const int exitCode = vyx::service::RunServiceCommand(commandLine);
    // No line may reach the tap once it starts flushing what is queued.
    vyx::service::SetServiceEventSink(nullptr, nullptr);
    return exitCode;
}
