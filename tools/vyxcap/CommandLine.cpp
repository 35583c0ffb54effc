#include "CommandLine.h"

#include "Text.h"
#include "ToolError.h"

namespace vyx::vyxcap {
namespace {

constexpr int kMaxFrames = 10000000;

[[noreturn]] void Usage(const std::string& problem) { throw ToolError(problem, kExitUsage); }

void ExpectCount(const std::vector<std::wstring>& args, size_t least, size_t most) {
    if (args.size() < least) Usage(Narrow(args[0]) + ": missing arguments (see vyxcap help)");
    if (args.size() > most) Usage(Narrow(args[0]) + ": unexpected argument \"" + Narrow(args[most]) + "\"");
}

void ParseSize(const std::wstring& text, CaptureOptions& options) {
    const size_t x = text.find_first_of(L"xX");
    const auto width = x == std::wstring::npos ? std::nullopt : ParseLong(text.substr(0, x));
    const auto height = x == std::wstring::npos ? std::nullopt : ParseLong(text.substr(x + 1));
    if (!width || !height || *width <= 0 || *height <= 0 || *width > 65535 || *height > 65535)
        Usage("--size wants WIDTHxHEIGHT with positive numbers, not \"" + Narrow(text) + "\"");
    options.width = static_cast<int>(*width);
    options.height = static_cast<int>(*height);
}

CaptureOptions ParseCaptureOptions(const std::vector<std::wstring>& args, size_t first) {
    CaptureOptions options;
    for (size_t i = first; i < args.size(); ++i) {
        const std::wstring& option = args[i];
        if (option == L"--json") {
            options.json = true;
            continue;
        }
        if (option != L"--format" && option != L"--size" && option != L"--fps" &&
            option != L"--frames" && option != L"--out" && option != L"--avi" && option != L"--ser" &&
            option != L"--raw")
            Usage("capture: unknown option \"" + Narrow(option) + "\"");
        if (i + 1 >= args.size()) Usage("capture: " + Narrow(option) + " needs a value");
        const std::wstring& value = args[++i];
        if (option == L"--format") {
            if (value.empty()) Usage("capture: --format needs a subtype name");
            options.format = value;
        } else if (option == L"--size") {
            ParseSize(value, options);
        } else if (option == L"--fps") {
            const auto fps = ParseDouble(value);
            if (!fps || *fps <= 0 || *fps > 10000)
                Usage("capture: --fps wants a positive number up to 10000, not \"" + Narrow(value) + "\"");
            options.fps = *fps;
        } else if (option == L"--frames") {
            const auto frames = ParseLong(value);
            if (!frames || *frames <= 0 || *frames > kMaxFrames)
                Usage("capture: --frames wants a whole number from 1 to 10000000, not \"" +
                      Narrow(value) + "\"");
            options.frames = static_cast<int>(*frames);
        } else if (value.empty()) {
            Usage("capture: " + Narrow(option) + " needs a file name");
        } else if (option == L"--out") {
            options.pngPath = value;
        } else if (option == L"--ser") {
            options.serPath = value;
        } else if (option == L"--avi") {
            options.aviPath = value;
        } else {
            options.rawPath = value;
        }
    }
    if (!options.serPath.empty() && !options.aviPath.empty())
        Usage("capture: record to --ser or to --avi, not both in one run");
    return options;
}

}  // namespace

// Takes "--api dshow|mf" out of the arguments, wherever it stands after the command word.
Api TakeApi(std::vector<std::wstring>& args) {
    Api api = Api::DirectShow;
    for (size_t i = 1; i < args.size(); ++i) {
        if (args[i] != L"--api") continue;
        if (i + 1 >= args.size()) Usage("--api needs dshow or mf");
        if (EqualsIgnoreCase(args[i + 1], L"mf"))
            api = Api::MediaFoundation;
        else if (!EqualsIgnoreCase(args[i + 1], L"dshow"))
            Usage("--api wants dshow or mf, not \"" + Narrow(args[i + 1]) + "\"");
        args.erase(args.begin() + static_cast<std::ptrdiff_t>(i), args.begin() + static_cast<std::ptrdiff_t>(i + 2));
        --i;
    }
    return api;
}

Command ParseCommandLine(const std::vector<std::wstring>& given) {
    Command command;
    if (given.empty()) Usage("no command given (see vyxcap help)");
    std::vector<std::wstring> args = given;
    command.api = TakeApi(args);
    if (command.api == Api::MediaFoundation && args[0] != L"list" && args[0] != L"caps" && args[0] != L"capture")
        Usage(Narrow(args[0]) + ": --api mf goes with list, caps and capture only");
    const std::wstring& word = args[0];
    if (word == L"help" || word == L"--help" || word == L"-h" || word == L"/?") {
        ExpectCount(args, 1, 1);
        command.kind = CommandKind::Help;
        return command;
    }
    if (word == L"list") {
        ExpectCount(args, 1, 1);
        command.kind = CommandKind::List;
        return command;
    }
    if (word == L"caps" || word == L"controls") {
        ExpectCount(args, 2, 2);
        command.kind = word == L"caps" ? CommandKind::Caps : CommandKind::Controls;
    } else if (word == L"set") {
        ExpectCount(args, 4, 5);
        command.kind = CommandKind::Set;
        command.property = args[2];
        const auto value = ParseLong(args[3]);
        if (!value) Usage("set: VALUE must be a whole number, not \"" + Narrow(args[3]) + "\"");
        command.value = *value;
        if (args.size() == 5) {
            if (EqualsIgnoreCase(args[4], L"auto"))
                command.autoMode = true;
            else if (EqualsIgnoreCase(args[4], L"manual"))
                command.autoMode = false;
            else
                Usage("set: the last argument must be auto or manual, not \"" + Narrow(args[4]) + "\"");
        }
    } else if (word == L"props") {
        ExpectCount(args, 2, 3);
        command.kind = CommandKind::Props;
        if (args.size() == 3) {
            if (args[2] != L"--pin") Usage("props: the only option is --pin, not \"" + Narrow(args[2]) + "\"");
            command.pin = true;
        }
    } else if (word == L"capture") {
        ExpectCount(args, 2, args.size());
        command.kind = CommandKind::Capture;
        command.capture = ParseCaptureOptions(args, 2);
    } else {
        Usage("unknown command \"" + Narrow(word) + "\" (see vyxcap help)");
    }
    command.device = args[1];
    if (command.device.empty()) Usage(Narrow(word) + ": DEVICE must not be empty");
    return command;
}

const char* UsageText() {
    return "usage: vyxcap list [--api mf]\n"
           "       vyxcap caps DEVICE [--api mf]\n"
           "       vyxcap controls DEVICE\n"
           "       vyxcap set DEVICE PROPERTY VALUE [auto|manual]\n"
           "       vyxcap capture DEVICE [--format SUBTYPE] [--size WxH] [--fps N] [--frames N]\n"
           "                             [--out FILE.png] [--ser FILE.ser | --avi FILE.avi]\n"
           "                             [--raw FILE.raw] [--json] [--api mf]\n"
           "       vyxcap props DEVICE [--pin]\n"
           "DEVICE is a friendly name as `vyxcap list` prints it, or its line number there\n"
           "counting from 0. PROPERTY is a video-processing or camera-control property name\n"
           "(Brightness, Contrast, Hue, Saturation, Sharpness, Gamma, ColorEnable,\n"
           "WhiteBalance, BacklightCompensation, Gain, Pan, Tilt, Roll, Zoom, Exposure, Iris,\n"
           "Focus), in any case; without auto the value is set in manual mode. SUBTYPE is a\n"
           "name such as RGB24, RGB32, RGB8, YUY2, UYVY, Y800, Y16, MJPG or any FOURCC.\n"
           "capture takes 30 frames unless --frames says otherwise. --ser records them to a\n"
           "SER file (RGB24 as BGR colour; RGB8 and Y800 as 8-bit, Y16 as 16-bit mono; 16-bit\n"
           "samples little-endian with the LittleEndian field 0, as Siril and the common\n"
           "capture programs read it; FFmpeg reads that field the other way). --avi records\n"
           "RGB24, RGB8 or Y800 to an uncompressed AVI (OpenDML past 1 GB). YUY2 is not\n"
           "recorded. Ctrl+C stops a capture early and completes the file. --raw also writes\n"
           "the frames exactly as the sample grabber saw them, one after another. On a\n"
           "console a recording shows its progress once a second. props opens the\n"
           "platform's property frame on the device's pages (--pin: its capture pin's) and\n"
           "returns when it is closed.\n"
           "--api mf uses Media Foundation instead of DirectShow: list prints the media\n"
           "sources of the plugged Vyxon cameras with their CLSIDs, and caps and capture\n"
           "read one (DEVICE: its name, CLSID or line number) through IMFSourceReader.\n"
           "Its SUBTYPEs are NV12, YUY2, RGB32 (recorded as RGB24), L8 and L16.\n";
}

}  // namespace vyx::vyxcap
