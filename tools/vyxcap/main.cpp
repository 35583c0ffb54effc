// vyxcap: lists, inspects, controls and captures from any DirectShow video capture device.
#include <windows.h>

#include <cstdio>
#include <new>
#include <string>
#include <vector>

#include "CommandLine.h"
#include "Commands.h"
#include "MfCapture.h"
#include "PropertyFrame.h"
#include "ComApartment.h"
#include "ToolError.h"

namespace {

int Run(const vyx::vyxcap::Command& command) {
    using vyx::vyxcap::CommandKind;
    if (command.kind == CommandKind::Help) {
        std::fputs(vyx::vyxcap::UsageText(), stdout);
        return 0;
    }
    // The property frame is a dialog and needs a single-threaded apartment of its own.
    if (command.kind == CommandKind::Props) {
        vyx::vyxcap::RunProps(command.device, command.pin);
        return 0;
    }
    // The multithreaded apartment: the sample grabber calls back on the graph's streaming thread.
    const vyx::win::ComApartment apartment;
    vyx::vyxcap::ThrowIfFailed(apartment.Result(), "CoInitializeEx");
    const bool mf = command.api == vyx::vyxcap::Api::MediaFoundation;
    switch (command.kind) {
    case CommandKind::List:
        mf ? vyx::vyxcap::RunMfList() : vyx::vyxcap::RunList();
        break;
    case CommandKind::Caps:
        mf ? vyx::vyxcap::RunMfCaps(command.device) : vyx::vyxcap::RunCaps(command.device);
        break;
    case CommandKind::Controls:
        vyx::vyxcap::RunControls(command.device);
        break;
    case CommandKind::Set:
        vyx::vyxcap::RunSet(command);
        break;
    case CommandKind::Capture:
        mf ? vyx::vyxcap::RunMfCapture(command.device, command.capture)
           : vyx::vyxcap::RunCapture(command.device, command.capture);
        break;
    case CommandKind::Help:
    case CommandKind::Props:
        break;
    }
    return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    try {
        return Run(vyx::vyxcap::ParseCommandLine(std::vector<std::wstring>(argv + 1, argv + argc)));
    } catch (const vyx::vyxcap::ToolError& error) {
        std::fprintf(stderr, "vyxcap: %s\n", error.what());
        return error.ExitCode();
    } catch (const std::bad_alloc&) {
        std::fputs("vyxcap: out of memory\n", stderr);
        return vyx::vyxcap::kExitFailure;
    }
}
