// The NV12 conversion of a 3840 x 2160 RGB24 frame against a plain copy of the same bytes:
// the figure docs/performance.md reports. Run by hand: mediasource_conversion_benchmark [rounds]
// Each figure is the thread's own CPU time per round, averaged over the rounds, so a machine
// busy with other work stretches the wall clock but not the ratio.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "FrameConversion.h"

namespace {
constexpr int kWidth = 3840;
constexpr int kHeight = 2160;

double ThreadCpuMs() {
    FILETIME created, exited, kernel, user;
    GetThreadTimes(GetCurrentThread(), &created, &exited, &kernel, &user);
    auto ticks = [](const FILETIME& t) { return static_cast<double>(ULARGE_INTEGER{{t.dwLowDateTime, t.dwHighDateTime}}.QuadPart); };
    return (ticks(kernel) + ticks(user)) / 10000.0;
}

template <class Work>
double CpuMillisecondsPerRound(int rounds, Work work) {
    work();  // pages touched once before timing
    const double start = ThreadCpuMs();
    for (int i = 0; i < rounds; ++i) work();
    return (ThreadCpuMs() - start) / rounds;
}
}  // namespace

int main(int argc, char** argv) {
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 50;
    std::vector<BYTE> rgb(static_cast<std::size_t>(kWidth) * kHeight * 3);
    for (std::size_t i = 0; i < rgb.size(); ++i) rgb[i] = static_cast<BYTE>(i * 7 + i / 3);
    std::vector<BYTE> copy(rgb.size());
    std::vector<BYTE> nv12(vyx::mf::OutputBytes(vyx::mf::Conversion::Rgb24ToNv12, kWidth, kHeight));
    std::vector<BYTE> yuy2(vyx::mf::OutputBytes(vyx::mf::Conversion::Rgb24ToYuy2, kWidth, kHeight));
    std::vector<BYTE> rgb32(vyx::mf::OutputBytes(vyx::mf::Conversion::Rgb24ToRgb32, kWidth, kHeight));

    const double copyMs = CpuMillisecondsPerRound(rounds, [&] { std::memcpy(copy.data(), rgb.data(), rgb.size()); });
    const double outputCopyMs = CpuMillisecondsPerRound(rounds, [&] { std::memcpy(nv12.data(), rgb.data(), nv12.size()); });
    const double nv12Ms = CpuMillisecondsPerRound(rounds, [&] { vyx::mf::ConvertRgb24ToNv12(rgb.data(), nv12.data(), kWidth, kHeight); });
    const double yuy2Ms = CpuMillisecondsPerRound(rounds, [&] { vyx::mf::ConvertRgb24ToYuy2(rgb.data(), yuy2.data(), kWidth, kHeight); });
    const double rgb32Ms = CpuMillisecondsPerRound(rounds, [&] { vyx::mf::ConvertRgb24ToRgb32(rgb.data(), rgb32.data(), kWidth, kHeight); });

    std::printf("3840 x 2160, thread CPU time per round over %d rounds\n", rounds);
    std::printf("copy of the RGB24 frame (%zu bytes): %.2f ms\n", rgb.size(), copyMs);
    std::printf("copy of an NV12 frame's bytes (%zu bytes): %.2f ms\n", nv12.size(), outputCopyMs);
    std::printf("RGB24 -> NV12:  %.2f ms, %.2f x the RGB24 copy\n", nv12Ms, nv12Ms / copyMs);
    std::printf("RGB24 -> YUY2:  %.2f ms, %.2f x the RGB24 copy\n", yuy2Ms, yuy2Ms / copyMs);
    std::printf("RGB24 -> RGB32: %.2f ms, %.2f x the RGB24 copy\n", rgb32Ms, rgb32Ms / copyMs);
    return nv12[0] == 0 && yuy2[0] == 0 && rgb32[0] == 0 ? 1 : 0;  // keeps the work from being optimised away
}
