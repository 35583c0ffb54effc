#pragma once
// The command line of vyxcap: one command word, a device and the command's own arguments.
#include <optional>
#include <string>
#include <vector>

namespace vyx::vyxcap {

enum class CommandKind { Help, List, Caps, Controls, Set, Capture, Props };
// DirectShow, or Media Foundation through the Vyxon cameras' media sources (list, caps, capture).
enum class Api { DirectShow, MediaFoundation };

struct CaptureOptions {
    std::wstring format;  // subtype name; empty: any
    int width = 0;        // 0: any size
    int height = 0;
    double fps = 0;       // 0: the format's own frame interval
    int frames = 30;
    std::wstring pngPath;
    std::wstring serPath;  // a recording: at most one of serPath and aviPath
    std::wstring aviPath;
    std::wstring rawPath;  // the sample grabber's frames as they came, for checking a recording
    bool json = false;
};

struct Command {
    CommandKind kind = CommandKind::Help;
    Api api = Api::DirectShow;
    std::wstring device;
    // set
    std::wstring property;
    long value = 0;
    std::optional<bool> autoMode;  // absent: manual
    // capture
    CaptureOptions capture;
    // props: the capture pin's pages instead of the filter's
    bool pin = false;
};

// Throws ToolError with kExitUsage on anything it cannot take; args exclude the program.
Command ParseCommandLine(const std::vector<std::wstring>& args);

const char* UsageText();

}  // namespace vyx::vyxcap
