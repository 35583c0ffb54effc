// Benchmark (not a test): the cost of a reconcile pass that has nothing to do, in the steady
// states the service spends its life in, and of the pass right after a registry change.
// Run under Wine from the build tree (see docs/performance.md):
//   cmake/wine-run build/x64/tests/service/bin/service_benchmark.exe            timings
//   cmake/wine-run build/x64/tests/service/bin/service_benchmark.exe trace 20   for a traced wineserver
// In trace mode each case runs its passes between two marker requests (a failed open of an
// event named "VyxBench.<case>.begin" / ".end"), so that tests/service/count-server-requests.sh
// can count the server requests of each pass in the wineserver's trace.
#include "CameraModelTable.h"
#include "ConnectedCameras.h"
#include "FilterDllPath.h"
#include "ReconcilePass.h"
#include "RegistrationCache.h"
#include "RegistrationState.h"
#include "RegistryFixture.h"
#include "ServiceEvents.h"
#include "SystemFacts.h"

#include <SimulatedBus.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace {

using namespace vyx::service;

double Microseconds(const LARGE_INTEGER& start, const LARGE_INTEGER& end, const LARGE_INTEGER& frequency)
{
    return static_cast<double>(end.QuadPart - start.QuadPart) * 1e6 / static_cast<double>(frequency.QuadPart);
}

// `prepare` runs before each round, untimed.
void Measure(const char* label, int rounds, const std::function<void()>& work,
             const std::function<void()>& prepare = [] {})
{
    LARGE_INTEGER frequency;
    ::QueryPerformanceFrequency(&frequency);
    std::vector<double> samples;
    for (int i = 0; i < rounds; ++i) {
        prepare();
        LARGE_INTEGER start;
        LARGE_INTEGER end;
        ::QueryPerformanceCounter(&start);
        work();
        ::QueryPerformanceCounter(&end);
        samples.push_back(Microseconds(start, end, frequency));
    }
    std::sort(samples.begin(), samples.end());
    std::printf("%-62s rounds=%4d  min=%8.1f us  median=%8.1f us\n", label, rounds, samples.front(),
                samples[samples.size() / 2]);
}

// A request the wineserver's trace shows with its name; the event never exists.
void Mark(const char* caseName, const char* edge)
{
    const std::string name = std::string("VyxBench.") + caseName + "." + edge;
    ::CloseHandle(::OpenEventA(SYNCHRONIZE, FALSE, name.c_str()));
}

void Trace(const char* caseName, int passes, const std::function<void()>& work,
           const std::function<void()>& prepare = [] {})
{
    for (int i = 0; i < passes; ++i) {
        prepare();
        Mark(caseName, "begin");
        work();
        Mark(caseName, "end");
    }
    std::printf("%s: %d passes traced\n", caseName, passes);
}

void Enumerate()
{
    ConnectedCounts counts;
    EnumerateConnectedCameras(counts);
}

// A value deep below the watched key changes in the x64 view: the next pass reads again.
void TouchRegistry()
{
    static DWORD counter = 0;
    ++counter;
    test::SetString(L"SOFTWARE\\Classes\\CLSID\\{6F0D5B4A-93C1-4C1E-9E3B-5C0B2A7E0001}", FilterArch::X64,
                    L"Touched", std::to_wstring(counter));
}

void RegisterByHand(std::size_t row)
{
    for (FilterArch arch : {FilterArch::X86, FilterArch::X64}) {
        test::HandRegistration keys;
        BuildDllPath(CameraModelTable::Row(row), arch, keys.serverPath);
        test::WriteRegistration(CameraModelTable::Row(row), arch, keys);
    }
}

}  // namespace

int main(int argc, char** argv)
{
    const bool trace = argc > 1 && std::strcmp(argv[1], "trace") == 0;
    const int passes = trace && argc > 2 ? std::atoi(argv[2]) : 20;

    vyx::sim::bus::UnplugAll();
    test::RemoveAllRegistrations();
    ServiceSignals signals;
    ReconcilePass pass(signals);
    // The summary line still goes out every pass; nobody listens to it here.
    pass.Run();

    const auto run = [&pass] { pass.Run(); };
    const auto readAll = [] {
        RegistrationCache cache(IsNative64BitWindows());
        cache.ReadAll();
    };
    if (trace) {
        Trace("nothing-plugged", passes, run);
        Trace("after-registry-change", passes, run, TouchRegistry);
        vyx::sim::bus::Plug(CameraModelTable::Row(0).displayName);
        RegisterByHand(0);
        pass.Run();
        Trace("one-camera", passes, run);
    } else {
        std::printf("models=%zu, 64-bit Windows=%d\n", CameraModelTable::Count(), IsNative64BitWindows() ? 1 : 0);
        Measure("EnumerateConnectedCameras, nothing connected", 200, Enumerate);
        Measure("every registration read (43 rows, both views)", 50, readAll);
        Measure("ReconcilePass no-op, nothing connected", 200, run);
        Measure("ReconcilePass no-op, right after a registry change", 50, run, TouchRegistry);

        // Steady state with one camera plugged and its model registered in both views.
        vyx::sim::bus::Plug(CameraModelTable::Row(0).displayName);
        RegisterByHand(0);
        pass.Run();
        Measure("EnumerateConnectedCameras, one camera connected", 200, Enumerate);
        Measure("ReconcilePass no-op, one model connected and registered", 200, run);
    }

    vyx::sim::bus::UnplugAll();
    test::RemoveAllRegistrations();
    test::DeleteKeyTree(L"SOFTWARE\\Classes\\CLSID\\{6F0D5B4A-93C1-4C1E-9E3B-5C0B2A7E0001}", FilterArch::X64);
    return 0;
}
