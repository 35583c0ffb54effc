// Benchmark (not a test): the cost of reading every model's registration state, and of a
// reconcile pass that has nothing to do, in the steady states the service spends its life
// in. Run under Wine from the build tree:
//   cmake/wine-run build/x64/tests/service/bin/service_benchmark.exe
#include "CameraModelTable.h"
#include "ConnectedCameras.h"
#include "FilterDllPath.h"
#include "ReconcilePass.h"
#include "RegistrationState.h"
#include "RegistryFixture.h"
#include "ServiceEvents.h"
#include "SystemFacts.h"

#include <SimulatedBus.h>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

using namespace vyx::service;

struct Summary {
    int lines = 0;
    int summaries = 0;
    unsigned long long elapsedMs = 0;
};

void CountLine(void* context, WORD, DWORD id, const wchar_t* line)
{
    auto* summary = static_cast<Summary*>(context);
    ++summary->lines;
    if (id == kEventReconcileSummary) {
        ++summary->summaries;
        const wchar_t* elapsed = std::wcsstr(line, L"elapsedMs=");
        summary->elapsedMs += elapsed != nullptr ? std::wcstoull(elapsed + 10, nullptr, 10) : 0;
    }
}

double Microseconds(const LARGE_INTEGER& start, const LARGE_INTEGER& end, const LARGE_INTEGER& frequency)
{
    return static_cast<double>(end.QuadPart - start.QuadPart) * 1e6 / static_cast<double>(frequency.QuadPart);
}

template <typename F>
void Measure(const char* label, int rounds, F&& work)
{
    LARGE_INTEGER frequency;
    ::QueryPerformanceFrequency(&frequency);
    std::vector<double> samples;
    for (int i = 0; i < rounds; ++i) {
        LARGE_INTEGER start;
        LARGE_INTEGER end;
        ::QueryPerformanceCounter(&start);
        work();
        ::QueryPerformanceCounter(&end);
        samples.push_back(Microseconds(start, end, frequency));
    }
    std::sort(samples.begin(), samples.end());
    double total = 0;
    for (double s : samples) {
        total += s;
    }
    std::printf("%-58s rounds=%4d  median=%9.1f us  mean=%9.1f us  min=%9.1f us\n", label, rounds,
                samples[samples.size() / 2], total / rounds, samples.front());
}

void QueryAllRows()
{
    for (std::size_t i = 0; i < CameraModelTable::Count(); ++i) {
        volatile bool correct = QueryModelState(CameraModelTable::Row(i), true).x64.correct;
        (void)correct;
    }
}

void Enumerate()
{
    ConnectedCounts counts;
    EnumerateConnectedCameras(counts);
}

}  // namespace

int main()
{
    vyx::sim::bus::UnplugAll();
    test::RemoveAllRegistrations();
    ServiceSignals signals;
    ReconcilePass pass(signals);
    Summary summary;
    SetServiceEventSink(CountLine, &summary);

    std::printf("models=%zu, 64-bit Windows=%d\n", CameraModelTable::Count(), IsNative64BitWindows() ? 1 : 0);
    Measure("EnumerateConnectedCameras, nothing connected", 50, Enumerate);
    Measure("QueryModelState x 43 rows, nothing registered", 200, QueryAllRows);
    Measure("ReconcilePass no-op, nothing connected", 50, [&pass] { pass.Run(); });

    // Steady state with one camera plugged and its model registered in both views.
    const std::size_t row = 0;
    vyx::sim::bus::Plug(CameraModelTable::Row(row).displayName);
    for (FilterArch arch : {FilterArch::X86, FilterArch::X64}) {
        test::HandRegistration keys;
        BuildDllPath(CameraModelTable::Row(row), arch, keys.serverPath);
        test::WriteRegistration(CameraModelTable::Row(row), arch, keys);
    }
    Measure("EnumerateConnectedCameras, one camera connected", 50, Enumerate);
    Measure("QueryModelState x 43 rows, one model registered", 200, QueryAllRows);
    summary = Summary{};
    Measure("ReconcilePass no-op, one model connected and registered", 50, [&pass] { pass.Run(); });
    std::printf("no-op passes: %d summaries, %d lines in all, summary elapsedMs mean %.1f\n", summary.summaries,
                summary.lines, summary.summaries > 0 ? static_cast<double>(summary.elapsedMs) / summary.summaries : 0.0);

    SetServiceEventSink(nullptr, nullptr);
    vyx::sim::bus::UnplugAll();
    test::RemoveAllRegistrations();
    return 0;
}
