// Writes a 40-frame 64x48 RGB24 AVI whose segment limit is 64 KiB instead of the OpenDML
// gigabyte, so a few kilobytes show the AVIX segments and their indexes; and the same frames
// as DirectShow delivers them (bottom-up B, G, R) to a raw file for recording_test.sh.
// Usage: avi_segment_writer OUT.avi OUT.raw
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <vector>

#include "AviWriter.h"
#include "OutputFile.h"
#include "ToolError.h"

int wmain(int argc, wchar_t** argv) {
    if (argc != 3) {
        std::fputs("usage: avi_segment_writer OUT.avi OUT.raw\n", stderr);
        return 2;
    }
    vyx::vyxcap::RecordingLayout layout;
    layout.width = 64;
    layout.height = 48;
    layout.channels = 3;
    layout.bytesPerSample = 1;
    layout.bottomUp = true;
    layout.stride = 64 * 3;
    layout.frameInterval = 400000;
    try {
        vyx::vyxcap::AviWriter avi(argv[1], layout, 64 * 1024);
        vyx::vyxcap::OutputFile raw(argv[2]);
        std::vector<std::uint8_t> frame(layout.SampleBytes());
        for (int n = 0; n < 40; ++n) {
            for (std::size_t i = 0; i < frame.size(); ++i)
                frame[i] = static_cast<std::uint8_t>(i * 7 + n * 13 + i / 192);
            avi.WriteFrame(frame.data(), frame.size(), n);
            raw.Append(frame.data(), frame.size());
        }
        avi.Finish();
    } catch (const vyx::vyxcap::ToolError& error) {
        std::fprintf(stderr, "avi_segment_writer: %s\n", error.what());
        return 1;
    }
    return 0;
}
